#pragma once

#include <windows.h>

namespace vw {

// A control's name for screen readers, and the window procedure it had.
struct AccessibleName {
  const wchar_t* name = nullptr;  // a string literal
  WNDPROC original = nullptr;
};

// Gives a standard control a name that screen readers read, without changing what is drawn: the
// control answers a client's WM_GETOBJECT (OBJID_CLIENT) with the system's own accessible object
// for it, named. Nothing is loaded until a client asks. `record` must outlive the control.
//
// The control's window procedure is replaced directly and the record kept in its GWLP_USERDATA,
// not through SetWindowSubclass: under Wine every message to a control subclassed that way costs
// a window-property look-up in the server, which made filling a list of 100,000 items seconds
// slower.
void SetAccessibleName(HWND control, AccessibleName& record);

}  // namespace vw
