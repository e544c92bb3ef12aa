#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/texts.h"
#include "verbs/registry_path.h"
#include "verbs/registry_value.h"

namespace vw {

// What a failed registry call was doing, as its error says.
namespace registry_action {
inline constexpr std::wstring_view kEnumerating = text::kListingKey;
inline constexpr std::wstring_view kReading = text::kReadingKey;
inline constexpr std::wstring_view kWriting = text::kWritingKey;
inline constexpr std::wstring_view kDeleting = text::kDeletingKey;
}  // namespace registry_action

// The registry as the rest of the program sees it. Keys are KeyPaths of counted names, each name
// taken exactly as given, a null in it included. On the way to a key a symbolic link is followed,
// as the registry follows it; the key itself is taken as itself, a link as the link, except where
// enumerating. Every failure throws SystemError whose subject is the key as the user reads it
// (DisplayKeyPath); a key that is not valid (IsValidKeyPath) fails with ERROR_BAD_PATHNAME.
class RegistryServices {
 public:
  virtual ~RegistryServices() = default;

  // Appends the names of the immediate subkeys of the key to names, in the registry's order, each
  // whole. A missing key has no subkeys. On failure, names keeps what was read before it.
  virtual void ListSubkeys(const KeyPath& key, std::vector<std::wstring>& names) = 0;

  // Whether the key exists (a link: the link itself), and its default value.
  virtual KeyState ReadKey(const KeyPath& key) = 0;

  // The key with all its values, subkeys and own security; nullopt when it does not exist. A
  // symbolic link at or under it is read as the link itself, never followed.
  virtual std::optional<KeyTree> ReadTree(const KeyPath& key) = 0;

  // Creates the key and any missing keys above it, then sets its value `value_name` ("" for the
  // default value; a counted name, which may hold a null) to value, byte for byte as given, or
  // removes that value when value is empty.
  virtual void WriteValue(const KeyPath& key, std::wstring_view value_name,
                          const std::optional<RegValue>& value) = 0;

  // Deletes the key with everything under it; a symbolic link is deleted as the link itself,
  // never its target. A key that is already gone counts as deleted. A failure may leave part of
  // the tree deleted; a subkey that is listed but cannot be opened stops the delete.
  virtual void DeleteTree(const KeyPath& key) = 0;

  // Gives an existing key the security descriptor `descriptor`, as KeyTree::security holds it:
  // its access list first, the inherited part taken from the key above and passed on to the keys
  // below, then its owner.
  virtual void SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) = 0;

  // Whether SetSecurity could give a key made again the owner in `descriptor`.
  virtual bool CanRestoreOwner(const std::vector<std::uint8_t>& descriptor) const noexcept = 0;

  // Whether two key names name the same key, compared as this registry compares them.
  virtual bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept = 0;

  // Sets the key's default value to text (REG_SZ), creating missing keys.
  void WriteDefault(const KeyPath& key, std::wstring_view text) {
    WriteValue(key, L"", StringValue(text));
  }
};

// The name of the value in which a symbolic link keeps its target.
inline constexpr std::wstring_view kSymbolicLinkValueName = L"SymbolicLinkValue";

// Whether the value marks its key as a symbolic link: a REG_LINK value whose name is
// SymbolicLinkValue as the registry compares names, whatever its spelling.
inline bool MarksLink(const NamedValue& value, const RegistryServices& registry) noexcept {
  return value.value.type == kRegLink && registry.SameKeyName(value.name, kSymbolicLinkValueName);
}

}  // namespace vw
