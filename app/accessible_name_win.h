#pragma once

#include <windows.h>

#include <optional>

namespace vw {

class ComOnFirstUse;

// A control's name for screen readers, and the window procedure it had.
struct AccessibleName {
  const wchar_t* name = nullptr;  // a string literal
  WNDPROC original = nullptr;
  ComOnFirstUse* com = nullptr;  // set up before a client's first request is answered
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

// The same name given by dynamic annotation (IAccPropServices::SetHwndPropStr, PROPID_ACC_NAME),
// the documented way to name a standard control for UI Automation clients as well, which may not
// ask the control itself. Needs COM on this thread; does nothing where the system lacks it.
void AnnotateAccessibleName(HWND control, const wchar_t* name);

// COM on the window thread, apartment-threaded, for as long as this lives: the accessible objects
// handed to screen readers are marshalled through it. The program and its window test both set
// it up through this. ole32 is loaded at run time (calls::Load).
class ComApartment {
 public:
  ComApartment() noexcept;
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool initialized() const noexcept { return initialized_; }

 private:
  bool initialized_ = false;
};

// COM on the window thread from the first moment it is needed (a screen reader's first request,
// or the annotations once the window is up) until this goes: set up before the window, it cost
// every start.
class ComOnFirstUse {
 public:
  void Ensure() noexcept {
    if (!com_) com_.emplace();
  }

 private:
  std::optional<ComApartment> com_;
};

}  // namespace vw
