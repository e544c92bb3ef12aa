#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/list_box_win.h"
#include "operations/entry_list.h"
#include "platform/handles_win.h"

namespace vw {

// The entry list on a Win32 list box. A list box holds text, cut at a null; each item shows its
// key name visibly, and where that differs from the name, the name is kept here whole. The
// list box's own text is the only copy of every other name.
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
  // The height the list may take, in pixels: it shows the most whole rows that fit, also when its
  // sideways scroll bar comes or goes.
  void SetFrameHeight(int height);

 private:
  HWND list_;
  int frame_height_ = 0;
  bool filling_ = false;
  std::optional<RedrawOff> quiet_;  // while filling
  // The key names that their items show otherwise, exactly as the registry holds them, by index.
  std::vector<std::pair<int, std::wstring>> unlike_shown_;
  WidestItems widest_;  // of the items added while filling
};

}  // namespace vw
