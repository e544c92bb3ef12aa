#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registry/services.h"

namespace vw {

// A registry held in memory, for the tests. It keeps the real registry's rules: key
// and value names compare without regard to case (by the registry's upper-case table) and keep
// the case they were created with, subkeys enumerate in the order of their upper-cased names,
// and paths are checked as the Win32 services check them.
//
// HKEY_CLASSES_ROOT is the merged view Windows gives: HKEY_LOCAL_MACHINE\Software\Classes for
// every user under HKEY_CURRENT_USER\Software\Classes for this one. Enumerating a key of the view
// lists the names of both; reading a key, or deleting it, takes the user's key whole where it
// exists, else the machine's, at every level of the path; a value written through the view lands
// in the user's key where it exists, else in the machine's (a new key is created there).
//
// Security, as Windows keeps it: every key has an owner (a new key is its creator's, the caller's
// unless CreateKeysAs says otherwise) and an access list of entries of its own and entries
// inherited from the keys above; an inheritable entry is copied to every key created below, a
// CREATOR OWNER one as an entry of the new key's owner too. SetSecurity, as RegSetKeySecurity,
// stores the descriptor as given and passes nothing down; it refuses an owner other than the
// caller unless the caller holds the privilege to restore files. A key's security descriptor is
// all of it: owner, protection and every entry, inherited or not. A key may have a class.
//
// Links: ListSubkeys and ReadKey follow links on the way, as the view does; for a key of a hive,
// ReadTree, CreateKey, WriteValue, DeleteTree and SetSecurity throw LinkOnTheWay at a link on the
// way, and CreateKey and WriteValue at a link that is the key itself.
//
// Faults: any call can be made to fail once, before it changes anything or, for a write, after it
// has created the missing keys; and a key can refuse an access, as a key whose ACL denies it. A
// refusal belongs to the key: it is part of the key's security descriptor, goes with the key when
// the key is deleted (a key made again has only what it inherits), and comes back with
// SetSecurity. Keys can also be
// symbolic links (to a key that may be missing) or volatile, which ReadTree reports and nothing
// can make again. Key names are counted: a name may hold a null.
class MemoryRegistry final : public RegistryServices {
 public:
  enum class Access {
    kSetValue,   // writing or removing a value of the key
    kDelete,     // deleting the key
    kEnumerate,  // listing its subkeys: enumeration, reading or deleting the tree through it
    kNotify,     // a right no call here needs: an entry that only makes an access list differ
  };
  // Who a new key belongs to, and the owner other programs' keys often have.
  static constexpr std::wstring_view kCaller = L"S-1-5-32-544";  // Administrators
  static constexpr std::wstring_view kSystem = L"S-1-5-18";
  static constexpr std::wstring_view kCreatorOwner = L"S-1-3-0";

  MemoryRegistry();
  ~MemoryRegistry() override;

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
  bool CanRestoreAudit() const noexcept override { return security_privilege_; }

  enum class Strike {
    kBeforeAnything,     // the call changes nothing
    kAfterCreatingKeys,  // a write creates the missing keys of its path, then fails
  };
  // The call made `calls_from_now` calls after this one (0: the next) fails once with `code`.
  void FailCallAfter(std::size_t calls_from_now, std::uint32_t code,
                     Strike strike = Strike::kBeforeAnything);
  // The existing key (of the view: both hives' keys) refuses `access` with `code`, until it is
  // deleted or ClearFaults; an inheritable refusal reaches the keys below it too.
  void Deny(Access access, const KeyPath& key, std::uint32_t code, bool inheritable = false);
  void ClearFaults();
  // What another program may have set, which ClearFaults keeps: an access list of the key's own,
  // protected from what is above it, with an entry its subkeys inherit; and an owner.
  void GiveOwnAccessList(const KeyPath& key);
  void SetOwner(const KeyPath& key, std::wstring_view owner);
  // Gives the key an inheritable CREATOR OWNER entry, which every key created below it gets as
  // an entry of its own owner's.
  void GrantCreatorOwner(const KeyPath& key);
  // Keys created from now on belong to `owner`, as when another account creates them.
  void CreateKeysAs(std::wstring_view owner) { creator_ = owner; }
  // Runs `action` (another program's doing) just before the call made `calls_from_now` calls
  // after this one.
  void AtCall(std::size_t calls_from_now, std::function<void()> action);
  // Whether the caller holds the privilege that lets it give a key any owner (administrators do).
  void HoldRestorePrivilege(bool held) { restore_privilege_ = held; }
  // Whether the caller holds the privilege that lets it read and write audit entries.
  void HoldSecurityPrivilege(bool held) { security_privilege_ = held; }
  // Makes `key` (of a hive, created if missing, its subkeys dropped) a symbolic link to `target`,
  // which need not exist: a dangling link. A write through it creates the target where the
  // target's parent exists, and fails with ERROR_FILE_NOT_FOUND where it does not. The link holds
  // its target in a REG_LINK value named `value_name`, which the registry compares without regard
  // to case as for any value name.
  void MakeLink(const KeyPath& key, const KeyPath& target,
                std::wstring_view value_name = L"SymbolicLinkValue");
  // Makes an existing key volatile.
  void MakeVolatile(const KeyPath& key);
  // Calls made so far, failed ones included.
  std::size_t call_count() const { return call_count_; }

  // Every key of both hives with its values, one line each: "<key path>\t<values>", in
  // enumeration order, names made visible, for comparing whole states.
  std::wstring Dump() const;

 private:
  struct Node;
  // The node of a key of a hive. Links on the way are followed; the key itself is followed only
  // with `follow_last`. Null when it does not exist, or a link on the way dangles.
  Node* Find(const KeyPath& location, bool follow_last = false, int depth = 0) const;
  // Where a key of the view, or of a hive, leads for reading (the user's key wins).
  KeyPath Resolve(const KeyPath& key) const;
  // Counts a call and throws the armed fault; a write passes `deferrable` and gets back whether
  // it must fail once it has created its keys.
  bool CountCall(const KeyPath& key, bool deferrable = false);
  void CheckAccess(Access access, const Node& node, const KeyPath& location) const;
  // Throws LinkOnTheWay at a link on the way to a key of a hive, or at the key itself with
  // `refuse_key`.
  void RefuseLinksOnTheWay(const KeyPath& key, bool refuse_key, Doing doing) const;
  // The node for `location`, created with the keys above it where missing; links followed.
  Node& Create(const KeyPath& location);
  template <typename Visit>
  void ForEachExistingKey(const KeyPath& key, Visit visit);
  void CopyTree(const Node& node, const KeyPath& location, KeyTree& tree) const;
  // The view's key under HKEY_CLASSES_ROOT, merged at every level, and its subkeys' names.
  void CopyViewTree(const KeyPath& key, KeyTree& tree) const;
  std::vector<std::wstring> ViewSubkeys(const KeyPath& key) const;
  void DeleteTree(Node& parent, const std::wstring& folded, const KeyPath& location);
  // Gives each key below `node` what it inherits from the key above it, as SetSecurityInfo does.
  static void Propagate(Node& node);

  std::map<std::uint32_t, std::unique_ptr<Node>> hives_;
  std::size_t call_count_ = 0;
  std::optional<std::size_t> fail_at_;
  std::uint32_t fail_at_code_ = 0;
  Strike fail_at_strike_ = Strike::kBeforeAnything;
  bool restore_privilege_ = true;
  bool security_privilege_ = true;
  std::wstring creator_{kCaller};
  std::optional<std::size_t> action_at_;
  std::function<void()> action_;
};

}  // namespace vw
