#pragma once

// The window's message boxes: modal, owned by the window, their text fitted to the monitor, in the
// styles the design gives each kind of box.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "operations/form.h"
#include "platform/system_error.h"

namespace vw {

class MessageBoxes {
 public:
  // Shows a message box; tests put their own in place to answer it. Empty: MessageBoxW.
  using Handler = std::function<int(HWND owner, std::wstring_view text, std::wstring_view title,
                                    unsigned style)>;

  explicit MessageBoxes(Handler handler);

  void SetHandler(Handler handler) { handler_ = std::move(handler); }
  // The window that owns the boxes, and the DPI their text is fitted at; no owner once it is gone.
  void SetOwner(HWND owner) noexcept { owner_ = owner; }
  void SetDpi(UINT dpi) noexcept { dpi_ = dpi; }
  // Whether a box is open now.
  bool open() const noexcept { return open_ > 0; }

  // True only for an explicit OK. An add's asks with a question, OK first; a removal's informs,
  // Cancel first, so that Enter deletes nothing.
  bool Confirm(std::wstring_view text, DefaultAnswer default_answer);
  void Tell(std::wstring_view text, Telling telling);
  void ShowError(const SystemError& error);

 private:
  // The button pressed, or 0 when the box went away with its owner.
  int Show(std::wstring_view prompt, std::wstring_view title, unsigned style);
  // The text as a box shows it: every long name and path shortened in the middle so that the box
  // stays inside the monitor's work area at the window's DPI.
  std::wstring FitForBox(std::wstring_view text) const;

  Handler handler_;
  HWND owner_ = nullptr;
  UINT dpi_ = 96;
  int open_ = 0;  // boxes open now
};

}  // namespace vw
