#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "registry/key_path.h"
#include "registry/services.h"

namespace vw {

// The account the desktop session names; `answered` is false where the session could not be
// asked, so that nothing is known of its user.
struct SessionAccount {
  std::wstring user, domain;
  bool answered = true;
};
// An account found by its name: its SID as text, and whether it is a user's (not a group's, an
// alias's, a computer's).
struct FoundAccount {
  std::wstring sid;
  bool is_user = false;
};
// Looks an account up by its qualified name, "domain\user"; nullopt when it cannot be found.
using AccountLookup = std::function<std::optional<FoundAccount>(const std::wstring& name)>;

// Whose classes "this user's" are.
struct UserClasses {
  enum class Whose {
    kCurrentUser,  // HKEY_CURRENT_USER's: the session names no user, or this process's own
    kOtherUser,    // another account's, at `root`
    kUnknown,      // the session could not be asked, or names a user who cannot be found as a
                   // user: nobody's
  } whose = Whose::kCurrentUser;
  KeyPath root;  // HKEY_USERS\<SID>_Classes, for kOtherUser
};
// The session's user looked up as "domain\user" only, the bare name never (it may find another
// domain's account), and taken only as a user's SID.
UserClasses FindUserClasses(const SessionAccount& session, std::wstring_view process_user,
                            const AccountLookup& lookup);

// The registry as seen for the user of the desktop when the program runs as another account
// (a standard user who typed an administrator's password to elevate it): "this user's classes"
// are then the desktop user's, HKEY_USERS\<SID>_Classes, not HKEY_CURRENT_USER's, which belong to
// the administrator. Paths under HKEY_CURRENT_USER\Software\Classes are taken there, and the view
// HKEY_CLASSES_ROOT is merged from the machine's classes and the desktop user's as Windows merges
// them: the union of names, the user's key winning where both have one. Everything else passes
// through unchanged.
class DesktopUserClasses final : public RegistryServices {
 public:
  // `user_classes` is the desktop user's classes root, HKEY_USERS\<SID>_Classes; nullopt when the
  // desktop's user is not known: everything then passes through, and no change may be made.
  DesktopUserClasses(RegistryServices& inner, std::optional<KeyPath> user_classes);

  void ForEachSubkey(const KeyPath& key, SubkeySink& sink) override;
  KeyState ReadKey(const KeyPath& key) override;
  std::optional<KeyTree> ReadTree(const KeyPath& key) override;
  void CreateKey(const KeyPath& key, std::wstring_view key_class) override;
  void WriteValue(const KeyPath& key, std::wstring_view value_name,
                  const std::optional<RegValue>& value) override;
  void DeleteTree(const KeyPath& key) override;
  void SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) override;
  bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept override;
  bool CanRestoreSecurity(const std::vector<std::uint8_t>& descriptor) const noexcept override;
  bool CanRestoreAudit() const noexcept override;
  bool CanChange() const noexcept override;

 private:
  // Where a key of this user's classes, or of the view, really is: a key of the view is the
  // user's where the user has it, else the machine's.
  KeyPath Map(const KeyPath& key);

  RegistryServices& inner_;
  std::optional<KeyPath> user_classes_;
};

}  // namespace vw
