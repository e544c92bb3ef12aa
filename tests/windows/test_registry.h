#pragma once

// The registry for the tests that write verbs of executables. In the throw-away Wine prefix they
// are written where the program writes them; on a developer's own Windows every key of the
// classes of executables is moved under a scratch key of HKEY_CURRENT_USER, so that no test
// touches the machine's real right-click menu or needs administrator rights.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/case_fold.h"
#include "platform/handles_win.h"
#include "platform/process_token_win.h"
#include "registry/desktop_user_win.h"
#include "registry/key_path.h"
#include "registry/win32_registry_win.h"
#include "tests/support/environment.h"
#include "tests/windows/checking_key_calls.h"

namespace vw::testing {

inline bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A security descriptor written in SDDL, owned; empty where the text is not valid SDDL.
inline UniqueLocal<void> SecurityDescriptor(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return {};
  }
  return UniqueLocal<void>(descriptor);
}

// The user's own part of the registry as the native API names it: \Registry\User\<SID>.
inline std::wstring CurrentUserNativePath() {
  const std::wstring sid = ProcessUserSid();
  return sid.empty() ? std::wstring() : L"\\Registry\\User\\" + sid;
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

// Gives `path` of `root` (created where missing) the security `sddl`, where "<U>" stands for
// this user's SID.
inline void GiveSecurity(HKEY root, const wchar_t* path, std::wstring sddl) {
  const std::wstring user = ProcessUserSid();
  for (std::size_t at = sddl.find(L"<U>"); at != std::wstring::npos; at = sddl.find(L"<U>"))
    sddl.replace(at, 3, user);
  HKEY raw = nullptr;
  if (RegCreateKeyExW(root, path, 0, nullptr, 0, READ_CONTROL | WRITE_DAC | WRITE_OWNER, nullptr,
                      &raw, nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot shape a key of the test prefix";
    return;
  }
  const UniqueHkey key(raw);
  const UniqueLocal<void> descriptor = SecurityDescriptor(sddl.c_str());
  ASSERT_TRUE(descriptor);
  RegSetKeySecurity(
      key.get(),
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
      descriptor.get());
}

// Under Wine, the keys the tests change are shaped as Windows has them, so that the bench
// decides as Windows would: the machine's classes of executables and the tests' scratch key owned
// by another account (SYSTEM), with full control for SYSTEM and the administrators, read for
// users, CREATOR OWNER passed down; this user's keys theirs, the administrators' and SYSTEM's; and
// HKEY_CURRENT_USER\Software\Classes a link to this user's classes hive, HKEY_USERS\<SID>_Classes.
inline void ShapeLikeWindows() {
  if (!RunningUnderWine()) return;
  constexpr const wchar_t* kMachine =
      L"O:SYG:SYD:PAI(A;CIIO;KA;;;CO)(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KR;;;BU)";
  constexpr const wchar_t* kUsers =
      L"O:<U>G:<U>D:PAI(A;CI;KA;;;<U>)(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KR;;;RC)";
  GiveSecurity(HKEY_CURRENT_USER, L"Software", kUsers);
  for (const wchar_t* path : {L"Software\\Classes", L"Software\\Classes\\exefile",
                              L"Software\\Classes\\exefile\\shell"}) {
    GiveSecurity(HKEY_LOCAL_MACHINE, path, kMachine);
  }
  GiveSecurity(HKEY_CURRENT_USER, L"Software\\VerbwrightTests", kMachine);
  const std::wstring hive = ProcessUserSid() + L"_Classes";
  GiveSecurity(HKEY_USERS, hive.c_str(), kUsers);

  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", REG_OPTION_OPEN_LINK, KEY_READ,
                    &raw) == ERROR_SUCCESS) {
    const UniqueHkey classes(raw);
    DWORD type = 0;
    if (RegQueryValueExW(classes.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
            ERROR_SUCCESS &&
        type == REG_LINK) {
      return;  // shaped already
    }
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes");
  raw = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_CREATE_LINK,
                      KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &raw, nullptr),
      ERROR_SUCCESS);
  const UniqueHkey link(raw);
  const std::wstring target = L"\\REGISTRY\\USER\\" + hive;
  ASSERT_EQ(RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK,
                           reinterpret_cast<const BYTE*>(target.data()),
                           static_cast<DWORD>(target.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

class TestRegistry final : public RegistryServices {
 public:
  // VERBWRIGHT_SCRATCH_VERBS=1 moves them under Wine too, to try the move itself.
  TestRegistry() : moved_(!RunningUnderWine() || EnvironmentVariable("VERBWRIGHT_SCRATCH_VERBS")) {
    ShapeLikeWindows();
  }
  // Windows would have refused none of the calls made through it.
  ~TestRegistry() override {
    if (!calls_.refused().empty()) ADD_FAILURE() << calls_.refused().front();
  }
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  // Where a key really is for these tests.
  KeyPath Map(const KeyPath& key) const {
    if (!moved_) return key;
    for (const auto& [hive, from, to] : kMoves) {
      const KeyPath from_key{hive, Split(from)};
      if (!from_key.Contains(key, [](std::wstring_view a, std::wstring_view b) {
            return EqualsIgnoreCase(a, b);
          })) {
        continue;
      }
      KeyPath moved{kHiveCurrentUser, Split(to)};
      moved.names.insert(moved.names.end(),
                         key.names.begin() + static_cast<std::ptrdiff_t>(from_key.names.size()),
                         key.names.end());
      return moved;
    }
    return key;
  }
  // The same as RegOpenKeyExW takes it: a root and a path, joined by '\\'.
  std::pair<HKEY, std::wstring> MapKey(const KeyPath& key) const {
    const KeyPath mapped = Map(key);
    const HKEY root = mapped.hive == kHiveLocalMachine  ? HKEY_LOCAL_MACHINE
                      : mapped.hive == kHiveCurrentUser ? HKEY_CURRENT_USER
                                                        : HKEY_CLASSES_ROOT;
    std::wstring path;
    for (const std::wstring& name : mapped.names) path += (path.empty() ? L"" : L"\\") + name;
    return {root, path};
  }

  void ForEachSubkey(const KeyPath& key, SubkeySink& sink) override {
    inner_.ForEachSubkey(Map(key), sink);
  }
  KeyState ReadKey(const KeyPath& key) override { return inner_.ReadKey(Map(key)); }
  std::optional<KeyTree> ReadTree(const KeyPath& key) override { return inner_.ReadTree(Map(key)); }
  void CreateKey(const KeyPath& key, std::wstring_view key_class) override {
    inner_.CreateKey(Map(key), key_class);
  }
  void WriteValue(const KeyPath& key, std::wstring_view value_name,
                  const std::optional<RegValue>& value) override {
    inner_.WriteValue(Map(key), value_name, value);
  }
  void DeleteTree(const KeyPath& key) override { inner_.DeleteTree(Map(key)); }
  void SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) override {
    inner_.SetSecurity(Map(key), descriptor);
  }
  bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept override {
    return inner_.SameKeyName(a, b);
  }
  bool CanRestoreSecurity(const std::vector<std::uint8_t>& descriptor) const noexcept override {
    return inner_.CanRestoreSecurity(descriptor);
  }
  bool CanRestoreAudit() const noexcept override { return inner_.CanRestoreAudit(); }

 private:
  static std::vector<std::wstring> Split(std::wstring_view path) {
    std::vector<std::wstring> names;
    for (std::size_t start = 0; start <= path.size();) {
      const std::size_t end = std::min(path.find(L'\\', start), path.size());
      names.emplace_back(path.substr(start, end - start));
      start = end + 1;
    }
    return names;
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

  CheckingKeyCalls calls_;  // as Windows checks them
  Win32Registry inner_{calls_};
  bool moved_;
};

}  // namespace vw::testing
