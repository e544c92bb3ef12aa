#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_error.h"
#include "registry/key_path.h"
#include "registry/value.h"

namespace vw {

// A symbolic link met on the way to a key that is to be read whole or changed. A link in a hive a
// user can write to could lead an elevated program to a key of the machine's, so it is never
// followed there; its subject is the link.
class LinkOnTheWay : public SystemError {
 public:
  LinkOnTheWay(Doing doing, const KeyPath& link)
      : SystemError(errc::kStoppedOnSymlink, doing, KeyPathText(link)) {}
};

// Receives the names of a key's subkeys as they are read, so that a long list is copied once.
class SubkeySink {
 public:
  virtual ~SubkeySink() = default;
  // How many names are coming, as far as the registry knows before they are read; once, first.
  virtual void Expect(std::size_t count) = 0;
  virtual void Take(std::wstring_view name) = 0;
};

// The registry as the rest of the program sees it. Keys are KeyPaths of counted names, each name
// taken exactly as given, a null in it included. Listing a key and reading its default value
// (ListSubkeys, ReadKey) follow symbolic links on the way, as Explorer's view does; reading a key
// whole and every change (ReadTree, CreateKey, WriteValue, DeleteTree, SetSecurity) open every
// name on the way as itself and throw LinkOnTheWay at a link. The key itself is taken as itself,
// a link as the link, except where listing. Every failure throws SystemError whose subject is the
// key written out (KeyPathText); a key that is not valid (IsValidKeyPath) fails with
// ERROR_BAD_PATHNAME.
class RegistryServices {
 public:
  virtual ~RegistryServices() = default;

  // Gives `sink` the names of the immediate subkeys of the key, in the registry's order, each
  // whole. A missing key has no subkeys. On failure, the names read before it have been given.
  virtual void ForEachSubkey(const KeyPath& key, SubkeySink& sink) = 0;
  // The same, appended to `names`.
  void ListSubkeys(const KeyPath& key, std::vector<std::wstring>& names) {
    struct Append final : SubkeySink {
      std::vector<std::wstring>& names;
      explicit Append(std::vector<std::wstring>& list) : names(list) {}
      void Expect(std::size_t count) override { names.reserve(names.size() + count); }
      void Take(std::wstring_view name) override { names.emplace_back(name); }
    } append(names);
    ForEachSubkey(key, append);
  }

  // Whether the key exists (a link: the link itself), and its default value.
  virtual KeyState ReadKey(const KeyPath& key) = 0;

  // The key with all its values, subkeys and own security; nullopt when it does not exist. A
  // symbolic link at or under it is read as the link itself, never followed.
  virtual std::optional<KeyTree> ReadTree(const KeyPath& key) = 0;

  // Creates the key, with the class `key_class`, and any missing keys above it; an existing key
  // stays as it is.
  virtual void CreateKey(const KeyPath& key, std::wstring_view key_class) = 0;

  // Creates the key and any missing keys above it, then sets its value `value_name` ("" for the
  // default value; a counted name, which may hold a null) to value, byte for byte as given, or
  // removes that value when value is empty.
  virtual void WriteValue(const KeyPath& key, std::wstring_view value_name,
                          const std::optional<RegValue>& value) = 0;

  // Deletes the key with everything under it; a symbolic link is deleted as the link itself,
  // never its target. A key that is already gone counts as deleted. A failure may leave part of
  // the tree deleted; a subkey that is listed but cannot be opened stops the delete.
  virtual void DeleteTree(const KeyPath& key) = 0;

  // Gives an existing key the security descriptor `descriptor`, as KeyTree::security holds it,
  // exactly: owner, group, access list and label as given, nothing recomputed from the key above
  // and nothing passed down to the keys below.
  virtual void SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) = 0;

  // Whether SetSecurity could give a key made again the owner and the label in `descriptor`.
  virtual bool CanRestoreSecurity(const std::vector<std::uint8_t>& descriptor) const noexcept = 0;

  // Whether the audit entries of a key it deletes could be read, and so put back.
  virtual bool CanRestoreAudit() const noexcept = 0;

  // Whether it is known whose keys a change would touch: false where "this user's classes" are
  // those of a desktop user who could not be found, so that no change lands on another's.
  virtual bool CanChange() const noexcept { return true; }

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
