#include "registry/win32_registry_win.h"

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "platform/handles_win.h"
#include "platform/process_token_win.h"
#include "platform/system_calls_win.h"
#include "platform/system_error.h"
#include "registry/key_calls_win.h"
#include "registry/key_path.h"

namespace vw {
namespace {

// --- Opening keys ------------------------------------------------------------------------------
// Key names are counted strings: the Win32 calls take them null-terminated and cut a name at a
// null, so a key is opened, created and deleted one name at a time through ntdll, relative to its
// open parent. Every open asks for the access it needs and never for none: Windows refuses a
// request for no access at all.

using CountedString = calls::UnicodeString;
using calls::ObjectAttributes;
constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr ULONG kObjOpenLink = 0x100;  // a symbolic link is opened as itself

CountedString Counted(std::wstring& name) {
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  return {bytes, bytes, name.data()};
}

bool IsMissing(LSTATUS status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

[[noreturn]] void Fail(LSTATUS status, Doing doing, const std::wstring& subject) {
  throw SystemError(static_cast<std::uint32_t>(status), doing, subject);
}

HKEY RootKey(std::uint32_t hive) {
  switch (hive) {
    case kHiveClassesRoot:
      return HKEY_CLASSES_ROOT;
    case kHiveCurrentUser:
      return HKEY_CURRENT_USER;
    case kHiveLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case kHiveUsers:
      return HKEY_USERS;
    default:
      return nullptr;
  }
}

void CheckValid(const KeyPath& key, Doing doing) {
  if (!IsValidKeyPath(key)) Fail(ERROR_BAD_PATHNAME, doing, KeyPathText(key));
}

// How a path is walked: symbolic links on the way followed (the view Explorer reads) or refused
// (a key the program reads whole or changes); the key itself taken as itself, followed, or
// refused when it is a link; a missing key absent, or created.
enum class OnTheWay { kFollowLinks, kRefuseLinks };
enum class AtTheKey { kAsItself, kFollowed, kRefuseLink };
enum class IfMissing { kAbsent, kCreate };
struct Walk {
  ACCESS_MASK access;  // at the key, with KEY_QUERY_VALUE to check it unless `exact`
  OnTheWay way;
  AtTheKey key;
  IfMissing missing = IfMissing::kAbsent;
  std::wstring_view key_class = {};  // for a key created
  bool exact = false;
};

// Opens (or, with `create`, creates) the subkey `name` of `parent`, counted. A link is followed
// unless `as_link`. The status, and the key when it succeeded.
LSTATUS OpenChild(KeyCalls& calls, HKEY parent, std::wstring name, ACCESS_MASK access, bool as_link,
                  bool create, std::wstring_view key_class, KeyHandle& child) {
  CountedString counted = Counted(name);
  ObjectAttributes attributes{sizeof(ObjectAttributes),
                              parent,
                              &counted,
                              kObjCaseInsensitive | (as_link ? kObjOpenLink : 0),
                              nullptr,
                              nullptr};
  std::wstring class_text(key_class);
  CountedString counted_class = Counted(class_text);
  HANDLE handle = nullptr;
  const LONG status = create ? calls.CreateKey(&handle, access, &attributes,
                                               class_text.empty() ? nullptr : &counted_class,
                                               REG_OPTION_NON_VOLATILE)
                             : calls.OpenKey(&handle, access, &attributes);
  if (status >= 0) child = KeyHandle(calls, static_cast<HKEY>(handle));
  return calls.ErrorOf(status);
}

// The key's flags (NtQueryKey, KeyFlagsInformation); nullopt where the system does not say.
std::optional<ULONG> KeyFlags(KeyCalls& calls, HKEY key) {
  struct KeyFlagsInformation {
    ULONG wow64_flags;
    ULONG key_flags;
    ULONG control_flags;
  };
  KeyFlagsInformation info{};
  ULONG size = 0;
  if (calls.QueryKey(key, key_info::kFlags, &info, sizeof(info), &size) < 0) return std::nullopt;
  return info.key_flags;
}

// The target a link key names in its SymbolicLinkValue; "" when it names none.
std::wstring LinkTarget(KeyCalls& calls, HKEY key) {
  DWORD type = 0, size = 0;
  if (calls.QueryValue(key, kSymbolicLinkValueName.data(), &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != REG_LINK) {
    return {};
  }
  std::wstring target(size / sizeof(wchar_t), L'\0');
  if (calls.QueryValue(key, kSymbolicLinkValueName.data(), &type,
                       reinterpret_cast<BYTE*>(target.data()), &size) != ERROR_SUCCESS) {
    return {};
  }
  target.resize(size / sizeof(wchar_t));
  return target;
}

// Whether an open key is a symbolic link: by the key's own mark or by a REG_LINK value in which
// it keeps a target. The mark's layout is reserved for the system, so either sign is enough.
bool IsLinkKey(KeyCalls& calls, HKEY key) {
  const auto flags = KeyFlags(calls, key);
  return (flags && (*flags & kKeyFlagLink) != 0) || !LinkTarget(calls, key).empty();
}

bool SameText(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Where the link at key.names[index] is Windows' own HKEY_CURRENT_USER\Software\Classes, the link
// to this same user's classes hive, the name of that hive under HKEY_USERS (<SID>_Classes);
// nullopt for any other link.
std::optional<std::wstring> OwnClassesStore(KeyCalls& calls, const ProcessToken& token,
                                            const KeyPath& key, std::size_t index, HKEY link) {
  if (key.hive != kHiveCurrentUser || index != 1 || !SameText(key.names[0], L"Software") ||
      !SameText(key.names[1], L"Classes")) {
    return std::nullopt;
  }
  const std::wstring user = token.UserSid();
  std::wstring hive = user + L"_Classes";
  if (user.empty() || !SameText(LinkTarget(calls, link), L"\\REGISTRY\\USER\\" + hive))
    return std::nullopt;
  return hive;
}

// The key `key` up to and including names[index].
KeyPath Prefix(const KeyPath& key, std::size_t index) {
  KeyPath prefix{key.hive, {}};
  prefix.names.assign(key.names.begin(),
                      key.names.begin() + static_cast<std::ptrdiff_t>(index) + 1);
  return prefix;
}

// Opens the key as `walk` says; an empty owner when it, or a key on the way, does not exist (and
// is not to be created). Throws LinkOnTheWay at a link that is refused.
KeyHandle OpenPath(KeyCalls& calls, const ProcessToken& token, const KeyPath& key, const Walk& walk,
                   Doing doing) {
  const std::wstring subject = KeyPathText(key);
  const HKEY root = RootKey(key.hive);
  if (root == nullptr) Fail(ERROR_BAD_PATHNAME, doing, subject);
  const bool create = walk.missing == IfMissing::kCreate;
  const bool refuse_links = walk.way == OnTheWay::kRefuseLinks;
  // The merged view has no native path: it is reached through the Win32 calls alone, whole, which
  // take names without nulls and follow its links as Explorer does.
  const bool whole_path = key.hive == kHiveClassesRoot;
  std::wstring first = key.names.front();
  if (whole_path) {
    for (std::size_t index = 1; index < key.names.size(); ++index)
      first += L'\\' + key.names[index];
  }
  if (first.find(L'\0') != std::wstring::npos) Fail(ERROR_BAD_PATHNAME, doing, subject);

  const std::size_t count = whole_path ? 1 : key.names.size();
  KeyHandle current;
  for (std::size_t index = 0; index < count; ++index) {
    const bool last = index + 1 == count;
    // On the way, the least that lets the key be checked. Creating a subkey is checked against
    // the parent key's own security, not against what its handle was opened for.
    const ACCESS_MASK access = !last        ? KEY_QUERY_VALUE
                               : walk.exact ? walk.access
                                            : walk.access | KEY_QUERY_VALUE;
    const bool itself = last && walk.key == AtTheKey::kAsItself;
    const bool as_link = itself || (refuse_links && !whole_path);
    const std::wstring_view key_class = last ? walk.key_class : std::wstring_view();
    KeyHandle next;
    LSTATUS status = ERROR_SUCCESS;
    if (index == 0) {
      HKEY raw = nullptr;
      status =
          calls.OpenRoot(root, first.c_str(), as_link ? REG_OPTION_OPEN_LINK : 0, access, &raw);
      if (IsMissing(status) && create) {
        const std::wstring class_text(key_class);
        status = calls.CreateRoot(root, first.c_str(),
                                  class_text.empty() ? nullptr : class_text.c_str(), access, &raw);
      }
      if (status == ERROR_SUCCESS) next = KeyHandle(calls, raw);
    } else {
      status = OpenChild(calls, current.get(), key.names[index], access, as_link, create, key_class,
                         next);
    }
    if (IsMissing(status)) return {};
    if (status != ERROR_SUCCESS) Fail(status, doing, subject);
    if (as_link && !itself && IsLinkKey(calls, next.get())) {
      // Windows' own link to this user's classes is not followed either: the hive it names is
      // opened directly, as itself, so that what was checked is what is used.
      const std::optional<std::wstring> hive =
          OwnClassesStore(calls, token, key, index, next.get());
      if (!hive) throw LinkOnTheWay(doing, Prefix(key, index));
      next.reset();
      HKEY raw = nullptr;
      status = calls.OpenRoot(HKEY_USERS, hive->c_str(), REG_OPTION_OPEN_LINK, access, &raw);
      if (IsMissing(status)) return {};
      if (status != ERROR_SUCCESS) Fail(status, doing, subject);
      next = KeyHandle(calls, raw);
      if (IsLinkKey(calls, next.get())) throw LinkOnTheWay(doing, Prefix(key, index));
    }
    current = std::move(next);
  }
  return current;
}

// The name of the subkey at `index`, whole, read through `buffer`, which grows when a longer name
// was added since the key was sized; nullopt past the last subkey.
std::optional<std::wstring> SubkeyAt(KeyCalls& calls, HKEY key, DWORD index, std::wstring& buffer,
                                     Doing doing, const std::wstring& subject) {
  while (true) {
    auto length = static_cast<DWORD>(buffer.size());
    const LSTATUS status = calls.EnumKey(key, index, buffer.data(), &length);
    if (status == ERROR_NO_MORE_ITEMS) return std::nullopt;
    if (status == ERROR_MORE_DATA) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS) Fail(status, doing, subject);
    return std::wstring(buffer.data(), length);
  }
}

// A listed subkey, opened as itself. One that cannot be opened, even one gone meanwhile, is an
// error: a walk that skipped it would read or delete less than the tree.
KeyHandle OpenListedChild(KeyCalls& calls, HKEY parent, const std::wstring& name,
                          ACCESS_MASK access, Doing doing, const std::wstring& subject) {
  KeyHandle child;
  const LSTATUS status = OpenChild(calls, parent, name, access, true, false, {}, child);
  if (status != ERROR_SUCCESS) Fail(status, doing, subject);
  return child;
}

// A subkey written out, from its parent's.
std::wstring ChildSubject(const std::wstring& subject, std::wstring_view name) {
  std::wstring child = subject;
  child += L'\\';
  child += name;
  return child;
}

// --- Reading -----------------------------------------------------------------------------------

// Whether the audit entries are read and written too: the key is then opened for
// ACCESS_SYSTEM_SECURITY, which needs the security privilege switched on.
enum class Audit { kWithout, kWith };

// The key's whole security descriptor: owner, group, DACL with every entry, inherited ones
// included, the integrity label and, with `audit`, the audit entries, so that a key made again
// with other inherited rights, another owner, another label or no audit reads otherwise.
std::vector<std::uint8_t> KeySecurity(KeyCalls& calls, HKEY key, const std::wstring& subject,
                                      Audit audit) {
  const SECURITY_INFORMATION parts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
      LABEL_SECURITY_INFORMATION |
      (audit == Audit::kWith ? SACL_SECURITY_INFORMATION : static_cast<SECURITY_INFORMATION>(0));
  DWORD size = 0;
  LSTATUS status = calls.GetKeySecurity(key, parts, nullptr, &size);
  std::vector<std::uint8_t> descriptor(size);
  while (status == ERROR_INSUFFICIENT_BUFFER) {
    descriptor.resize(size);
    status = calls.GetKeySecurity(key, parts, descriptor.data(), &size);
  }
  if (status != ERROR_SUCCESS) Fail(status, Doing::kReadingKey, subject);
  descriptor.resize(size);
  return descriptor;
}

// The key's own name as stored, in its own case, whole (NtQueryKey, KeyBasicInformation);
// `fallback` where the system does not say.
std::wstring StoredKeyName(KeyCalls& calls, HKEY key, std::wstring_view fallback) {
  struct KeyBasicInformation {
    LARGE_INTEGER last_write_time;
    ULONG title_index;
    ULONG name_length;  // bytes
    WCHAR name[256];
  };
  KeyBasicInformation info{};
  ULONG size = 0;
  if (calls.QueryKey(key, key_info::kBasic, &info, sizeof(info), &size) < 0 ||
      info.name_length / sizeof(WCHAR) > 255) {
    return std::wstring(fallback);
  }
  return {info.name, info.name_length / sizeof(WCHAR)};
}

ACCESS_MASK ReadAccess(Audit audit) {
  return KEY_READ | (audit == Audit::kWith ? ACCESS_SYSTEM_SECURITY : static_cast<ACCESS_MASK>(0));
}

// Reads an open key with everything under it; `subject` names it in errors.
void ReadOpenKey(KeyCalls& calls, const RegistryServices& registry, HKEY key,
                 const std::wstring& subject, Audit audit, KeyTree& tree) {
  tree.security = KeySecurity(calls, key, subject, audit);
  const std::optional<ULONG> flags = KeyFlags(calls, key);
  tree.is_volatile = flags && (*flags & kKeyFlagVolatile) != 0;
  DWORD class_length = 0, subkeys = 0, longest_subkey = 0, values = 0, longest_name = 0,
        largest_data = 0;
  LSTATUS status = calls.QueryInfoKey(key, nullptr, &class_length, &subkeys, &longest_subkey,
                                      &values, &longest_name, &largest_data);
  if (status != ERROR_SUCCESS) Fail(status, Doing::kReadingKey, subject);
  if (class_length > 0) {
    std::wstring key_class(class_length + 1, L'\0');
    DWORD length = class_length + 1;
    status = calls.QueryInfoKey(key, key_class.data(), &length, nullptr, nullptr, nullptr, nullptr,
                                nullptr);
    if (status != ERROR_SUCCESS) Fail(status, Doing::kReadingKey, subject);
    key_class.resize(length);
    tree.key_class = std::move(key_class);
  }

  std::wstring name(std::max<DWORD>(longest_name, 255) + 1, L'\0');
  std::vector<std::uint8_t> data(
      std::max<DWORD>(largest_data, 1));  // never null: see RegEnumValueW
  for (DWORD index = 0;;) {
    auto name_length = static_cast<DWORD>(name.size());
    auto data_size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    status = calls.EnumValue(key, index, name.data(), &name_length, &type, data.data(), &data_size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {  // grown since the sizes were asked
      name.resize(name.size() * 2);
      data.resize(std::max<std::size_t>(data.size() * 2, data_size));
      continue;
    }
    if (status != ERROR_SUCCESS) Fail(status, Doing::kReadingKey, subject);
    tree.values.push_back(
        {std::wstring(name.data(), name_length),
         RegValue{type, std::vector<std::uint8_t>(data.begin(), data.begin() + data_size)}});
    ++index;
  }
  // A link is known by its own mark or by the value in which it keeps its target, either sign
  // enough. What lies behind it is not ours to read.
  tree.link = flags && (*flags & kKeyFlagLink) != 0;
  for (const NamedValue& value : tree.values) tree.link = tree.link || MarksLink(value, registry);
  if (tree.link) return;

  std::wstring buffer(std::max<DWORD>(longest_subkey, 255) + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    std::optional<std::wstring> child_name =
        SubkeyAt(calls, key, index, buffer, Doing::kReadingKey, subject);
    if (!child_name) break;
    const std::wstring child_subject = ChildSubject(subject, *child_name);
    const KeyHandle child = OpenListedChild(calls, key, *child_name, ReadAccess(audit),
                                            Doing::kReadingKey, child_subject);
    KeyTree& branch = tree.subkeys.emplace_back();
    branch.name = std::move(*child_name);
    ReadOpenKey(calls, registry, child.get(), child_subject, audit, branch);
  }
}

// --- Deleting ----------------------------------------------------------------------------------

// Deletes the open key `key` with its subkeys, deepest first, as RegDeleteTreeW does, but opening
// each key as itself: RegDeleteTreeW follows a link and deletes its target.
void DeleteOpenKey(KeyCalls& calls, HKEY key, const std::wstring& subject) {
  // Always the first subkey: the one before it is gone. One that stays first after its delete
  // would make this loop for ever; it stops the delete instead.
  std::wstring buffer(256, L'\0');
  std::optional<std::wstring> previous;
  while (const std::optional<std::wstring> child =
             SubkeyAt(calls, key, 0, buffer, Doing::kDeletingKey, subject)) {
    const std::wstring child_subject = ChildSubject(subject, *child);
    if (previous == child) Fail(ERROR_CANTWRITE, Doing::kDeletingKey, child_subject);
    const KeyHandle open =
        OpenListedChild(calls, key, *child, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE,
                        Doing::kDeletingKey, child_subject);
    DeleteOpenKey(calls, open.get(), child_subject);
    previous = child;
  }
  const LSTATUS status = calls.ErrorOf(calls.DeleteKey(key));
  if (status != ERROR_SUCCESS && !IsMissing(status) && status != ERROR_KEY_DELETED) {
    Fail(status, Doing::kDeletingKey, subject);
  }
}

// --- Security -----------------------------------------------------------------------------------

bool SameSid(PSID a, PSID b) {
  return (a == nullptr && b == nullptr) || (a != nullptr && b != nullptr && EqualSid(a, b));
}

// The integrity level of a descriptor's label (the last sub-authority of its mandatory label
// entry); nullopt when it has none.
std::optional<DWORD> LabelLevel(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL sacl = nullptr;
  if (!GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) || !present ||
      sacl == nullptr) {
    return std::nullopt;
  }
  for (DWORD index = 0; index < sacl->AceCount; ++index) {
    void* ace = nullptr;
    if (!GetAce(sacl, index, &ace)) continue;
    if (static_cast<const ACE_HEADER*>(ace)->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
    const auto* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    const PSID sid = const_cast<DWORD*>(&label->SidStart);
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    if (count == 0) return std::nullopt;
    return *GetSidSubAuthority(sid, count - 1u);
  }
  return std::nullopt;
}

// Whether a descriptor's system list holds an entry other than the integrity label.
bool HasAuditEntries(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL sacl = nullptr;
  if (!GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) || !present ||
      sacl == nullptr) {
    return false;
  }
  for (DWORD index = 0; index < sacl->AceCount; ++index) {
    void* ace = nullptr;
    if (GetAce(sacl, index, &ace) &&
        static_cast<const ACE_HEADER*>(ace)->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) {
      return true;
    }
  }
  return false;
}

// Whether this process may label an object at `level`: no higher than its own integrity.
bool CallerMayLabel(const ProcessToken& token, DWORD level) {
  const std::vector<std::uint8_t> own = token.Part(TokenIntegrityLevel);
  if (own.empty()) return false;
  const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(own.data())->Label.Sid;
  const UCHAR count = *GetSidSubAuthorityCount(sid);
  return count > 0 && level <= *GetSidSubAuthority(sid, count - 1u);
}

// Whether the token holds `privilege`, switched on or not.
bool HoldsPrivilege(const ProcessToken& token, const wchar_t* privilege) {
  LUID wanted{};
  const std::vector<std::uint8_t> privileges = token.Part(TokenPrivileges);
  if (privileges.empty() || !LookupPrivilegeValueW(nullptr, privilege, &wanted)) return false;
  const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(privileges.data());
  for (DWORD index = 0; index < held->PrivilegeCount; ++index) {
    const LUID& luid = held->Privileges[index].Luid;
    if (luid.LowPart == wanted.LowPart && luid.HighPart == wanted.HighPart) return true;
  }
  return false;
}

// Whether this process could make `owner` the owner of a key it makes again: a key it creates
// gets its token's default owner; it may name itself or a group it may own by; any other account
// needs the privilege to restore.
bool CallerMayOwnWith(const ProcessToken& token, PSID owner) {
  const std::vector<std::uint8_t> default_owner = token.Part(TokenOwner);
  if (!default_owner.empty() &&
      SameSid(reinterpret_cast<const TOKEN_OWNER*>(default_owner.data())->Owner, owner)) {
    return true;
  }
  const std::vector<std::uint8_t> user = token.Part(TokenUser);
  if (!user.empty() && SameSid(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, owner)) {
    return true;
  }
  const std::vector<std::uint8_t> groups = token.Part(TokenGroups);
  if (!groups.empty()) {
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD index = 0; index < list->GroupCount; ++index) {
      const SID_AND_ATTRIBUTES& group = list->Groups[index];
      if ((group.Attributes & SE_GROUP_OWNER) != 0 && SameSid(group.Sid, owner)) return true;
    }
  }
  // Another account: the handle gets WRITE_OWNER through the privilege to take ownership, and the
  // set may name that account through the privilege to restore.
  return HoldsPrivilege(token, SE_TAKE_OWNERSHIP_NAME) && HoldsPrivilege(token, SE_RESTORE_NAME);
}

}  // namespace

Win32Registry::Win32Registry(KeyCalls& calls) : calls_(calls) {}

void Win32Registry::ForEachSubkey(const KeyPath& key, SubkeySink& sink) {
  CheckValid(key, Doing::kListingKey);
  const std::wstring subject = KeyPathText(key);
  const KeyHandle open = OpenPath(
      calls_, token_, key,
      {KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, OnTheWay::kFollowLinks, AtTheKey::kFollowed},
      Doing::kListingKey);
  if (!open) return;

  DWORD count = 0;
  DWORD longest = 0;
  LSTATUS status = calls_.QueryInfoKey(open.get(), nullptr, nullptr, &count, &longest, nullptr,
                                       nullptr, nullptr);
  if (status != ERROR_SUCCESS) Fail(status, Doing::kListingKey, subject);
  sink.Expect(count);

  std::wstring buffer(std::max<DWORD>(longest, 255) + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    std::optional<std::wstring> name =
        SubkeyAt(calls_, open.get(), index, buffer, Doing::kListingKey, subject);
    if (!name) return;
    sink.Take(*name);
  }
}

KeyState Win32Registry::ReadKey(const KeyPath& key) {
  CheckValid(key, Doing::kReadingKey);
  const KeyHandle open =
      OpenPath(calls_, token_, key, {KEY_QUERY_VALUE, OnTheWay::kFollowLinks, AtTheKey::kAsItself},
               Doing::kReadingKey);
  if (!open) return {};

  KeyState state{true, std::nullopt};
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS status = calls_.QueryValue(open.get(), nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return state;
  RegValue value{type, std::vector<std::uint8_t>(size)};
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    value.data.resize(size);
    status = calls_.QueryValue(open.get(), nullptr, &type, value.data.data(), &size);
    if (status == ERROR_SUCCESS) {
      value.type = type;
      value.data.resize(size);
      state.value = std::move(value);
      return state;
    }
  }
  if (status == ERROR_FILE_NOT_FOUND) return state;  // removed between the two calls
  Fail(status, Doing::kReadingKey, KeyPathText(key));
}

std::optional<KeyTree> Win32Registry::ReadTree(const KeyPath& key) {
  CheckValid(key, Doing::kReadingKey);
  // The audit entries are read where the privilege lets them be; where it does not, no change
  // that deletes a key is made (CanRestoreAudit).
  const PrivilegeOn security(token_, SE_SECURITY_NAME);
  const Audit audit = security.on() ? Audit::kWith : Audit::kWithout;
  const KeyHandle open = OpenPath(calls_, token_, key,
                                  {ReadAccess(audit), OnTheWay::kRefuseLinks, AtTheKey::kAsItself},
                                  Doing::kReadingKey);
  if (!open) return std::nullopt;
  KeyTree tree;
  tree.name = StoredKeyName(calls_, open.get(), key.names.back());
  ReadOpenKey(calls_, *this, open.get(), KeyPathText(key), audit, tree);
  SortTree(tree);
  return tree;
}

void Win32Registry::CreateKey(const KeyPath& key, std::wstring_view key_class) {
  CheckValid(key, Doing::kWritingKey);
  const KeyHandle open = OpenPath(calls_, token_, key,
                                  {KEY_QUERY_VALUE, OnTheWay::kRefuseLinks, AtTheKey::kRefuseLink,
                                   IfMissing::kCreate, key_class},
                                  Doing::kWritingKey);
  if (!open) Fail(ERROR_PATH_NOT_FOUND, Doing::kWritingKey, KeyPathText(key));
}

void Win32Registry::WriteValue(const KeyPath& key, std::wstring_view value_name,
                               const std::optional<RegValue>& value) {
  CheckValid(key, Doing::kWritingKey);
  const std::wstring subject = KeyPathText(key);
  const KeyHandle open =
      OpenPath(calls_, token_, key,
               {KEY_SET_VALUE, OnTheWay::kRefuseLinks, AtTheKey::kRefuseLink, IfMissing::kCreate},
               Doing::kWritingKey);
  if (!open) Fail(ERROR_PATH_NOT_FOUND, Doing::kWritingKey, subject);
  // The native calls take the name counted, so a name holding a null stays whole, and store the
  // data as given: RegSetValueExW adds a terminator to a string whose last unit is not null when
  // the bytes after the buffer happen to be zero.
  std::wstring name(value_name);
  CountedString counted = Counted(name);
  LSTATUS status = ERROR_SUCCESS;
  if (value) {
    std::vector<std::uint8_t> data = value->data;
    status = calls_.ErrorOf(calls_.SetValue(open.get(), &counted, value->type, data.data(),
                                            static_cast<ULONG>(data.size())));
  } else {
    status = calls_.ErrorOf(calls_.DeleteValue(open.get(), &counted));
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS) Fail(status, Doing::kWritingKey, subject);
}

void Win32Registry::DeleteTree(const KeyPath& key) {
  CheckValid(key, Doing::kDeletingKey);
  const KeyHandle open = OpenPath(calls_, token_, key,
                                  {KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE,
                                   OnTheWay::kRefuseLinks, AtTheKey::kAsItself},
                                  Doing::kDeletingKey);
  if (!open) return;  // already gone
  DeleteOpenKey(calls_, open.get(), KeyPathText(key));
}

void Win32Registry::SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) {
  CheckValid(key, Doing::kWritingKey);
  const std::wstring subject = KeyPathText(key);
  // As Windows' access check grants them: READ_CONTROL and WRITE_DAC to the key's owner (a key
  // made again is ours), WRITE_OWNER through the privilege to take ownership, the naming of
  // another owner through the privilege to restore, the audit entries through the security
  // privilege. Each is on only around this, and back to what it was after; the first two before
  // the open, to which the access check applies them.
  const PrivilegeOn take_ownership(token_, SE_TAKE_OWNERSHIP_NAME);
  const PrivilegeOn restore(token_, SE_RESTORE_NAME);
  const PrivilegeOn security(token_, SE_SECURITY_NAME);
  const Audit audit = security.on() ? Audit::kWith : Audit::kWithout;
  const ACCESS_MASK access =
      READ_CONTROL | WRITE_DAC | WRITE_OWNER |
      (audit == Audit::kWith ? ACCESS_SYSTEM_SECURITY : static_cast<ACCESS_MASK>(0));
  const KeyHandle open =
      OpenPath(calls_, token_, key,
               {access, OnTheWay::kRefuseLinks, AtTheKey::kAsItself, IfMissing::kAbsent, {}, true},
               Doing::kWritingKey);
  if (!open) Fail(ERROR_FILE_NOT_FOUND, Doing::kWritingKey, subject);
  std::vector<std::uint8_t> copy = descriptor;
  // One low-level set that stores owner, group, list and label as given: nothing is recomputed
  // from the key above (SetSecurityInfo would, and would turn CREATOR OWNER entries into the
  // owner of the moment) and nothing is passed down to the keys below, each of which is put back
  // by itself. A label goes back where the record has one or the key has one now.
  // So do the audit entries, where the record has some or the key has some now.
  SECURITY_INFORMATION parts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  std::vector<std::uint8_t> now = KeySecurity(calls_, open.get(), subject, audit);
  if (LabelLevel(copy.data()) || LabelLevel(now.data())) parts |= LABEL_SECURITY_INFORMATION;
  if (audit == Audit::kWith && (HasAuditEntries(copy.data()) || HasAuditEntries(now.data())))
    parts |= SACL_SECURITY_INFORMATION;
  const LSTATUS status = calls_.SetKeySecurity(open.get(), parts, copy.data());
  if (status != ERROR_SUCCESS) Fail(status, Doing::kWritingKey, subject);
}

bool Win32Registry::CanRestoreSecurity(const std::vector<std::uint8_t>& descriptor) const noexcept {
  try {
    if (descriptor.empty()) return true;  // nothing to give back
    std::vector<std::uint8_t> copy = descriptor;
    const ProcessToken& token = token_;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (GetSecurityDescriptorOwner(copy.data(), &owner, &defaulted) && owner != nullptr &&
        !CallerMayOwnWith(token, owner)) {
      return false;
    }
    const std::optional<DWORD> label = LabelLevel(copy.data());
    return !label || CallerMayLabel(token, *label);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool Win32Registry::CanRestoreAudit() const noexcept {
  try {
    return HoldsPrivilege(token_, SE_SECURITY_NAME);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool Win32Registry::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  // The registry's own rule: ordinal, after the system's upper-case table.
  return SameText(a, b);
}

}  // namespace vw
