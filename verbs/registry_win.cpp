#include "verbs/registry_win.h"

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "platform/handles_win.h"
#include "platform/system_calls_win.h"
#include "platform/system_error.h"
#include "verbs/registry_path.h"

namespace vw {
namespace {

using namespace registry_action;

// --- The native calls --------------------------------------------------------------------------
// Key names are counted strings: the Win32 calls take them null-terminated and cut a name at a
// null, so a key is opened, created and deleted one name at a time through ntdll, relative to its
// open parent. ntdll is not part of the Win32 API: its calls are looked up at run time.

using CountedString = calls::UnicodeString;
using calls::ObjectAttributes;
constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr ULONG kObjOpenLink = 0x100;  // a symbolic link is opened as itself

struct NativeCalls {
  calls::NtOpenKey open_key = nullptr;
  calls::NtCreateKey create_key = nullptr;
  calls::NtDeleteKey delete_key = nullptr;
  calls::NtQueryKey query_key = nullptr;
  calls::NtSetValueKey set_value = nullptr;
  calls::NtDeleteValueKey delete_value = nullptr;
  calls::RtlNtStatusToDosError status_to_error = nullptr;
};

// Looked up once; never changed after.
const NativeCalls& Native() {
  static const NativeCalls calls = [] {
    NativeCalls loaded;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    loaded.open_key = calls::Find<calls::NtOpenKey>(ntdll, "NtOpenKey");
    loaded.create_key = calls::Find<calls::NtCreateKey>(ntdll, "NtCreateKey");
    loaded.delete_key = calls::Find<calls::NtDeleteKey>(ntdll, "NtDeleteKey");
    loaded.query_key = calls::Find<calls::NtQueryKey>(ntdll, "NtQueryKey");
    loaded.set_value = calls::Find<calls::NtSetValueKey>(ntdll, "NtSetValueKey");
    loaded.delete_value = calls::Find<calls::NtDeleteValueKey>(ntdll, "NtDeleteValueKey");
    loaded.status_to_error =
        calls::Find<calls::RtlNtStatusToDosError>(ntdll, "RtlNtStatusToDosError");
    return loaded;
  }();
  return calls;
}

LSTATUS FromNtStatus(LONG status) {
  if (status >= 0) return ERROR_SUCCESS;
  const auto convert = Native().status_to_error;
  return convert == nullptr ? ERROR_GEN_FAILURE : static_cast<LSTATUS>(convert(status));
}

CountedString Counted(std::wstring& name) {
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  return {bytes, bytes, name.data()};
}

bool IsMissing(LSTATUS status) {
  return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

[[noreturn]] void Fail(LSTATUS status, std::wstring_view doing, const std::wstring& subject) {
  throw SystemError(static_cast<std::uint32_t>(status), std::wstring(doing), subject);
}

// --- Opening keys ------------------------------------------------------------------------------

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

void CheckValid(const KeyPath& key, std::wstring_view doing) {
  if (!IsValidKeyPath(key)) Fail(ERROR_BAD_PATHNAME, doing, DisplayKeyPath(key));
}

// Opens (or, with `create`, creates) the subkey `name` of `parent`, counted. A link is followed
// unless `as_link`. The status, and the key when it succeeded.
LSTATUS OpenChild(HKEY parent, std::wstring name, ACCESS_MASK access, bool as_link, bool create,
                  UniqueHkey& child) {
  const NativeCalls& native = Native();
  if (native.open_key == nullptr || native.create_key == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  CountedString counted = Counted(name);
  ObjectAttributes attributes{sizeof(ObjectAttributes),
                              parent,
                              &counted,
                              kObjCaseInsensitive | (as_link ? kObjOpenLink : 0),
                              nullptr,
                              nullptr};
  HANDLE handle = nullptr;
  ULONG disposition = 0;
  const LONG status = create ? native.create_key(&handle, access, &attributes, 0, nullptr,
                                                 REG_OPTION_NON_VOLATILE, &disposition)
                             : native.open_key(&handle, access, &attributes);
  if (status >= 0) child.reset(static_cast<HKEY>(handle));
  return FromNtStatus(status);
}

// Opens the key for `access`; an empty owner when it, or a key on the way, does not exist. Links
// on the way are followed, as the registry follows them; the key itself is opened as itself, a
// link as the link, unless `follow_last`. With `create`, missing keys are created instead.
UniqueHkey OpenPath(const KeyPath& key, ACCESS_MASK access, bool follow_last, bool create,
                    std::wstring_view doing) {
  const std::wstring subject = DisplayKeyPath(key);
  const HKEY root = RootKey(key.hive);
  if (root == nullptr) Fail(ERROR_BAD_PATHNAME, doing, subject);
  const bool single = key.names.size() == 1;
  // The merged view has no native path: it is reached through the Win32 calls alone, which take
  // names without nulls. Under a hive the first name, too, is opened through them.
  const bool whole_path = key.hive == kHiveClassesRoot;
  std::wstring first = key.names.front();
  if (whole_path) {
    for (std::size_t index = 1; index < key.names.size(); ++index)
      first += L'\\' + key.names[index];
  }
  if (first.find(L'\0') != std::wstring::npos) Fail(ERROR_BAD_PATHNAME, doing, subject);
  const bool first_is_last = single || whole_path;
  const ACCESS_MASK first_access = first_is_last ? access : 0;
  HKEY raw = nullptr;
  LSTATUS status = create
                       ? RegCreateKeyExW(root, first.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         first_access == 0 ? KEY_QUERY_VALUE : first_access,
                                         nullptr, &raw, nullptr)
                       : RegOpenKeyExW(root, first.c_str(),
                                       first_is_last && !follow_last ? REG_OPTION_OPEN_LINK : 0,
                                       first_access == 0 ? KEY_QUERY_VALUE : first_access, &raw);
  if (IsMissing(status)) return {};
  if (status != ERROR_SUCCESS) Fail(status, doing, subject);
  UniqueHkey current(raw);
  if (first_is_last) return current;
  for (std::size_t index = 1; index < key.names.size(); ++index) {
    const bool last = index + 1 == key.names.size();
    UniqueHkey next;
    status = OpenChild(current.get(), key.names[index], last ? access : 0, last && !follow_last,
                       create, next);
    if (IsMissing(status)) return {};
    if (status != ERROR_SUCCESS) Fail(status, doing, subject);
    current = std::move(next);
  }
  return current;
}

// The name of the subkey at `index`, whole, read through `buffer`, which grows when a longer name
// was added since the key was sized; nullopt past the last subkey.
std::optional<std::wstring> SubkeyAt(HKEY key, DWORD index, std::wstring& buffer,
                                     std::wstring_view doing, const std::wstring& subject) {
  while (true) {
    auto length = static_cast<DWORD>(buffer.size());
    const LSTATUS status =
        RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
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
UniqueHkey OpenListedChild(HKEY parent, const std::wstring& name, ACCESS_MASK access,
                           std::wstring_view doing, const std::wstring& subject) {
  UniqueHkey child;
  const LSTATUS status = OpenChild(parent, name, access, true, false, child);
  if (status != ERROR_SUCCESS) Fail(status, doing, subject);
  return child;
}

// A subkey as the user reads it, from its parent's.
std::wstring ChildSubject(const std::wstring& subject, std::wstring_view name) {
  std::wstring child = subject;
  child += L'\\';
  child += VisibleName(name);
  return child;
}

// --- Reading -----------------------------------------------------------------------------------

// The key's whole security descriptor: owner, group and DACL with every entry, inherited ones
// included, so that a key made again with other inherited rights or another owner reads otherwise.
std::vector<std::uint8_t> KeySecurity(HKEY key, const std::wstring& subject) {
  constexpr SECURITY_INFORMATION kParts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  LSTATUS status = RegGetKeySecurity(key, kParts, nullptr, &size);
  std::vector<std::uint8_t> descriptor(size);
  while (status == ERROR_INSUFFICIENT_BUFFER) {
    descriptor.resize(size);
    status = RegGetKeySecurity(key, kParts, descriptor.data(), &size);
  }
  if (status != ERROR_SUCCESS) Fail(status, kReading, subject);
  descriptor.resize(size);
  return descriptor;
}

// Whether the key is volatile (NtQueryKey, KeyFlagsInformation); false where the system does not
// say.
bool IsVolatile(HKEY key) {
  struct KeyFlagsInformation {
    ULONG wow64_flags;
    ULONG key_flags;  // REG_FLAG_VOLATILE = 1
    ULONG control_flags;
  };
  const auto query = Native().query_key;
  KeyFlagsInformation info{};
  ULONG size = 0;
  return query != nullptr && query(key, 5, &info, sizeof(info), &size) >= 0 &&
         (info.key_flags & 1) != 0;
}

// The key's own name as stored, in its own case, whole (NtQueryKey, KeyBasicInformation);
// `fallback` where the system does not say.
std::wstring StoredKeyName(HKEY key, std::wstring_view fallback) {
  struct KeyBasicInformation {
    LARGE_INTEGER last_write_time;
    ULONG title_index;
    ULONG name_length;  // bytes
    WCHAR name[256];
  };
  const auto query = Native().query_key;
  KeyBasicInformation info{};
  ULONG size = 0;
  if (query == nullptr || query(key, 0, &info, sizeof(info), &size) < 0 ||
      info.name_length / sizeof(WCHAR) > 255) {
    return std::wstring(fallback);
  }
  return {info.name, info.name_length / sizeof(WCHAR)};
}

// Reads an open key with everything under it; `subject` names it in errors.
void ReadOpenKey(const RegistryServices& registry, HKEY key, const std::wstring& subject,
                 KeyTree& tree) {
  tree.security = KeySecurity(key, subject);
  tree.is_volatile = IsVolatile(key);
  DWORD subkeys = 0, longest_subkey = 0, values = 0, longest_name = 0, largest_data = 0;
  LSTATUS status =
      RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longest_subkey, nullptr, &values,
                       &longest_name, &largest_data, nullptr, nullptr);
  if (status != ERROR_SUCCESS) Fail(status, kReading, subject);

  std::wstring name(std::max<DWORD>(longest_name, 255) + 1, L'\0');
  std::vector<std::uint8_t> data(
      std::max<DWORD>(largest_data, 1));  // never null: see RegEnumValueW
  for (DWORD index = 0;;) {
    auto name_length = static_cast<DWORD>(name.size());
    auto data_size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    status = RegEnumValueW(key, index, name.data(), &name_length, nullptr, &type, data.data(),
                           &data_size);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {  // grown since the sizes were asked
      name.resize(name.size() * 2);
      data.resize(std::max<std::size_t>(data.size() * 2, data_size));
      continue;
    }
    if (status != ERROR_SUCCESS) Fail(status, kReading, subject);
    tree.values.push_back(
        {std::wstring(name.data(), name_length),
         RegValue{type, std::vector<std::uint8_t>(data.begin(), data.begin() + data_size)}});
    ++index;
  }
  // A symbolic link holds its target in this value; what lies behind it is not ours to read.
  for (const NamedValue& value : tree.values) tree.link = tree.link || MarksLink(value, registry);
  if (tree.link) return;

  std::wstring buffer(std::max<DWORD>(longest_subkey, 255) + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    std::optional<std::wstring> child_name = SubkeyAt(key, index, buffer, kReading, subject);
    if (!child_name) break;
    const std::wstring child_subject = ChildSubject(subject, *child_name);
    const UniqueHkey child = OpenListedChild(key, *child_name, KEY_READ, kReading, child_subject);
    KeyTree& branch = tree.subkeys.emplace_back();
    branch.name = std::move(*child_name);
    ReadOpenKey(registry, child.get(), child_subject, branch);
  }
}

// --- Deleting ----------------------------------------------------------------------------------

// Deletes the open key `key` with its subkeys, deepest first, as RegDeleteTreeW does, but opening
// each key as itself: RegDeleteTreeW follows a link and deletes its target.
void DeleteOpenKey(HKEY key, const std::wstring& subject) {
  // Always the first subkey: the one before it is gone. One that stays first after its delete
  // would make this loop for ever; it stops the delete instead.
  std::wstring buffer(256, L'\0');
  std::optional<std::wstring> previous;
  while (const std::optional<std::wstring> child = SubkeyAt(key, 0, buffer, kDeleting, subject)) {
    const std::wstring child_subject = ChildSubject(subject, *child);
    if (previous == child) Fail(ERROR_CANTWRITE, kDeleting, child_subject);
    const UniqueHkey open = OpenListedChild(
        key, *child, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, kDeleting, child_subject);
    DeleteOpenKey(open.get(), child_subject);
    previous = child;
  }
  const auto remove = Native().delete_key;
  const LSTATUS status = remove != nullptr ? FromNtStatus(remove(key)) : ERROR_CALL_NOT_IMPLEMENTED;
  if (status != ERROR_SUCCESS && !IsMissing(status) && status != ERROR_KEY_DELETED) {
    Fail(status, kDeleting, subject);
  }
}

// --- Security -----------------------------------------------------------------------------------

struct SecurityParts {
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL dacl = nullptr;
  bool dacl_protected = false;
};

// The parts of a self-relative descriptor, pointing into it.
SecurityParts PartsOf(PSECURITY_DESCRIPTOR descriptor, const std::wstring& subject) {
  SecurityParts parts;
  BOOL defaulted = FALSE, present = FALSE;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorOwner(descriptor, &parts.owner, &defaulted) ||
      !GetSecurityDescriptorGroup(descriptor, &parts.group, &defaulted) ||
      !GetSecurityDescriptorDacl(descriptor, &present, &parts.dacl, &defaulted) ||
      !GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    Fail(static_cast<LSTATUS>(GetLastError()), kWriting, subject);
  }
  if (!present) parts.dacl = nullptr;
  parts.dacl_protected = (control & SE_DACL_PROTECTED) != 0;
  return parts;
}

bool SameSid(PSID a, PSID b) {
  return (a == nullptr && b == nullptr) || (a != nullptr && b != nullptr && EqualSid(a, b));
}

// A piece of this process's token, as GetTokenInformation gives it; empty when it cannot be read.
std::vector<std::uint8_t> TokenPart(HANDLE token, TOKEN_INFORMATION_CLASS part) {
  DWORD size = 0;
  GetTokenInformation(token, part, nullptr, 0, &size);
  std::vector<std::uint8_t> buffer(size);
  if (size == 0 || !GetTokenInformation(token, part, buffer.data(), size, &size)) return {};
  return buffer;
}

// The privilege to restore files, which lets a process give an object any owner, switched on while
// this lives and back to its earlier state after; nothing where the process does not hold it.
class RestorePrivilege {
 public:
  RestorePrivilege() noexcept {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return;
    token_.reset(raw);
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &wanted.Privileges[0].Luid)) return;
    DWORD size = sizeof(previous_);
    adjusted_ = AdjustTokenPrivileges(token_.get(), FALSE, &wanted, sizeof(previous_), &previous_,
                                      &size) != FALSE &&
                GetLastError() == ERROR_SUCCESS;
  }
  ~RestorePrivilege() {
    if (adjusted_) AdjustTokenPrivileges(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
  }
  RestorePrivilege(const RestorePrivilege&) = delete;
  RestorePrivilege& operator=(const RestorePrivilege&) = delete;

 private:
  UniqueKernelHandle token_;
  TOKEN_PRIVILEGES previous_{};
  bool adjusted_ = false;
};

// Whether this process could make `owner` the owner of a key it makes again: a key it creates
// gets its token's default owner; it may name itself or a group it may own by; any other account
// needs the privilege to restore.
bool CallerMayOwnWith(PSID owner) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const UniqueKernelHandle token(raw);
  const std::vector<std::uint8_t> default_owner = TokenPart(token.get(), TokenOwner);
  if (!default_owner.empty() &&
      SameSid(reinterpret_cast<const TOKEN_OWNER*>(default_owner.data())->Owner, owner)) {
    return true;
  }
  const std::vector<std::uint8_t> user = TokenPart(token.get(), TokenUser);
  if (!user.empty() && SameSid(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, owner)) {
    return true;
  }
  const std::vector<std::uint8_t> groups = TokenPart(token.get(), TokenGroups);
  if (!groups.empty()) {
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD index = 0; index < list->GroupCount; ++index) {
      const SID_AND_ATTRIBUTES& group = list->Groups[index];
      if ((group.Attributes & SE_GROUP_OWNER) != 0 && SameSid(group.Sid, owner)) return true;
    }
  }
  LUID restore{};
  const std::vector<std::uint8_t> privileges = TokenPart(token.get(), TokenPrivileges);
  if (privileges.empty() || !LookupPrivilegeValueW(nullptr, SE_RESTORE_NAME, &restore))
    return false;
  const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(privileges.data());
  for (DWORD index = 0; index < held->PrivilegeCount; ++index) {
    const LUID& luid = held->Privileges[index].Luid;
    if (luid.LowPart == restore.LowPart && luid.HighPart == restore.HighPart) return true;
  }
  return false;
}

}  // namespace

void Win32Registry::ListSubkeys(const KeyPath& key, std::vector<std::wstring>& names) {
  CheckValid(key, kEnumerating);
  const std::wstring subject = DisplayKeyPath(key);
  const UniqueHkey open =
      OpenPath(key, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, true, false, kEnumerating);
  if (!open) return;

  DWORD count = 0;
  DWORD longest = 0;
  LSTATUS status = RegQueryInfoKeyW(open.get(), nullptr, nullptr, nullptr, &count, &longest,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) Fail(status, kEnumerating, subject);
  names.reserve(names.size() + count);

  std::wstring buffer(std::max<DWORD>(longest, 255) + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    std::optional<std::wstring> name = SubkeyAt(open.get(), index, buffer, kEnumerating, subject);
    if (!name) return;
    names.push_back(std::move(*name));
  }
}

KeyState Win32Registry::ReadKey(const KeyPath& key) {
  CheckValid(key, kReading);
  const UniqueHkey open = OpenPath(key, KEY_QUERY_VALUE, false, false, kReading);
  if (!open) return {};

  KeyState state{true, std::nullopt};
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(open.get(), nullptr, nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return state;
  RegValue value{type, std::vector<std::uint8_t>(size)};
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    value.data.resize(size);
    status = RegQueryValueExW(open.get(), nullptr, nullptr, &type, value.data.data(), &size);
    if (status == ERROR_SUCCESS) {
      value.type = type;
      value.data.resize(size);
      state.value = std::move(value);
      return state;
    }
  }
  if (status == ERROR_FILE_NOT_FOUND) return state;  // removed between the two calls
  Fail(status, kReading, DisplayKeyPath(key));
}

std::optional<KeyTree> Win32Registry::ReadTree(const KeyPath& key) {
  CheckValid(key, kReading);
  const UniqueHkey open = OpenPath(key, KEY_READ, false, false, kReading);
  if (!open) return std::nullopt;
  KeyTree tree;
  tree.name = StoredKeyName(open.get(), key.names.back());
  ReadOpenKey(*this, open.get(), DisplayKeyPath(key), tree);
  SortTree(tree);
  return tree;
}

void Win32Registry::WriteValue(const KeyPath& key, std::wstring_view value_name,
                               const std::optional<RegValue>& value) {
  CheckValid(key, kWriting);
  const std::wstring subject = DisplayKeyPath(key);
  const UniqueHkey open = OpenPath(key, KEY_SET_VALUE, true, true, kWriting);
  if (!open) Fail(ERROR_PATH_NOT_FOUND, kWriting, subject);  // a link on the way leads nowhere
  // The native calls take the name counted, so a name holding a null stays whole, and store the
  // data as given: RegSetValueExW adds a terminator to a string whose last unit is not null when
  // the bytes after the buffer happen to be zero.
  std::wstring name(value_name);
  CountedString counted = Counted(name);
  const NativeCalls& native = Native();
  LSTATUS status = ERROR_SUCCESS;
  if (value) {
    std::vector<std::uint8_t> data = value->data;
    status = native.set_value != nullptr
                 ? FromNtStatus(native.set_value(open.get(), &counted, 0, value->type, data.data(),
                                                 static_cast<ULONG>(data.size())))
                 : RegSetValueExW(open.get(), name.c_str(), 0, value->type, data.data(),
                                  static_cast<DWORD>(data.size()));
  } else {
    status = native.delete_value != nullptr
                 ? FromNtStatus(native.delete_value(open.get(), &counted))
                 : RegDeleteValueW(open.get(), name.c_str());
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS) Fail(status, kWriting, subject);
}

void Win32Registry::DeleteTree(const KeyPath& key) {
  CheckValid(key, kDeleting);
  const UniqueHkey open =
      OpenPath(key, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, false, false, kDeleting);
  if (!open) return;  // already gone
  DeleteOpenKey(open.get(), DisplayKeyPath(key));
}

void Win32Registry::SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) {
  CheckValid(key, kWriting);
  const std::wstring subject = DisplayKeyPath(key);
  // Enumerating lets the inherited entries be passed down to the subkeys.
  const UniqueHkey open = OpenPath(
      key, WRITE_DAC | WRITE_OWNER | READ_CONTROL | KEY_ENUMERATE_SUB_KEYS, false, false, kWriting);
  if (!open) Fail(ERROR_FILE_NOT_FOUND, kWriting, subject);
  std::vector<std::uint8_t> copy = descriptor;
  const SecurityParts wanted = PartsOf(copy.data(), subject);
  // The access list first: SetSecurityInfo takes the inherited entries from the key above and
  // passes the inheritable ones down, which RegSetKeySecurity does not.
  DWORD status = SetSecurityInfo(
      open.get(), SE_REGISTRY_KEY,
      DACL_SECURITY_INFORMATION | (wanted.dacl_protected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                         : UNPROTECTED_DACL_SECURITY_INFORMATION),
      nullptr, nullptr, wanted.dacl, nullptr);
  if (status != ERROR_SUCCESS) Fail(static_cast<LSTATUS>(status), kWriting, subject);
  std::vector<std::uint8_t> present = KeySecurity(open.get(), subject);
  if (PartsOf(present.data(), subject).dacl_protected != wanted.dacl_protected) {
    // A system whose SetSecurityInfo drops the protection (Wine's): the list as it was given.
    const LSTATUS set = RegSetKeySecurity(open.get(), DACL_SECURITY_INFORMATION, copy.data());
    if (set != ERROR_SUCCESS) Fail(set, kWriting, subject);
    present = KeySecurity(open.get(), subject);
  }
  // Then the owner and group, in a call of their own, and only where they differ: another
  // account as owner needs the privilege to restore, switched on for this call alone.
  const SecurityParts now = PartsOf(present.data(), subject);
  if (SameSid(now.owner, wanted.owner) && SameSid(now.group, wanted.group)) return;
  const RestorePrivilege privilege;
  status = SetSecurityInfo(open.get(), SE_REGISTRY_KEY,
                           OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, wanted.owner,
                           wanted.group, nullptr, nullptr);
  if (status != ERROR_SUCCESS) Fail(static_cast<LSTATUS>(status), kWriting, subject);
}

bool Win32Registry::CanRestoreOwner(const std::vector<std::uint8_t>& descriptor) const noexcept {
  try {
    std::vector<std::uint8_t> copy = descriptor;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (copy.empty() || !GetSecurityDescriptorOwner(copy.data(), &owner, &defaulted) ||
        owner == nullptr) {
      return true;  // nothing to give back
    }
    return CallerMayOwnWith(owner);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool Win32Registry::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  // The registry's own rule: ordinal, after the system's upper-case table.
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace vw
