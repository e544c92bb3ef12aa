#include "verbs/registry_win32.h"

#include <windows.h>

#include <algorithm>

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
    default:
      Fail(ERROR_INVALID_PARAMETER, doing, DisplayKeyPath(hive, path));
  }
}

KeyPath Parse(std::wstring_view key_path, std::wstring_view doing) {
  auto parsed = ParseKeyPath(key_path);
  if (!parsed) Fail(ERROR_BAD_PATHNAME, doing, DisplayKeyPath(key_path));
  return *std::move(parsed);
}

// Opens an existing key; an empty owner when it does not exist.
UniqueHkey OpenKey(HKEY parent, const std::wstring& subkey, REGSAM access, std::wstring_view doing,
                   const std::wstring& subject) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(parent, subkey.c_str(), 0, access, &key);
  if (status == ERROR_FILE_NOT_FOUND) return {};
  if (status != ERROR_SUCCESS) Fail(status, doing, subject);
  return UniqueHkey(key);
}

// Reads an open key with everything under it; `subject` names it in errors.
void ReadKey(HKEY key, const std::wstring& subject, KeyTree& tree) {
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

  std::wstring subkey(std::max<DWORD>(longest_subkey, 255) + 1, L'\0');
  for (DWORD index = 0;;) {
    auto length = static_cast<DWORD>(subkey.size());
    status = RegEnumKeyExW(key, index, subkey.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {
      subkey.resize(subkey.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS) Fail(status, kReading, subject);
    const std::wstring child_name(subkey.data(), length);
    std::wstring child_subject = subject;
    child_subject += L'\\';
    child_subject += child_name;
    const UniqueHkey child = OpenKey(key, child_name, KEY_READ, kReading, child_subject);
    ++index;
    if (!child) continue;  // deleted meanwhile
    KeyTree& branch = tree.subkeys.emplace_back();
    branch.name = child_name;
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
    auto length = static_cast<DWORD>(buffer.size());
    status =
        RegEnumKeyExW(key.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return;
    if (status == ERROR_MORE_DATA) {  // a longer name was added since the size was asked
      buffer.resize(buffer.size() * 2);
      --index;
      continue;
    }
    if (status != ERROR_SUCCESS) Fail(status, kEnumerating, subject);
    names.emplace_back(buffer.data(), length);
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
  const UniqueHkey key =
      OpenKey(RootKey(path.hive, kReading, path.subkey), path.subkey, KEY_READ, kReading, subject);
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
  const std::wstring name(value_name);
  const wchar_t* name_or_default = name.empty() ? nullptr : name.c_str();
  if (value) {
    status = RegSetValueExW(key.get(), name_or_default, 0, value->type, value->data.data(),
                            static_cast<DWORD>(value->data.size()));
  } else {
    status = RegDeleteValueW(key.get(), name_or_default);
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS) Fail(status, kWriting, subject);
}

void Win32Registry::RegDelete(std::wstring_view key_path) {
  const KeyPath path = Parse(key_path, kDeleting);
  const LSTATUS status =
      RegDeleteTreeW(RootKey(path.hive, kDeleting, path.subkey), path.subkey.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    Fail(status, kDeleting, DisplayKeyPath(path.hive, path.subkey));
}

bool Win32Registry::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  // The registry's own rule: ordinal, after the system's upper-case table.
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace vw
