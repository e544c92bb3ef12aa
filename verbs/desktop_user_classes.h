#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "verbs/registry_path.h"

#include "verbs/registry_services.h"

namespace vw {

// The registry as seen for the user of the desktop when the program runs as another account
// (a standard user who typed an administrator's password to elevate it): "this user's classes"
// are then the desktop user's, HKEY_USERS\<SID>_Classes, not HKEY_CURRENT_USER's, which belong to
// the administrator. Paths under HKEY_CURRENT_USER\Software\Classes are taken there, and the view
// HKEY_CLASSES_ROOT is merged from the machine's classes and the desktop user's as Windows merges
// them: the union of names, the user's key winning where both have one. Everything else passes
// through unchanged.
// The desktop user's classes root, HKEY_USERS\<SID>_Classes, when the user of the session
// (`session_user`, a string SID) is not the account this process runs as (`process_user`);
// nullopt when they are the same, or either is unknown: HKEY_CURRENT_USER is then the user's.
std::optional<KeyPath> OtherUserClassesRoot(std::wstring_view session_user,
                                            std::wstring_view process_user);

class DesktopUserClasses final : public RegistryServices {
 public:
  // `user_classes` is the desktop user's classes root, HKEY_USERS\<SID>_Classes.
  DesktopUserClasses(RegistryServices& inner, KeyPath user_classes);

  void ListSubkeys(const KeyPath& key, std::vector<std::wstring>& names) override;
  KeyState ReadKey(const KeyPath& key) override;
  std::optional<KeyTree> ReadTree(const KeyPath& key) override;
  void WriteValue(const KeyPath& key, std::wstring_view value_name,
                  const std::optional<RegValue>& value) override;
  void DeleteTree(const KeyPath& key) override;
  void SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) override;
  bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept override;
  bool CanRestoreOwner(const std::vector<std::uint8_t>& descriptor) const noexcept override;

 private:
  // Where a key of this user's classes, or of the view, really is: a key of the view is the
  // user's where the user has it, else the machine's.
  KeyPath Map(const KeyPath& key);

  RegistryServices& inner_;
  KeyPath user_classes_;
};

}  // namespace vw
