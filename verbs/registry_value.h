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

// REG_SZ: UTF-16 little-endian with its terminating null, as RegSetValueExW stores it.
RegValue StringValue(std::wstring_view text);

// The text of a REG_SZ or REG_EXPAND_SZ value, without the terminating null; nullopt otherwise.
std::optional<std::wstring> TextOf(const RegValue& value);

}  // namespace vw
