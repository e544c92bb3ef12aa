#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vw {

// Hive values as the registry API and WMI number them.
inline constexpr std::uint32_t kHiveClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kHiveCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kHiveLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kHiveUsers = 0x80000003u;

// Longest key name the registry accepts (one path component), in UTF-16 units.
inline constexpr std::size_t kMaxKeyNameLength = 255;

// The length of text in UTF-16 units, as Windows counts it whatever the size of wchar_t here.
std::size_t Utf16Length(std::wstring_view text) noexcept;

struct KeyPath {
  std::uint32_t hive = 0;
  std::wstring subkey;  // components joined by '\', no leading or trailing '\'

  friend bool operator==(const KeyPath&, const KeyPath&) = default;
};

// Parses a full key path in script-host notation, "HKEY_CLASSES_ROOT\exefile\shell\tool\": a root
// name (HKEY_CLASSES_ROOT or HKCR, HKEY_CURRENT_USER or HKCU, HKEY_LOCAL_MACHINE or HKLM,
// HKEY_USERS or HKU, in any case), then at least one key name, each non-empty and at most 255
// characters, and a final
// '\' that makes the path name a key rather than a value. Anything else gives nullopt.
std::optional<KeyPath> ParseKeyPath(std::wstring_view full_path);

// A relative path such as "exefile\shell": key names joined by '\', none empty or too long.
bool IsValidRelativePath(std::wstring_view relative_path);

// A key path as the user reads it: the root's full name, no trailing '\'
// ("HKEY_CLASSES_ROOT\exefile\shell"). A path that does not parse is shown as given.
std::wstring DisplayKeyPath(std::wstring_view full_path);
std::wstring DisplayKeyPath(std::uint32_t hive, std::wstring_view relative_path);

// The full path of the subkey `name` of the key `key_path` (both ending in '\').
std::wstring SubkeyPath(std::wstring_view key_path, std::wstring_view name);

}  // namespace vw
