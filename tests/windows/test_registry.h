#pragma once

// The registry for the tests that write verbs of executables. In the throw-away Wine prefix they
// are written where the program writes them; on a developer's own Windows every key of the
// classes of executables is moved under a scratch key of HKEY_CURRENT_USER, so that no test
// touches the machine's real right-click menu or needs administrator rights.
#include <windows.h>

#include <sddl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32_handle.h"
#include "tests/support/environment.h"
#include "verbs/case_fold.h"
#include "verbs/registry_path.h"
#include "verbs/registry_win32.h"

namespace vw::testing {

inline bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The user's own part of the registry as the native API names it: \Registry\User\<SID>.
inline std::wstring CurrentUserNativePath() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const UniqueHandle<HANDLE, &CloseHandle> token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> user(size);
  wchar_t* sid = nullptr;
  if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    return {};
  }
  std::wstring path = L"\\Registry\\User\\" + std::wstring(sid);
  LocalFree(sid);
  return path;
}

// Makes `subkey` of `root` a registry link to `target`, a key of this user's part of the registry
// (relative to HKEY_CURRENT_USER), as another program may have.
inline LSTATUS CreateLinkToUserKey(HKEY root, const std::wstring& subkey,
                                   std::wstring_view target) {
  HKEY raw = nullptr;
  LSTATUS status = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                   KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &raw, nullptr);
  if (status != ERROR_SUCCESS) return status;
  const UniqueHkey link(raw);
  std::wstring native = CurrentUserNativePath();
  native += L'\\';
  native += target;
  return RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK,
                        reinterpret_cast<const BYTE*>(native.data()),
                        static_cast<DWORD>(native.size() * sizeof(wchar_t)));
}

class TestRegistry final : public RegistryServices {
 public:
  // VERBWRIGHT_SCRATCH_VERBS=1 moves them under Wine too, to try the move itself.
  TestRegistry() : moved_(!RunningUnderWine() || EnvironmentVariable("VERBWRIGHT_SCRATCH_VERBS")) {}

  // Where a full key path really is for these tests.
  std::wstring Map(std::wstring_view key_path) const {
    const auto parsed = ParseKeyPath(key_path);
    if (!moved_ || !parsed) return std::wstring(key_path);
    for (const auto& [hive, from, to] : kMoves) {
      if (parsed->hive != hive || !StartsWith(parsed->subkey, from)) continue;
      return L"HKEY_CURRENT_USER\\" + std::wstring(to) + parsed->subkey.substr(from.size()) + L"\\";
    }
    return std::wstring(key_path);
  }
  // The same for a hive and a relative path, as RegOpenKeyExW takes them.
  std::pair<HKEY, std::wstring> MapKey(std::uint32_t hive, std::wstring_view relative) const {
    const std::wstring full = Map(DisplayKeyPath(hive, relative) + L"\\");
    const auto parsed = ParseKeyPath(full);
    const HKEY root = parsed->hive == kHiveLocalMachine  ? HKEY_LOCAL_MACHINE
                      : parsed->hive == kHiveCurrentUser ? HKEY_CURRENT_USER
                                                         : HKEY_CLASSES_ROOT;
    return {root, parsed->subkey};
  }

  void EnumKey(std::uint32_t hive, std::wstring_view relative_path,
               std::vector<std::wstring>& names) override {
    const auto parsed = ParseKeyPath(Map(DisplayKeyPath(hive, relative_path) + L"\\"));
    inner_.EnumKey(parsed->hive, parsed->subkey, names);
  }
  KeyState RegRead(std::wstring_view key_path) override { return inner_.RegRead(Map(key_path)); }
  std::optional<KeyTree> ReadTree(std::wstring_view key_path) override {
    return inner_.ReadTree(Map(key_path));
  }
  void WriteValue(std::wstring_view key_path, std::wstring_view value_name,
                  const std::optional<RegValue>& value) override {
    inner_.WriteValue(Map(key_path), value_name, value);
  }
  void RegDelete(std::wstring_view key_path) override { inner_.RegDelete(Map(key_path)); }
  void SetSecurity(std::wstring_view key_path,
                   const std::vector<std::uint8_t>& descriptor) override {
    inner_.SetSecurity(Map(key_path), descriptor);
  }
  bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept override {
    return inner_.SameKeyName(a, b);
  }

 private:
  static bool StartsWith(std::wstring_view subkey, std::wstring_view prefix) {
    return subkey.size() >= prefix.size() &&
           EqualsIgnoreCase(subkey.substr(0, prefix.size()), prefix) &&
           (subkey.size() == prefix.size() || subkey[prefix.size()] == L'\\');
  }
  struct Move {
    std::uint32_t hive;
    std::wstring_view from, to;
  };
  // The view shows the machine's scratch copy alone, as Wine's does.
  static constexpr Move kMoves[] = {
      {kHiveClassesRoot, L"exefile", L"Software\\VerbwrightTests\\Machine\\exefile"},
      {kHiveLocalMachine, L"Software\\Classes\\exefile",
       L"Software\\VerbwrightTests\\Machine\\exefile"},
      {kHiveCurrentUser, L"Software\\Classes\\exefile",
       L"Software\\VerbwrightTests\\User\\exefile"},
  };

  Win32Registry inner_;
  bool moved_;
};

}  // namespace vw::testing
