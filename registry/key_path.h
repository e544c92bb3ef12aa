#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// A registry key: its hive and the names on the way down to it. Key names are counted strings, so
// a name may hold a null (the native API makes such keys); it never holds a '\'. A key is text
// only when written out (KeyPathText), as errors name it.
struct KeyPath {
  std::uint32_t hive = 0;
  std::vector<std::wstring> names;  // outermost first

  // The subkey `name` of this key.
  KeyPath Child(std::wstring_view name) const;
  // The key above; a key right under its hive has a parent with no names, the hive itself.
  KeyPath Parent() const;
  // Whether `other` is this key or lies under it, names compared as `same` compares them.
  template <typename SameName>
  bool Contains(const KeyPath& other, const SameName& same) const {
    if (other.hive != hive || other.names.size() < names.size()) return false;
    for (std::size_t index = 0; index < names.size(); ++index) {
      if (!same(names[index], other.names[index])) return false;
    }
    return true;
  }

  friend bool operator==(const KeyPath&, const KeyPath&) = default;
};

// Whether the registry services take the key: a known hive, at least one name, and every name
// non-empty, at most 255 units and without a '\'.
bool IsValidKeyPath(const KeyPath& key) noexcept;

// Parses a full key path in script-host notation, "HKEY_CLASSES_ROOT\exefile\shell\tool\": a root
// name (HKEY_CLASSES_ROOT or HKCR, HKEY_CURRENT_USER or HKCU, HKEY_LOCAL_MACHINE or HKLM,
// HKEY_USERS or HKU, in any case), then at least one key name, each non-empty and at most 255
// characters, and a final '\' that makes the path name a key rather than a value. Anything else
// gives nullopt. A name with a null in it is taken whole.
std::optional<KeyPath> ParseKeyPath(std::wstring_view full_path);

// A key written out in full, as the registry's tools write it: the root's full name and the names
// as they are, joined by '\' ("HKEY_CLASSES_ROOT\exefile\shell\tool"; ParseKeyPath reads it back
// with a final '\'). A name's null stays a null: what the user reads is made in words/.
std::wstring KeyPathText(const KeyPath& key);

}  // namespace vw
