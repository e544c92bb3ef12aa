#include "app/message_boxes_win.h"

#include <utility>

#include "app/dpi_win.h"
#include "platform/handles_win.h"
#include "words/texts.h"

namespace vw {

MessageBoxes::MessageBoxes(Handler handler) : handler_(std::move(handler)) {
  if (!handler_) {
    handler_ = [](HWND owner, std::wstring_view text, std::wstring_view title, unsigned style) {
      return MessageBoxW(owner, std::wstring(text).c_str(), std::wstring(title).c_str(), style);
    };
  }
}

bool MessageBoxes::Confirm(std::wstring_view text, DefaultAnswer default_answer) {
  const unsigned style = default_answer == DefaultAnswer::kOk
                             ? MB_OKCANCEL | MB_ICONQUESTION
                             : MB_OKCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON2;
  return Show(text, text::kConfirmTitle, style) == IDOK;
}

void MessageBoxes::Tell(std::wstring_view text, Telling telling) {
  Show(text, telling == Telling::kDone ? text::kDoneTitle : text::kNoticeTitle,
       MB_OK | MB_ICONINFORMATION);
}

void MessageBoxes::ShowError(const SystemError& error) {
  Show(text::ErrorReport(error), text::kErrorTitle, MB_OK | MB_ICONERROR);
}

int MessageBoxes::Show(std::wstring_view prompt, std::wstring_view title, unsigned style) {
  // While a box is open the window's buttons do nothing: a screen reader's default action on one
  // would run a second add or removal inside this box's loop.
  ++open_;
  const struct Closed {
    int& open;
    ~Closed() { --open; }
  } closed{open_};
  const int answer = handler_(owner_, FitForBox(prompt), title, style);
  // Closed from outside while the box was open (WM_CLOSE from another program): the box went with
  // its owner, and whatever it answered, nothing may go on.
  return owner_ == nullptr ? 0 : answer;
}

std::wstring MessageBoxes::FitForBox(std::wstring_view text) const {
  // As wide as a box's text may be and the box still stand inside the monitor's work area, with
  // its icon, margins and frame.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor))
    return std::wstring(text);
  const int dpi = static_cast<int>(dpi_);
  const int limit = (monitor.rcWork.right - monitor.rcWork.left) * 3 / 4 -
                    MulDiv(100, dpi, static_cast<int>(kDefaultDpi));
  LOGFONTW logical = MessageFontForDpi(dpi_);
  const UniqueFont font(CreateFontIndirectW(&logical));
  const WindowDc dc(owner_);
  if (!font || dc.get() == nullptr) return std::wstring(text);
  const SelectedObject selected(dc.get(), font.get());
  return text::FitLongRuns(
      text,
      [&](std::wstring_view run) {
        SIZE size{};
        GetTextExtentPoint32W(dc.get(), run.data(), static_cast<int>(run.size()), &size);
        return static_cast<int>(size.cx);
      },
      limit);
}

}  // namespace vw
