#pragma once

// Every window procedure of ours is one function: it finds the object that handles the window's
// messages in the window's GWLP_USERDATA and runs it inside the one exception boundary, so that
// nothing thrown escapes into the system's frames. Our own windows get their object at creation;
// a standard control gets one by subclassing, which has one way too: ControlSubclass.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/system_error.h"

namespace vw {

struct WindowMessage {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// What handles one window's messages.
class MessageTarget {
 public:
  virtual LRESULT OnMessage(const WindowMessage& message) = 0;
  // What handling a message threw, shown to the user; the message is then answered 0.
  virtual void OnFault(const SystemError& error) = 0;

 protected:
  MessageTarget() = default;
  ~MessageTarget() = default;
  MessageTarget(const MessageTarget&) = default;
  MessageTarget& operator=(const MessageTarget&) = default;
};

// The window procedure of a class whose windows are created with their MessageTarget* as the
// creation parameter (CreateWindowEx's last argument). The target is forgotten at WM_NCDESTROY.
LRESULT CALLBACK RoutedWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

// A standard control's window procedure replaced by ours, which offers each message to the
// handlers in the order they were added and then to the control's own procedure. The control
// gets its own procedure back when it is destroyed, or when this goes first.
//
// The procedure is replaced directly and this kept in the control's GWLP_USERDATA, not through
// SetWindowSubclass: under Wine every message to a control subclassed that way costs a
// window-property look-up in the server, which made filling a list of 100,000 items seconds
// slower.
class ControlSubclass final : private MessageTarget {
 public:
  // The rest of the chain for one message: the later handlers, then the control itself.
  class Next {
   public:
    LRESULT operator()() const { return subclass_.Dispatch(index_, message_); }

   private:
    friend class ControlSubclass;
    Next(const ControlSubclass& subclass, std::size_t index, const WindowMessage& message) noexcept
        : subclass_(subclass), index_(index), message_(message) {}
    const ControlSubclass& subclass_;
    std::size_t index_;
    const WindowMessage& message_;
  };
  // Answers a message itself, or passes it on with next() (before or after acting on it).
  using Handler = std::function<LRESULT(const WindowMessage& message, const Next& next)>;
  using FaultReport = std::function<void(const SystemError& error)>;

  ControlSubclass(HWND control, FaultReport report);
  ~ControlSubclass();
  ControlSubclass(const ControlSubclass&) = delete;
  ControlSubclass& operator=(const ControlSubclass&) = delete;

  void Add(Handler handler) { handlers_.push_back(std::move(handler)); }
  HWND control() const noexcept { return control_; }

 private:
  LRESULT OnMessage(const WindowMessage& message) override;
  void OnFault(const SystemError& error) override;
  // Runs the handlers from `index` on, then the control's own procedure.
  LRESULT Dispatch(std::size_t index, const WindowMessage& message) const;
  // Gives the control its own procedure back.
  void Detach() noexcept;

  HWND control_;
  WNDPROC original_ = nullptr;
  std::vector<Handler> handlers_;
  FaultReport report_;
};

}  // namespace vw
