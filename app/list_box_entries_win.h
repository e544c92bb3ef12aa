#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "operations/entry_list.h"
#include "platform/handles_win.h"

namespace vw {

// The entry list on a Win32 list box. A list box holds text, cut at a null; each item's
// key name is kept here whole, in the list's order, and the item shows it visibly.
class ListBoxEntries final : public EntryList {
 public:
  explicit ListBoxEntries(HWND list = nullptr) : list_(list) {}
  void Attach(HWND list) noexcept { list_ = list; }

  int Count() const override;
  std::wstring Item(int index) const override;
  void Append(std::wstring_view name) override;
  void RemoveAt(int index) override;
  int SelectedIndex() const override;
  void Select(int index) override;
  void BeginFill(std::size_t expected) override;
  void EndFill() override;
  // Lets the list scroll sideways as far as its widest name, as after a change of font.
  void RefitExtent();

 private:
  HWND list_;
  bool filling_ = false;
  std::optional<RedrawOff> quiet_;   // while filling
  std::vector<std::wstring> names_;  // item i's key name, exactly as the registry holds it
};

}  // namespace vw
