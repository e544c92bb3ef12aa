#include "verbs/registry_path.h"

#include <array>
#include <utility>

#include "verbs/case_fold.h"

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

bool ValidComponents(std::wstring_view path) {
  if (path.empty()) return false;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find(L'\\', start);
    const std::size_t length = Utf16Length(
        path.substr(start, (end == std::wstring_view::npos ? path.size() : end) - start));
    if (length == 0 || length > kMaxKeyNameLength) return false;
    if (end == std::wstring_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace

std::optional<KeyPath> ParseKeyPath(std::wstring_view full_path) {
  const std::size_t slash = full_path.find(L'\\');
  if (slash == std::wstring_view::npos || full_path.back() != L'\\') return std::nullopt;
  const std::wstring_view root = full_path.substr(0, slash);
  for (const auto& [name, hive] : kRoots) {
    if (!EqualsIgnoreCase(root, name)) continue;
    // Between the root's backslash and the final one; empty for a bare root such as "HKCR\".
    const std::wstring_view subkey = full_path.size() > slash + 1
                                         ? full_path.substr(slash + 1, full_path.size() - slash - 2)
                                         : std::wstring_view();
    if (!ValidComponents(subkey)) return std::nullopt;
    return KeyPath{hive, std::wstring(subkey)};
  }
  return std::nullopt;
}

bool IsValidRelativePath(std::wstring_view relative_path) {
  return ValidComponents(relative_path);
}

std::wstring DisplayKeyPath(std::uint32_t hive, std::wstring_view relative_path) {
  std::wstring text;
  for (const auto& [name, value] : kRoots) {
    if (value == hive) {
      text = name;  // the full name comes first in the table
      break;
    }
  }
  if (text.empty()) text = L"hive " + std::to_wstring(hive);
  if (!relative_path.empty()) text += L"\\" + std::wstring(relative_path);
  return text;
}

std::wstring DisplayKeyPath(std::wstring_view full_path) {
  if (const auto parsed = ParseKeyPath(full_path))
    return DisplayKeyPath(parsed->hive, parsed->subkey);
  while (full_path.ends_with(L'\\')) full_path.remove_suffix(1);
  return std::wstring(full_path);
}

std::wstring SubkeyPath(std::wstring_view key_path, std::wstring_view name) {
  std::wstring path(key_path);
  path += name;
  path += L'\\';
  return path;
}

}  // namespace vw
