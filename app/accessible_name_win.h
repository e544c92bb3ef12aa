#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <utility>

#include "app/window_procedure_win.h"

namespace vw {

class ComOnFirstUse;

// Gives a standard control a name that screen readers read, without changing what is drawn: the
// control answers a client's WM_GETOBJECT (OBJID_CLIENT) with the system's own accessible object
// for it, named. Nothing is loaded until a client asks, and `com` is set up before the first
// request is answered. `name` (a string literal) and `com` must outlive the subclass.
void SetAccessibleName(ControlSubclass& subclass, const wchar_t* name, ComOnFirstUse& com);

// The same name given by dynamic annotation (IAccPropServices::SetHwndPropStr, PROPID_ACC_NAME),
// the documented way to name a standard control for UI Automation clients as well, which may not
// ask the control itself. Needs COM on this thread; does nothing where the system lacks it.
void AnnotateAccessibleName(HWND control, const wchar_t* name);

// COM on the window thread, apartment-threaded, for as long as this lives: the accessible objects
// handed to screen readers are marshalled through it. The program and its window test both set
// it up through this. ole32 is loaded at run time (calls::Get).
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

// COM on the window thread from an accessibility client's first request until this goes, and
// what needs it done then: set up at start, it cost every start, and most runs have no client.
class ComOnFirstUse {
 public:
  // `first_use` runs once, right after COM is set up.
  explicit ComOnFirstUse(std::function<void()> first_use) : first_use_(std::move(first_use)) {}
  void Ensure() noexcept {
    if (com_) return;
    com_.emplace();
    if (first_use_) first_use_();
  }

 private:
  std::function<void()> first_use_;
  std::optional<ComApartment> com_;
};

}  // namespace vw
