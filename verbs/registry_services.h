#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "verbs/registry_value.h"

namespace vw {

// What a failed registry call was doing, as its error says.
namespace registry_action {
inline constexpr std::wstring_view kEnumerating = L"列出注册表项";
inline constexpr std::wstring_view kReading = L"读取注册表项";
inline constexpr std::wstring_view kWriting = L"写入注册表项";
inline constexpr std::wstring_view kDeleting = L"删除注册表项";
}  // namespace registry_action

// The registry as the rest of the program sees it. Keys are named by full paths ending in '\'
// ("HKEY_LOCAL_MACHINE\Software\Classes\exefile\shell\tool\"); enumeration takes a hive value and
// a relative path. Every failure throws SystemError whose subject is the key's path as the user
// reads it (DisplayKeyPath).
class RegistryServices {
 public:
  virtual ~RegistryServices() = default;

  // Appends the names of the immediate subkeys of hive\relative_path to names, in the registry's
  // order. A missing key has no subkeys. On failure, names keeps what was read before it.
  virtual void EnumKey(std::uint32_t hive, std::wstring_view relative_path,
                       std::vector<std::wstring>& names) = 0;

  // Whether the key exists, and its default value.
  virtual KeyState RegRead(std::wstring_view key_path) = 0;

  // The key with all its values, subkeys and own security; nullopt when it does not exist. A
  // symbolic link under it is read as the link itself, never followed.
  virtual std::optional<KeyTree> ReadTree(std::wstring_view key_path) = 0;

  // Creates the key and any missing keys above it, then sets its value `value_name` ("" for the
  // default value; a counted name, which may hold a null) to value, byte for byte as given, or
  // removes that value when value is empty.
  virtual void WriteValue(std::wstring_view key_path, std::wstring_view value_name,
                          const std::optional<RegValue>& value) = 0;

  // Deletes the key with everything under it; a symbolic link is deleted as the link itself,
  // never its target. A key that is already gone counts as deleted. A failure may leave part of
  // the tree deleted.
  virtual void RegDelete(std::wstring_view key_path) = 0;

  // Gives an existing key the security descriptor `descriptor`, as KeyTree::security holds it.
  virtual void SetSecurity(std::wstring_view key_path,
                           const std::vector<std::uint8_t>& descriptor) = 0;

  // Whether two key names name the same key, compared as this registry compares them.
  virtual bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept = 0;

  // Sets the key's default value, creating missing keys.
  void RegWriteValue(std::wstring_view key_path, const std::optional<RegValue>& value) {
    WriteValue(key_path, L"", value);
  }
  void RegWrite(std::wstring_view key_path, std::wstring_view text) {
    RegWriteValue(key_path, StringValue(text));
  }
};

}  // namespace vw
