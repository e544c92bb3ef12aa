#include "app/list_box_entries_win.h"

#include "app/list_box_win.h"
#include "platform/system_error.h"
#include "platform/texts.h"
#include "registry/key_path.h"

namespace vw {

int ListBoxEntries::Count() const {
  return static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
}

std::wstring ListBoxEntries::Item(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= names_.size()) return {};
  return names_[static_cast<std::size_t>(index)];
}

void ListBoxEntries::Append(std::wstring_view name) {
  const std::wstring shown = VisibleName(name);
  // Room first, growing as a vector grows: nothing may fail once the item is in the list.
  if (names_.size() == names_.capacity()) names_.reserve(names_.size() * 2 + 16);
  AddListItem(list_, shown);
  names_.emplace_back(name);
  if (!filling_) WidenHorizontalExtent(list_, shown);
}

void ListBoxEntries::RemoveAt(int index) {
  if (SendMessageW(list_, LB_DELETESTRING, static_cast<WPARAM>(index), 0) == LB_ERR) return;
  if (index >= 0 && static_cast<std::size_t>(index) < names_.size()) {
    names_.erase(names_.begin() + index);
  }
  RefitExtent();
}

void ListBoxEntries::RefitExtent() {
  FitHorizontalExtent(list_, names_, VisibleName);
}

void ListBoxEntries::Select(int index) {
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);  // scrolls it into view
}

int ListBoxEntries::SelectedIndex() const {
  return static_cast<int>(SendMessageW(list_, LB_GETCURSEL, 0, 0));
}

void ListBoxEntries::BeginFill(std::size_t expected) {
  filling_ = true;
  names_.reserve(names_.size() + expected);
  quiet_.emplace(list_);
  SendMessageW(list_, LB_INITSTORAGE, expected,
               static_cast<LPARAM>(expected * 16 * sizeof(wchar_t)));
}

void ListBoxEntries::EndFill() {
  filling_ = false;
  RefitExtent();
  quiet_.reset();
}

}  // namespace vw
