#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vw {

// Registry value types (winnt.h).
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;

// A value exactly as the registry stores it, so that what was read can be put back unchanged.
struct RegValue {
  std::uint32_t type = kRegSz;
  std::vector<std::uint8_t> data;

  friend bool operator==(const RegValue&, const RegValue&) = default;
};

// What a key holds of interest to us: whether it exists, and its default (unnamed) value.
struct KeyState {
  bool exists = false;
  std::optional<RegValue> value;

  friend bool operator==(const KeyState&, const KeyState&) = default;
};

struct NamedValue {
  std::wstring name;  // "" for the default value
  RegValue value;

  friend bool operator==(const NamedValue&, const NamedValue&) = default;
};

// A key with everything under it, as read at one moment: every value of every type and every
// subkey, each list sorted by upper-cased name, so that two reads of the same key compare equal.
struct KeyTree {
  std::wstring name;
  std::vector<NamedValue> values;
  std::vector<KeyTree> subkeys;
  // The key's whole security descriptor, self-relative: owner, group, access list with its
  // inherited entries, and integrity label where the key has one.
  std::vector<std::uint8_t> security;
  // The key's class, given when a key is created and kept by the registry; "" for none.
  std::wstring key_class;
  // A symbolic link, read as the link itself and never as its target, or a volatile key: neither
  // can be made again as it was.
  bool link = false;
  bool is_volatile = false;

  friend bool operator==(const KeyTree&, const KeyTree&) = default;
};

// REG_SZ: UTF-16 little-endian with its terminating null, as RegSetValueExW stores it.
RegValue StringValue(std::wstring_view text);

// The text of a REG_SZ or REG_EXPAND_SZ value, without the terminating null; nullopt otherwise.
std::optional<std::wstring> TextOf(const RegValue& value);

// The default value of a tree's key, if it has one.
const RegValue* DefaultValueOf(const KeyTree& tree) noexcept;

// The first key at or under `tree` that could not be made again as it was (a link, a volatile
// key, a name longer than a key can be created with), as the names below
// `tree` that lead to it (none for the key itself); nullopt when every key can be.
std::optional<std::vector<std::wstring>> FirstUnrestorableKey(const KeyTree& tree);

// Sorts a tree's values and subkeys into the order KeyTree promises, all the way down.
void SortTree(KeyTree& tree);

}  // namespace vw
