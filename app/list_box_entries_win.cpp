#include "app/list_box_entries_win.h"

#include <algorithm>
#include <utility>

#include "app/list_box_win.h"
#include "platform/system_error.h"
#include "registry/key_path.h"
#include "words/texts.h"
#include "words/visible_names.h"

namespace vw {

namespace {

// Orders the names kept by their item's index.
bool BeforeIndex(const std::pair<int, std::wstring>& kept, int index) {
  return kept.first < index;
}

}  // namespace

int ListBoxEntries::Count() const {
  return static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
}

std::wstring ListBoxEntries::Item(int index) const {
  if (index < 0 || index >= Count()) return {};
  const auto kept =
      std::lower_bound(unlike_shown_.begin(), unlike_shown_.end(), index, BeforeIndex);
  if (kept != unlike_shown_.end() && kept->first == index) return kept->second;
  return ListBoxItem(list_, index);
}

void ListBoxEntries::Append(std::wstring_view name) {
  std::wstring shown = text::VisibleName(name);
  const bool unlike = shown != name;
  // Room first, growing as a vector grows: nothing may fail once the item is in the list.
  if (unlike && unlike_shown_.size() == unlike_shown_.capacity())
    unlike_shown_.reserve(unlike_shown_.size() * 2 + 16);
  const int index = AddListItem(list_, shown);
  if (unlike) unlike_shown_.emplace_back(index, name);
  if (filling_) {
    widest_.Offer(shown);
  } else {
    WidenHorizontalExtent(list_, shown);
    FitWholeRows(list_, frame_height_);
  }
}

void ListBoxEntries::RemoveAt(int index) {
  if (SendMessageW(list_, LB_DELETESTRING, static_cast<WPARAM>(index), 0) == LB_ERR) return;
  auto kept = std::lower_bound(unlike_shown_.begin(), unlike_shown_.end(), index, BeforeIndex);
  if (kept != unlike_shown_.end() && kept->first == index) kept = unlike_shown_.erase(kept);
  for (; kept != unlike_shown_.end(); ++kept) --kept->first;  // the items after it move up
  RefitExtent();
}

void ListBoxEntries::RefitExtent() {
  RefitHorizontalExtent(list_);
  FitWholeRows(list_, frame_height_);
}

void ListBoxEntries::SetFrameHeight(int height) {
  frame_height_ = height;
  FitWholeRows(list_, frame_height_);
}

void ListBoxEntries::Select(int index) {
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);  // scrolls it into view
}

int ListBoxEntries::SelectedIndex() const {
  return static_cast<int>(SendMessageW(list_, LB_GETCURSEL, 0, 0));
}

void ListBoxEntries::BeginFill(std::size_t expected) {
  filling_ = true;
  widest_ = {};
  quiet_.emplace(list_);
  SendMessageW(list_, LB_INITSTORAGE, expected,
               static_cast<LPARAM>(expected * 16 * sizeof(wchar_t)));
}

void ListBoxEntries::EndFill() {
  filling_ = false;
  // What the list held before the fill was measured when it came.
  const auto before = static_cast<int>(SendMessageW(list_, LB_GETHORIZONTALEXTENT, 0, 0));
  FitHorizontalExtent(list_, std::exchange(widest_, {}));
  const auto now = static_cast<int>(SendMessageW(list_, LB_GETHORIZONTALEXTENT, 0, 0));
  if (before > now) SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(before), 0);
  FitWholeRows(list_, frame_height_);
  quiet_.reset();
}

}  // namespace vw
