#pragma once

// What every list box of the window needs: adding and reading items, a control's text, filling a
// list quickly, and the sideways extent that lets long items scroll.
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vw {

// Appends an item to a list box and gives its index; a list that is out of room throws.
int AddListItem(HWND list, const std::wstring& text);

// Reads and writes a control's text.
std::wstring WindowText(HWND window);
// The text of a list box item.
std::wstring ListBoxItem(HWND list, int index);

// Fills a list box quickly: redraw off and storage reserved for the whole run; then lets it scroll
// sideways as far as its widest item.
void FillListBox(HWND list, const std::vector<std::wstring>& items);

// The likeliest widest of the items offered as they pass (the longest, a wide character counting
// twice): what finding a list's sideways extent measures, so that a long list costs a few
// measurements and no copy of its items.
class WidestItems {
 public:
  void Offer(std::wstring_view shown);
  const std::vector<std::pair<std::size_t, std::wstring>>& kept() const noexcept { return kept_; }

 private:
  std::vector<std::pair<std::size_t, std::wstring>> kept_;  // weight, text; a heap, least first
};

// Lets a list box (with WS_HSCROLL) scroll sideways as far as the widest of `widest`.
// WidenHorizontalExtent takes one more item.
void FitHorizontalExtent(HWND list, const WidestItems& widest);
void WidenHorizontalExtent(HWND list, std::wstring_view shown_item);
// The same for the items a list box holds now, as after a change of font.
void RefitHorizontalExtent(HWND list);

// Makes a list box (with LBS_NOINTEGRALHEIGHT) as tall as the most whole rows that fit in
// `frame_height` pixels, its border and its sideways scroll bar, when shown, taken off: as a list
// box with integral height, it never shows part of a row, and never grows past `frame_height`.
void FitWholeRows(HWND list, int frame_height);

}  // namespace vw
