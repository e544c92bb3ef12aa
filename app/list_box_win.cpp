#include "app/list_box_win.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

#include "app/dpi_win.h"
#include "platform/handles_win.h"
#include "platform/system_error.h"

namespace vw {
namespace {

HFONT FontOf(HWND window) {
  return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

}  // namespace

int AddListItem(HWND list, const std::wstring& text) {
  const LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index == LB_ERR || index == LB_ERRSPACE) {
    throw SystemError(ERROR_NOT_ENOUGH_MEMORY, Doing::kAddingToList, text);
  }
  return static_cast<int>(index);
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring ListBoxItem(HWND list, int index) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
  return text;
}

namespace {

// How wide `text` is in the list's font, with room either side, in pixels.
int ItemWidth(HWND list, HDC dc, std::wstring_view text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  const int margin = MulDiv(6, static_cast<int>(DpiOfWindow(list)), static_cast<int>(kDefaultDpi));
  return size.cx + margin;
}

}  // namespace

void WidestItems::Offer(std::wstring_view shown) {
  constexpr std::size_t kKept = 32;
  std::size_t weight = shown.size();
  for (const wchar_t c : shown) weight += static_cast<std::uint32_t>(c) >= 0x1100 ? 1 : 0;
  const auto lighter = [](const auto& a, const auto& b) { return a.first > b.first; };
  if (kept_.size() == kKept) {
    if (weight <= kept_.front().first) return;
    std::pop_heap(kept_.begin(), kept_.end(), lighter);
    kept_.pop_back();
  }
  kept_.emplace_back(weight, shown);
  std::push_heap(kept_.begin(), kept_.end(), lighter);
}

void FitHorizontalExtent(HWND list, const WidestItems& widest) {
  const ScreenDc dc(FontOf(list));
  int width = 0;
  for (const auto& [weight, text] : widest.kept())
    width = std::max(width, ItemWidth(list, dc.get(), text));
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

void WidenHorizontalExtent(HWND list, std::wstring_view shown_item) {
  const ScreenDc dc(FontOf(list));
  const int width = ItemWidth(list, dc.get(), shown_item);
  const auto extent = static_cast<int>(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
  if (width > extent) SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

void RefitHorizontalExtent(HWND list) {
  const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  WidestItems widest;
  std::wstring text;  // one buffer for every item
  for (int index = 0; index < count; ++index) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) continue;
    text.resize(static_cast<std::size_t>(length) + 1);
    const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
    if (copied != LB_ERR)
      widest.Offer(std::wstring_view(text.data(), static_cast<std::size_t>(copied)));
  }
  FitHorizontalExtent(list, widest);
}

void FitWholeRows(HWND list, int frame_height) {
  const auto item = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  RECT frame{}, client{};
  if (frame_height <= 0 || !GetWindowRect(list, &frame) || !GetClientRect(list, &client)) return;
  const int height = frame.bottom - frame.top;
  const int rows = frame_height - (height - client.bottom);  // what the rows may take
  const int wanted = item > 0 && rows >= item ? frame_height - rows % item : frame_height;
  if (wanted == height) return;
  SetWindowPos(list, nullptr, 0, 0, frame.right - frame.left, wanted,
               SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void FillListBox(HWND list, const std::vector<std::wstring>& items) {
  std::size_t characters = 0;
  for (const std::wstring& item : items) characters += item.size() + 1;
  const RedrawOff quiet(list);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  SendMessageW(list, LB_INITSTORAGE, items.size(),
               static_cast<LPARAM>(characters * sizeof(wchar_t)));
  WidestItems widest;
  for (const std::wstring& item : items) {
    AddListItem(list, item);
    widest.Offer(item);
  }
  FitHorizontalExtent(list, widest);
}

}  // namespace vw
