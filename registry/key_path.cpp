#include "registry/key_path.h"

#include <array>
#include <type_traits>
#include <utility>

#include "platform/case_fold.h"

namespace vw {

std::size_t Utf16Length(std::wstring_view text) noexcept {
  std::size_t units = text.size();
  // Off Windows wchar_t holds a whole code point: one beyond the BMP is two UTF-16 units.
  for (const wchar_t c : text) units += static_cast<std::uint64_t>(c) >> 16 != 0 ? 1 : 0;
  return units;
}

namespace {

constexpr std::array<std::pair<std::wstring_view, std::uint32_t>, 8> kRoots{{
    {L"HKEY_CLASSES_ROOT", kHiveClassesRoot},
    {L"HKCR", kHiveClassesRoot},
    {L"HKEY_CURRENT_USER", kHiveCurrentUser},
    {L"HKCU", kHiveCurrentUser},
    {L"HKEY_LOCAL_MACHINE", kHiveLocalMachine},
    {L"HKLM", kHiveLocalMachine},
    {L"HKEY_USERS", kHiveUsers},
    {L"HKU", kHiveUsers},
}};

bool IsValidKeyName(std::wstring_view name) noexcept {
  const std::size_t length = Utf16Length(name);
  return length != 0 && length <= kMaxKeyNameLength && name.find(L'\\') == std::wstring_view::npos;
}

}  // namespace

KeyPath KeyPath::Child(std::wstring_view name) const {
  KeyPath child{hive, names};
  child.names.emplace_back(name);
  return child;
}

KeyPath KeyPath::Parent() const {
  KeyPath parent{hive, names};
  if (!parent.names.empty()) parent.names.pop_back();
  return parent;
}

bool IsValidKeyPath(const KeyPath& key) noexcept {
  if (key.names.empty()) return false;
  bool known = false;
  for (const auto& [name, hive] : kRoots) known = known || hive == key.hive;
  if (!known) return false;
  for (const std::wstring& name : key.names) {
    if (!IsValidKeyName(name)) return false;
  }
  return true;
}

std::optional<KeyPath> ParseKeyPath(std::wstring_view full_path) {
  const std::size_t slash = full_path.find(L'\\');
  if (slash == std::wstring_view::npos || full_path.back() != L'\\') return std::nullopt;
  const std::wstring_view root = full_path.substr(0, slash);
  for (const auto& [name, hive] : kRoots) {
    if (!EqualsIgnoreCase(root, name)) continue;
    KeyPath key{hive, {}};
    // Between the root's backslash and the final one; nothing for a bare root such as "HKCR\".
    std::size_t start = slash + 1;
    while (start < full_path.size()) {
      const std::size_t end = full_path.find(L'\\', start);
      key.names.emplace_back(full_path.substr(start, end - start));
      start = end + 1;
    }
    if (!IsValidKeyPath(key)) return std::nullopt;
    return key;
  }
  return std::nullopt;
}

std::wstring KeyPathText(const KeyPath& key) {
  std::wstring text;
  for (const auto& [name, value] : kRoots) {
    if (value == key.hive) {
      text = name;  // the full name comes first in the table
      break;
    }
  }
  if (text.empty()) text = L"hive " + std::to_wstring(key.hive);
  for (const std::wstring& name : key.names) {
    text += L'\\';
    text += name;
  }
  return text;
}

}  // namespace vw
