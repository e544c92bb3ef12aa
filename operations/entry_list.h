#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vw {

// The entry list as the operations see it: an ordered, unsorted list of entry names with at most
// one selected item. The window's list box is one; tests use a plain vector.
class EntryList {
 public:
  virtual ~EntryList() = default;

  virtual int Count() const = 0;
  virtual std::wstring Item(int index) const = 0;
  virtual void Append(std::wstring_view name) = 0;
  virtual void RemoveAt(int index) = 0;
  // -1 when nothing is selected.
  virtual int SelectedIndex() const = 0;
  // Selects the item and brings it into view.
  virtual void Select(int index) = 0;

  // Brackets a run of appends, so that a list box can reserve storage and draw once at the end.
  virtual void BeginFill(std::size_t /*expected*/) {}
  virtual void EndFill() {}
};

}  // namespace vw
