#pragma once

#include <string>
#include <vector>

#include "operations/entry_list.h"

namespace vw::testing {

// The entry list as a plain vector, with a selection the test sets.
class VectorEntryList final : public EntryList {
 public:
  std::vector<std::wstring> items;
  int selected = -1;

  int Count() const override { return static_cast<int>(items.size()); }
  std::wstring Item(int index) const override { return items.at(static_cast<std::size_t>(index)); }
  void Append(std::wstring_view name) override { items.emplace_back(name); }
  void RemoveAt(int index) override {
    items.erase(items.begin() + index);
    selected = -1;
  }
  int SelectedIndex() const override { return selected; }
  void Select(int index) override { selected = index; }
  void BeginFill(std::size_t expected) override { items.reserve(items.size() + expected); }
};

}  // namespace vw::testing
