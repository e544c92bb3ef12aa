#include "verbs/registry_win32.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/system_error.h"
#include "platform/win32_handle.h"
#include "verbs/registry_path.h"

namespace vw {
namespace {

using namespace registry_action;

[[noreturn]] void Fail(LSTATUS status, std::wstring_view doing, std::wstring subject) {
  throw SystemError(static_cast<std::uint32_t>(status), std::wstring(doing), std::move(subject));
}

HKEY RootKey(std::uint32_t hive, std::wstring_view doing, std::wstring_view path) {
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
      Fail(ERROR_INVALID_PARAMETER, doing, DisplayKeyPath(hive, path));
  }
}

KeyPath Parse(std::wstring_view key_path, std::wstring_view doing) {
  auto parsed = ParseKeyPath(key_path);
  if (!parsed) Fail(ERROR_BAD_PATHNAME, doing, DisplayKeyPath(key_path));
  return *std::move(parsed);
}

// The native calls that take counted names and exact data, and delete a link as itself; looked up
// at run time, as they are not part of the Win32 API.
struct CountedString {  // UNICODE_STRING
  USHORT length;        // bytes
  USHORT maximum_length;
  PWSTR buffer;
};
template <typename Fn>
Fn Ntdll(const char* name) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll == nullptr
             ? nullptr
             : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
}
LSTATUS FromNtStatus(LONG status) {
  if (status >= 0) return ERROR_SUCCESS;
  using ToDosErrorFn = ULONG(NTAPI*)(LONG);
  const auto convert = Ntdll<ToDosErrorFn>("RtlNtStatusToDosError");
  return convert == nullptr ? ERROR_GEN_FAILURE : static_cast<LSTATUS>(convert(status));
}
CountedString Counted(std::wstring& name) {
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  return {bytes, bytes, name.data()};
}

// Opens an existing key; an empty owner when it does not exist. With REG_OPTION_OPEN_LINK a
// symbolic link is opened as itself rather than followed.
UniqueHkey OpenKey(HKEY parent, const std::wstring& subkey, REGSAM access, std::wstring_view doing,
                   const std::wstring& subject, DWORD options = 0) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(parent, subkey.c_str(), options, access, &key);
  if (status == ERROR_FILE_NOT_FOUND) return {};
  if (status != ERROR_SUCCESS) Fail(status, doing, subject);
  return UniqueHkey(key);
}

// The name of the subkey at `index`, read through `buffer`, which grows when a longer name was
// added since the key was sized; nullopt past the last subkey.
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

// A subkey's path as the user reads it, from its parent's.
std::wstring ChildSubject(const std::wstring& subject, std::wstring_view name) {
  std::wstring child = subject;
  child += L'\\';
  child += name;
  return child;
}

// The key's own security descriptor: owner, group and DACL, where the DACL is its own (protected,
// or holding an entry that is not inherited); empty where the key simply inherits.
std::vector<std::uint8_t> OwnSecurity(HKEY key, const std::wstring& subject) {
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
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorControl(descriptor.data(), &control, &revision) ||
      !GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted)) {
    Fail(static_cast<LSTATUS>(GetLastError()), kReading, subject);
  }
  if ((control & SE_DACL_PROTECTED) != 0 || !present || dacl == nullptr) return descriptor;
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* ace = nullptr;
    if (GetAce(dacl, index, &ace) &&
        (static_cast<const ACE_HEADER*>(ace)->AceFlags & INHERITED_ACE) == 0) {
      return descriptor;
    }
  }
  return {};
}

// Whether the key is volatile (NtQueryKey, KeyFlagsInformation); false where the system does not
// say.
bool IsVolatile(HKEY key) {
  struct KeyFlagsInformation {
    ULONG wow64_flags;
    ULONG key_flags;  // REG_FLAG_VOLATILE = 1
    ULONG control_flags;
  };
  using NtQueryKeyFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = Ntdll<NtQueryKeyFn>("NtQueryKey");
  KeyFlagsInformation info{};
  ULONG size = 0;
  return query != nullptr && query(key, 5, &info, sizeof(info), &size) >= 0 &&
         (info.key_flags & 1) != 0;
}

// Reads an open key with everything under it; `subject` names it in errors.
void ReadKey(HKEY key, const std::wstring& subject, KeyTree& tree) {
  tree.security = OwnSecurity(key, subject);
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
  for (const NamedValue& value : tree.values) {
    if (value.value.type == REG_LINK && value.name == L"SymbolicLinkValue") tree.link = true;
  }
  if (tree.link) return;

  std::wstring buffer(std::max<DWORD>(longest_subkey, 255) + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    std::optional<std::wstring> child_name = SubkeyAt(key, index, buffer, kReading, subject);
    if (!child_name) break;
    const std::wstring child_subject = ChildSubject(subject, *child_name);
    const UniqueHkey child =
        OpenKey(key, *child_name, KEY_READ, kReading, child_subject, REG_OPTION_OPEN_LINK);
    if (!child) continue;  // deleted meanwhile
    KeyTree& branch = tree.subkeys.emplace_back();
    branch.name = std::move(*child_name);
    ReadKey(child.get(), child_subject, branch);
  }
}

// The key's own name as stored, in its own case (ZwQueryKey, KeyBasicInformation); `fallback`
// where the system does not say.
std::wstring StoredKeyName(HKEY key, std::wstring_view fallback) {
  struct KeyBasicInformation {
    LARGE_INTEGER last_write_time;
    ULONG title_index;
    ULONG name_length;  // bytes
    WCHAR name[256];
  };
  using NtQueryKeyFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto query = ntdll == nullptr ? nullptr
                                      : reinterpret_cast<NtQueryKeyFn>(reinterpret_cast<void*>(
                                            GetProcAddress(ntdll, "NtQueryKey")));
  KeyBasicInformation info{};
  ULONG size = 0;
  if (query == nullptr || query(key, 0, &info, sizeof(info), &size) < 0 ||
      info.name_length / sizeof(WCHAR) > 255) {
    return std::wstring(fallback);
  }
  return {info.name, info.name_length / sizeof(WCHAR)};
}

}  // namespace

void Win32Registry::EnumKey(std::uint32_t hive, std::wstring_view relative_path,
                            std::vector<std::wstring>& names) {
  const std::wstring subject = DisplayKeyPath(hive, relative_path);
  if (!IsValidRelativePath(relative_path)) Fail(ERROR_BAD_PATHNAME, kEnumerating, subject);
  const UniqueHkey key =
      OpenKey(RootKey(hive, kEnumerating, relative_path), std::wstring(relative_path),
              KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, kEnumerating, subject);
  if (!key) return;

  DWORD count = 0;
  DWORD longest = 0;
  LSTATUS status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &count, &longest, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) Fail(status, kEnumerating, subject);
  names.reserve(names.size() + count);

  std::wstring buffer(std::max<DWORD>(longest, 255) + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    std::optional<std::wstring> name = SubkeyAt(key.get(), index, buffer, kEnumerating, subject);
    if (!name) return;
    names.push_back(std::move(*name));
  }
}

KeyState Win32Registry::RegRead(std::wstring_view key_path) {
  const KeyPath path = Parse(key_path, kReading);
  const std::wstring subject = DisplayKeyPath(path.hive, path.subkey);
  const UniqueHkey key = OpenKey(RootKey(path.hive, kReading, path.subkey), path.subkey,
                                 KEY_QUERY_VALUE, kReading, subject);
  if (!key) return {};

  KeyState state{true, std::nullopt};
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return state;
  RegValue value{type, std::vector<std::uint8_t>(size)};
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    value.data.resize(size);
    status = RegQueryValueExW(key.get(), nullptr, nullptr, &type, value.data.data(), &size);
    if (status == ERROR_SUCCESS) {
      value.type = type;
      value.data.resize(size);
      state.value = std::move(value);
      return state;
    }
  }
  if (status == ERROR_FILE_NOT_FOUND) return state;  // removed between the two calls
  Fail(status, kReading, subject);
}

std::optional<KeyTree> Win32Registry::ReadTree(std::wstring_view key_path) {
  const KeyPath path = Parse(key_path, kReading);
  const std::wstring subject = DisplayKeyPath(path.hive, path.subkey);
  const UniqueHkey key = OpenKey(RootKey(path.hive, kReading, path.subkey), path.subkey, KEY_READ,
                                 kReading, subject, REG_OPTION_OPEN_LINK);
  if (!key) return std::nullopt;
  KeyTree tree;
  tree.name =
      StoredKeyName(key.get(), std::wstring_view(path.subkey).substr(path.subkey.rfind(L'\\') + 1));
  ReadKey(key.get(), subject, tree);
  SortTree(tree);
  return tree;
}

void Win32Registry::WriteValue(std::wstring_view key_path, std::wstring_view value_name,
                               const std::optional<RegValue>& value) {
  const KeyPath path = Parse(key_path, kWriting);
  const std::wstring subject = DisplayKeyPath(path.hive, path.subkey);
  HKEY raw = nullptr;
  LSTATUS status =
      RegCreateKeyExW(RootKey(path.hive, kWriting, path.subkey), path.subkey.c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
  if (status != ERROR_SUCCESS) Fail(status, kWriting, subject);
  const UniqueHkey key(raw);
  // The native calls take the name counted, so a name holding a null stays whole, and store the
  // data as given: RegSetValueExW adds a terminator to a string whose last unit is not null when
  // the bytes after the buffer happen to be zero.
  using NtSetValueKeyFn = LONG(NTAPI*)(HANDLE, CountedString*, ULONG, ULONG, void*, ULONG);
  using NtDeleteValueKeyFn = LONG(NTAPI*)(HANDLE, CountedString*);
  std::wstring name(value_name);
  CountedString counted = Counted(name);
  if (value) {
    std::vector<std::uint8_t> data = value->data;
    const auto set = Ntdll<NtSetValueKeyFn>("NtSetValueKey");
    status = set != nullptr ? FromNtStatus(set(key.get(), &counted, 0, value->type, data.data(),
                                               static_cast<ULONG>(data.size())))
                            : RegSetValueExW(key.get(), name.c_str(), 0, value->type, data.data(),
                                             static_cast<DWORD>(data.size()));
  } else {
    const auto remove = Ntdll<NtDeleteValueKeyFn>("NtDeleteValueKey");
    status = remove != nullptr ? FromNtStatus(remove(key.get(), &counted))
                               : RegDeleteValueW(key.get(), name.c_str());
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS) Fail(status, kWriting, subject);
}

namespace {

// Deletes `name` under `parent` with its subkeys, deepest first, as RegDeleteTreeW does, but
// opening each key as itself: RegDeleteTreeW follows a link and deletes its target.
void DeleteKeyTree(HKEY parent, const std::wstring& name, const std::wstring& subject) {
  const UniqueHkey key = OpenKey(parent, name, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE,
                                 kDeleting, subject, REG_OPTION_OPEN_LINK);
  if (!key) return;  // already gone
  // Always the first subkey: the one before it is gone.
  std::wstring buffer(256, L'\0');
  while (const std::optional<std::wstring> child =
             SubkeyAt(key.get(), 0, buffer, kDeleting, subject))
    DeleteKeyTree(key.get(), *child, ChildSubject(subject, *child));
  using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
  const auto remove = Ntdll<NtDeleteKeyFn>("NtDeleteKey");
  const LSTATUS status =
      remove != nullptr ? FromNtStatus(remove(key.get())) : RegDeleteKeyW(parent, name.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && status != ERROR_KEY_DELETED) {
    Fail(status, kDeleting, subject);
  }
}

}  // namespace

void Win32Registry::RegDelete(std::wstring_view key_path) {
  const KeyPath path = Parse(key_path, kDeleting);
  DeleteKeyTree(RootKey(path.hive, kDeleting, path.subkey), path.subkey,
                DisplayKeyPath(path.hive, path.subkey));
}

void Win32Registry::SetSecurity(std::wstring_view key_path,
                                const std::vector<std::uint8_t>& descriptor) {
  const KeyPath path = Parse(key_path, kWriting);
  const std::wstring subject = DisplayKeyPath(path.hive, path.subkey);
  const UniqueHkey key = OpenKey(RootKey(path.hive, kWriting, path.subkey), path.subkey,
                                 WRITE_DAC | WRITE_OWNER | READ_CONTROL, kWriting, subject);
  if (!key) Fail(ERROR_FILE_NOT_FOUND, kWriting, subject);
  std::vector<std::uint8_t> copy = descriptor;
  const LSTATUS status = RegSetKeySecurity(
      key.get(),
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
      copy.data());
  if (status != ERROR_SUCCESS) Fail(status, kWriting, subject);
}

bool Win32Registry::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  // The registry's own rule: ordinal, after the system's upper-case table.
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace vw
