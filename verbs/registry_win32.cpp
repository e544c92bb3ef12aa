#include "verbs/registry_win32.h"

#include <windows.h>

#include "platform/system_error.h"
#include "platform/win32_handle.h"
#include "verbs/registry_path.h"

namespace vw {
namespace {

constexpr std::wstring_view kEnumerating = L"列出注册表项 ";
constexpr std::wstring_view kReading = L"读取注册表项 ";
constexpr std::wstring_view kWriting = L"写入注册表项 ";
constexpr std::wstring_view kDeleting = L"删除注册表项 ";

[[noreturn]] void Fail(LSTATUS status, std::wstring_view doing, std::wstring_view path) {
  throw SystemError(static_cast<std::uint32_t>(status), std::wstring(doing) + std::wstring(path));
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
      Fail(ERROR_INVALID_PARAMETER, doing, path);
  }
}

KeyPath Parse(std::wstring_view key_path, std::wstring_view doing) {
  auto parsed = ParseKeyPath(key_path);
  if (!parsed) Fail(ERROR_BAD_PATHNAME, doing, key_path);
  return *std::move(parsed);
}

// Opens an existing key; an empty owner when it does not exist.
UniqueHkey OpenKey(HKEY root, const std::wstring& subkey, REGSAM access, std::wstring_view doing,
                   std::wstring_view path) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(root, subkey.c_str(), 0, access, &key);
  if (status == ERROR_FILE_NOT_FOUND) return {};
  if (status != ERROR_SUCCESS) Fail(status, doing, path);
  return UniqueHkey(key);
}

}  // namespace

void Win32Registry::EnumKey(std::uint32_t hive, std::wstring_view relative_path,
                            std::vector<std::wstring>& names) {
  if (!IsValidRelativePath(relative_path)) Fail(ERROR_BAD_PATHNAME, kEnumerating, relative_path);
  const UniqueHkey key =
      OpenKey(RootKey(hive, kEnumerating, relative_path), std::wstring(relative_path),
              KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, kEnumerating, relative_path);
  if (!key) return;

  DWORD count = 0;
  DWORD longest = 0;
  LSTATUS status = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &count, &longest, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) Fail(status, kEnumerating, relative_path);
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
    if (status != ERROR_SUCCESS) Fail(status, kEnumerating, relative_path);
    names.emplace_back(buffer.data(), length);
  }
}

KeyState Win32Registry::RegRead(std::wstring_view key_path) {
  const KeyPath path = Parse(key_path, kReading);
  const UniqueHkey key = OpenKey(RootKey(path.hive, kReading, key_path), path.subkey,
                                 KEY_QUERY_VALUE, kReading, key_path);
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
  Fail(status, kReading, key_path);
}

void Win32Registry::RegWriteValue(std::wstring_view key_path,
                                  const std::optional<RegValue>& value) {
  const KeyPath path = Parse(key_path, kWriting);
  HKEY raw = nullptr;
  LSTATUS status =
      RegCreateKeyExW(RootKey(path.hive, kWriting, key_path), path.subkey.c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
  if (status != ERROR_SUCCESS) Fail(status, kWriting, key_path);
  const UniqueHkey key(raw);
  if (value) {
    status = RegSetValueExW(key.get(), nullptr, 0, value->type, value->data.data(),
                            static_cast<DWORD>(value->data.size()));
  } else {
    status = RegDeleteValueW(key.get(), nullptr);
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  }
  if (status != ERROR_SUCCESS) Fail(status, kWriting, key_path);
}

void Win32Registry::RegDelete(std::wstring_view key_path) {
  const KeyPath path = Parse(key_path, kDeleting);
  const LSTATUS status =
      RegDeleteTreeW(RootKey(path.hive, kDeleting, key_path), path.subkey.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) Fail(status, kDeleting, key_path);
}

}  // namespace vw
