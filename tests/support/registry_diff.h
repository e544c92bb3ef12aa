#pragma once

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/case_fold.h"
#include "platform/system_error.h"
#include "registry/services.h"
#include "words/visible_names.h"

namespace vw::testing {

// The keys whose line differs between two MemoryRegistry dumps: present in one only, or with
// other values.
inline std::set<std::wstring> ChangedKeys(const std::wstring& before, const std::wstring& after) {
  const auto lines = [](const std::wstring& dump) {
    std::set<std::wstring> set;
    std::wistringstream in(dump);
    for (std::wstring line; std::getline(in, line);) set.insert(line);
    return set;
  };
  const std::set<std::wstring> a = lines(before), b = lines(after);
  std::set<std::wstring> keys;
  for (const auto* side : {&a, &b}) {
    const auto* other = side == &a ? &b : &a;
    for (const std::wstring& line : *side) {
      if (!other->contains(line)) keys.insert(line.substr(0, line.find(L'\t')));
    }
  }
  return keys;
}

// Key names compare without case, as the registry compares them. A key is a dump's line (its names
// made visible) or written out (an error's subject, KeyPathText): both are compared as shown, which
// showing again leaves as it is.
inline bool IsAtOrUnder(const std::wstring& key, const std::wstring& top) {
  const std::wstring folded_key = FoldCase(text::VisibleKeyPath(key)),
                     folded_top = FoldCase(text::VisibleKeyPath(top));
  return folded_key == folded_top || folded_key.starts_with(folded_top + L"\\");
}

// Empty when the undo errors name exactly what differs: every changed key lies at or under a key
// an error names, and under every named key something changed. Else what is wrong.
inline std::string UndoReportMismatch(const std::set<std::wstring>& changed,
                                      const std::vector<SystemError>& undo_errors) {
  for (const std::wstring& key : changed) {
    bool named = false;
    for (const SystemError& error : undo_errors) named = named || IsAtOrUnder(key, error.subject());
    if (!named) return "a key changed that no undo error names";
  }
  for (const SystemError& error : undo_errors) {
    // A key whose present state could not be read is named as possibly changed.
    if (error.doing() == Doing::kReadingKey) continue;
    bool differs = false;
    for (const std::wstring& key : changed) differs = differs || IsAtOrUnder(key, error.subject());
    if (!differs) return "an undo error names a key that is as it was";
  }
  return {};
}

}  // namespace vw::testing
