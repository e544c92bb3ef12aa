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
    throw SystemError(ERROR_NOT_ENOUGH_MEMORY, Doing::kAddingToList, L"“" + text + L"”");
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

void FitHorizontalExtent(HWND list, const std::vector<std::wstring>& items,
                         std::wstring (*shown)(std::wstring_view)) {
  constexpr std::size_t kMeasured = 32;
  const auto weight = [](const std::wstring& item) {
    std::size_t units = item.size();
    for (const wchar_t c : item) units += static_cast<std::uint32_t>(c) >= 0x1100 ? 1 : 0;
    return units;
  };
  std::vector<std::pair<std::size_t, std::size_t>> longest;  // weight, index
  longest.reserve(items.size());
  for (std::size_t index = 0; index < items.size(); ++index)
    longest.emplace_back(weight(items[index]), index);
  const std::size_t measured = std::min(kMeasured, longest.size());
  std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(measured),
                    longest.end(), std::greater<>());
  const ScreenDc dc(FontOf(list));
  int widest = 0;
  for (std::size_t at = 0; at < measured; ++at) {
    const std::wstring& item = items[longest[at].second];
    widest = std::max(widest, ItemWidth(list, dc.get(), shown != nullptr ? shown(item) : item));
  }
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
}

void WidenHorizontalExtent(HWND list, std::wstring_view shown_item) {
  const ScreenDc dc(FontOf(list));
  const int width = ItemWidth(list, dc.get(), shown_item);
  const auto extent = static_cast<int>(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
  if (width > extent) SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

void RefitHorizontalExtent(HWND list) {
  const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  std::vector<std::wstring> items;
  items.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int index = 0; index < count; ++index) items.push_back(ListBoxItem(list, index));
  FitHorizontalExtent(list, items);
}

void FillListBox(HWND list, const std::vector<std::wstring>& items) {
  std::size_t characters = 0;
  for (const std::wstring& item : items) characters += item.size() + 1;
  const RedrawOff quiet(list);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  SendMessageW(list, LB_INITSTORAGE, items.size(),
               static_cast<LPARAM>(characters * sizeof(wchar_t)));
  for (const std::wstring& item : items) AddListItem(list, item);
  FitHorizontalExtent(list, items);
}

}  // namespace vw
