#pragma once

// What every list box of the window needs: adding and reading items, a control's text, filling a
// list quickly, and the sideways extent that lets long items scroll.
#include <windows.h>

#include <string>
#include <string_view>
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

// Lets a list box (with WS_HSCROLL) scroll sideways as far as the widest of `items`, each shown
// as `shown` makes it. Only the likeliest widest are measured (the longest, a wide character
// counting twice), so that a long list costs little. WidenHorizontalExtent takes one more item.
void FitHorizontalExtent(HWND list, const std::vector<std::wstring>& items,
                         std::wstring (*shown)(std::wstring_view) = nullptr);
void WidenHorizontalExtent(HWND list, std::wstring_view shown_item);
// The same for the items a list box holds now, as after a change of font.
void RefitHorizontalExtent(HWND list);

}  // namespace vw
