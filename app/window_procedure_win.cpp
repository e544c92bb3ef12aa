#include "app/window_procedure_win.h"

#include <new>
#include <utility>

namespace vw {
namespace {

MessageTarget* TargetOf(HWND window) noexcept {
  return reinterpret_cast<MessageTarget*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

LRESULT CALLBACK RoutedWindowProc(HWND window, UINT message, WPARAM wparam,
                                  LPARAM lparam) noexcept {
  if (message == WM_NCCREATE) {
    const auto& creation = *reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation.lpCreateParams));
  }
  // Messages sent before WM_NCCREATE (WM_GETMINMAXINFO) and after WM_NCDESTROY have no target.
  MessageTarget* const target = TargetOf(window);
  if (target == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  LRESULT result = 0;
  // Nothing may escape into the system's frames: report it and keep the window running.
  try {
    result = target->OnMessage(WindowMessage{window, message, wparam, lparam});
  } catch (const SystemError& error) {
    target->OnFault(error);
  } catch (const std::bad_alloc&) {
    target->OnFault(SystemError(ERROR_NOT_ENOUGH_MEMORY, Doing::kHandlingMessage));
  } catch (...) {
    target->OnFault(SystemError(ERROR_INTERNAL_ERROR, Doing::kHandlingMessage));
  }
  if (message == WM_NCDESTROY && TargetOf(window) == target)
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return result;
}

ControlSubclass::ControlSubclass(HWND control, FaultReport report)
    : control_(control), report_(std::move(report)) {
  SetWindowLongPtrW(control_, GWLP_USERDATA,
                    reinterpret_cast<LONG_PTR>(static_cast<MessageTarget*>(this)));
  original_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RoutedWindowProc)));
}

ControlSubclass::~ControlSubclass() {
  Detach();
}

void ControlSubclass::Detach() noexcept {
  if (control_ == nullptr) return;
  if (TargetOf(control_) == static_cast<MessageTarget*>(this)) {
    SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    SetWindowLongPtrW(control_, GWLP_USERDATA, 0);
  }
  control_ = nullptr;
}

LRESULT ControlSubclass::OnMessage(const WindowMessage& message) {
  if (message.message == WM_NCDESTROY) {
    // The control's last message: its own procedure back first, which then answers it.
    const WNDPROC original = original_;
    Detach();
    return CallWindowProcW(original, message.window, message.message, message.wparam,
                           message.lparam);
  }
  return Dispatch(0, message);
}

void ControlSubclass::OnFault(const SystemError& error) {
  if (report_) report_(error);
}

LRESULT ControlSubclass::Dispatch(std::size_t index, const WindowMessage& message) const {
  if (index < handlers_.size()) return handlers_[index](message, Next(*this, index + 1, message));
  return CallWindowProcW(original_, message.window, message.message, message.wparam,
                         message.lparam);
}

}  // namespace vw
