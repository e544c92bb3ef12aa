#pragma once

#include <windows.h>

namespace vw {

// Gives a standard control a name that screen readers read, without changing what is drawn: the
// control answers a client's WM_GETOBJECT (OBJID_CLIENT) with the system's own accessible object
// for it, named. Nothing is loaded until a client asks. `name` must outlive the control (a
// string literal); the control forgets it when it is destroyed.
void SetAccessibleName(HWND control, const wchar_t* name);

}  // namespace vw
