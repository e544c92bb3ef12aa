#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "verbs/registry_value.h"

namespace vw {

// The registry as the rest of the program sees it. Keys to write or delete are named by full
// paths ending in '\' ("HKEY_CLASSES_ROOT\exefile\shell\tool\"); enumeration takes a hive value
// and a relative path. Every failure throws SystemError with the key path in its action.
class RegistryServices {
 public:
  virtual ~RegistryServices() = default;

  // Appends the names of the immediate subkeys of hive\relative_path to names, in the registry's
  // order. A missing key has no subkeys. On failure, names keeps what was read before it.
  virtual void EnumKey(std::uint32_t hive, std::wstring_view relative_path,
                       std::vector<std::wstring>& names) = 0;

  // Whether the key exists, and its default value.
  virtual KeyState RegRead(std::wstring_view key_path) = 0;

  // Creates the key and any missing keys above it, then sets its default value to value, or
  // removes the default value when value is empty.
  virtual void RegWriteValue(std::wstring_view key_path, const std::optional<RegValue>& value) = 0;

  // Deletes the key with everything under it. A key that is already gone counts as deleted.
  virtual void RegDelete(std::wstring_view key_path) = 0;

  // Sets the key's default value to text as REG_SZ, creating missing keys.
  void RegWrite(std::wstring_view key_path, std::wstring_view text) {
    RegWriteValue(key_path, StringValue(text));
  }

  // Puts a key back into a state read earlier with RegRead.
  void Restore(std::wstring_view key_path, const KeyState& state) {
    if (state.exists) {
      RegWriteValue(key_path, state.value);
    } else {
      RegDelete(key_path);
    }
  }
};

}  // namespace vw
