#include "registry/win32_registry_win.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "operations/load_entries.h"
#include "platform/case_fold.h"
#include "platform/handles_win.h"
#include "platform/system_error.h"
#include "registry/change.h"
#include "registry/desktop_user_classes.h"
#include "registry/desktop_user_win.h"
#include "tests/support/error_of.h"
#include "tests/support/keys.h"
#include "tests/support/vector_entry_list.h"
#include "tests/windows/checking_key_calls.h"
#include "tests/windows/test_registry.h"
#include "verbs/shell_verb_layout.h"
#include "words/texts.h"

namespace vw {
namespace {

// Each case starts from a clean scratch key of its own under HKCU, and every call the registry
// layer makes is checked as Windows checks it: none may be refused.
class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry.DeleteTree(Scratch());
    testing::ShapeLikeWindows();
  }
  void TearDown() override {
    registry.DeleteTree(Scratch());
    EXPECT_TRUE(calls.refused().empty()) << calls.refused().front();
  }
  static KeyPath Scratch() { return {kHiveCurrentUser, {L"Software", L"VerbwrightTests"}}; }
  // A key under the scratch key, "shell\Tool\" as the script host writes it.
  static KeyPath Key(std::wstring_view relative) {
    KeyPath key = Scratch();
    if (!relative.empty()) {
      key.names = testing::Key(L"HKCU\\Software\\VerbwrightTests\\" + std::wstring(relative)).names;
    }
    return key;
  }

  std::vector<std::wstring> Subkeys(const KeyPath& key) {
    std::vector<std::wstring> names;
    registry.ListSubkeys(key, names);
    return names;
  }

  testing::CheckingKeyCalls calls;
  Win32Registry registry{calls};
};

using testing::ErrorOf;

TEST_F(Win32RegistryTest, WritesReadsBackAndEnumerates) {
  registry.WriteDefault(Key(L"shell\\用 它 打开\\command\\"),
                        L"\"C:\\Program Files\\t.exe\" \"%1\"");
  registry.WriteDefault(Key(L"shell\\用 它 打开\\"), L"");
  registry.WriteDefault(Key(L"shell\\Beta\\"), L"用 Beta 打开");
  registry.WriteDefault(Key(L"shell\\beta\\"), L"second");  // the same key

  EXPECT_EQ(registry.ReadKey(Key(L"shell\\用 它 打开\\command\\")),
            (KeyState{true, StringValue(L"\"C:\\Program Files\\t.exe\" \"%1\"")}));
  EXPECT_EQ(registry.ReadKey(Key(L"shell\\用 它 打开\\")), (KeyState{true, StringValue(L"")}));
  EXPECT_EQ(registry.ReadKey(Key(L"SHELL\\BETA\\")), (KeyState{true, StringValue(L"second")}));
  EXPECT_EQ(registry.ReadKey(Key(L"shell\\")), (KeyState{true, std::nullopt}));
  EXPECT_EQ(registry.ReadKey(Key(L"missing\\")), KeyState{});

  auto names = Subkeys(Key(L"shell\\"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Beta", L"用 它 打开"}));
  EXPECT_TRUE(Subkeys(Key(L"missing\\")).empty());

  // What was read can be written back unchanged, type included; no value removes it.
  const RegValue expand{kRegExpandSz, StringValue(L"%SystemRoot%\\x.exe").data};
  registry.WriteValue(Key(L"typed\\"), L"", expand);
  EXPECT_EQ(registry.ReadKey(Key(L"typed\\")).value, expand);
  registry.WriteValue(Key(L"typed\\"), L"", std::nullopt);
  registry.WriteValue(Key(L"typed\\"), L"", std::nullopt);
  EXPECT_EQ(registry.ReadKey(Key(L"typed\\")), (KeyState{true, std::nullopt}));
}

// A tree read whole, deleted, and put back from what was read is the same tree again: values of
// every type, named and default, subkeys at any depth, and key names in their own case.
TEST_F(Win32RegistryTest, ATreeReadWholeIsPutBackExactly) {
  const KeyPath verb = Key(L"shell\\Tool\\");
  registry.WriteDefault(verb, L"用 tool 打开");
  registry.WriteValue(verb, L"Icon", RegValue{kRegBinary, {0, 1, 2, 0xFF}});
  registry.WriteValue(verb.Child(L"command"), L"",
                      RegValue{kRegExpandSz, StringValue(L"%x% %1").data});
  registry.WriteValue(verb.Child(L"command"), L"DelegateExecute", StringValue(L"{ea72d00e}"));
  registry.WriteValue(verb.Child(L"command"), L"Flags", RegValue{kRegDword, {7, 0, 0, 0}});
  registry.WriteValue(verb.Child(L"command"), L"Empty", RegValue{kRegMultiSz, {}});
  registry.WriteDefault(verb.Child(L"command").Child(L"Deeper").Child(L"Still"), L"deep");
  registry.WriteValue(verb.Child(L"Extended"), L"", std::nullopt);

  const std::optional<KeyTree> before = registry.ReadTree(Key(L"SHELL\\tool\\"));
  ASSERT_TRUE(before);
  EXPECT_EQ(before->name, L"Tool");
  EXPECT_EQ(before->values.size(), 2u);
  ASSERT_EQ(before->subkeys.size(), 2u);
  EXPECT_EQ(before->subkeys[0].name, L"command");
  EXPECT_EQ(before->subkeys[0].values.size(), 4u);
  EXPECT_FALSE(registry.ReadTree(Key(L"missing\\")));

  registry.DeleteTree(verb);
  EXPECT_TRUE(RestoreTree(registry, Key(L"shell\\TOOL\\"), before).empty());
  EXPECT_EQ(registry.ReadTree(verb), before);
  std::vector<std::wstring> names;
  registry.ListSubkeys(Key(L"shell\\"), names);
  EXPECT_EQ(names, std::vector<std::wstring>{L"Tool"});

  // Only what differs is changed: an added value and subkey go, a changed value comes back.
  registry.WriteDefault(verb, L"changed");
  registry.WriteValue(verb.Child(L"command"), L"Added", StringValue(L"x"));
  registry.WriteDefault(verb.Child(L"added"), L"x");
  EXPECT_TRUE(RestoreTree(registry, verb, before).empty());
  EXPECT_EQ(registry.ReadTree(verb), before);
  EXPECT_TRUE(RestoreTree(registry, verb, std::nullopt).empty());
  EXPECT_FALSE(registry.ReadTree(verb));
}

// The registry's own name rule, against the table the portable core uses, over every UTF-16 code
// unit: under Wine they agree on every unit. Windows' table is older than Unicode's, so there the
// differences are printed rather than failed on.
TEST_F(Win32RegistryTest, TheSystemsNameRuleIsTheCoresTable) {
  using UpcaseFn = WCHAR(NTAPI*)(WCHAR);
  const auto upcase = reinterpret_cast<UpcaseFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
  ASSERT_NE(upcase, nullptr);
  std::wstring differ;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    const auto c = static_cast<wchar_t>(unit);
    const wchar_t system = upcase(c);
    // The upper-case table is what the comparison uses.
    ASSERT_TRUE(registry.SameKeyName(std::wstring_view(&c, 1), std::wstring_view(&system, 1)));
    if (system != FoldCase(c)) differ += c;
  }
  std::printf("code units the system and the table upper-case differently (%zu):", differ.size());
  for (const wchar_t c : differ) std::printf(" U+%04X", static_cast<unsigned>(c));
  std::printf("\n");
  if (testing::RunningUnderWine()) {
    EXPECT_TRUE(differ.empty());
  }
  EXPECT_FALSE(registry.SameKeyName(L"runa\u017F", L"runas"));  // long s is not s
}

// The shapes other programs leave that a plain Win32 write would not put back as they were: a
// value whose counted name holds a null, strings without their terminating null, and a key with
// an ACL of its own. Each comes back byte for byte.
TEST_F(Win32RegistryTest, OddShapesArePutBackByteForByte) {
  const KeyPath verb = Key(L"shell\\Tool\\");
  registry.WriteDefault(verb, L"caption");
  registry.WriteValue(verb.Child(L"command"), std::wstring(L"\0x", 2), StringValue(L"hidden"));
  registry.WriteValue(verb.Child(L"command"), L"", RegValue{kRegSz, {'a', 0, 'b', 0}});
  registry.WriteValue(verb.Child(L"command"), L"Multi", RegValue{kRegMultiSz, {'m', 0}});
  registry.WriteValue(verb.Child(L"command"), L"Odd", RegValue{kRegExpandSz, {'%', 0, '1'}});
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VerbwrightTests\\shell\\Tool\\command", 0,
                          WRITE_DAC, &raw),
            ERROR_SUCCESS);
  const UniqueHkey command(raw);
  const UniqueLocal<void> acl = testing::SecurityDescriptor(L"D:P(A;;KA;;;WD)(A;;KR;;;BU)");
  ASSERT_TRUE(acl);
  EXPECT_EQ(RegSetKeySecurity(command.get(), DACL_SECURITY_INFORMATION, acl.get()), ERROR_SUCCESS);
  // A class, given only when a key is created, and an integrity label (where the system keeps
  // one: Wine does not).
  HKEY classed = nullptr;
  wchar_t key_class[] = L"VerbwrightClass";
  ASSERT_EQ(RegCreateKeyExW(command.get(), L"classed", 0, key_class, 0, KEY_ALL_ACCESS, nullptr,
                            &classed, nullptr),
            ERROR_SUCCESS);
  const UniqueHkey owned_classed(classed);
  const UniqueLocal<void> low = testing::SecurityDescriptor(L"S:(ML;;NW;;;LW)");
  ASSERT_TRUE(low);
  std::printf("setting a low label: %ld\n",
              static_cast<long>(RegSetKeySecurity(classed, LABEL_SECURITY_INFORMATION, low.get())));
  // An audit entry, which only a handle opened for ACCESS_SYSTEM_SECURITY reads.
  const auto audit_of_command = [](const UniqueLocal<void>* set) {
    const ProcessToken token;
    const PrivilegeOn security(token, SE_SECURITY_NAME);
    HKEY raw_key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VerbwrightTests\\shell\\Tool\\command", 0,
                  KEY_READ | ACCESS_SYSTEM_SECURITY, &raw_key);
    const UniqueHkey key(raw_key);
    if (set != nullptr) RegSetKeySecurity(key.get(), SACL_SECURITY_INFORMATION, set->get());
    std::vector<std::uint8_t> read(1024);
    auto size = static_cast<DWORD>(read.size());
    wchar_t* text = nullptr;
    if (RegGetKeySecurity(key.get(), SACL_SECURITY_INFORMATION, read.data(), &size) != 0 ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorW(
            read.data(), SDDL_REVISION_1, SACL_SECURITY_INFORMATION, &text, nullptr)) {
      return std::wstring();
    }
    const UniqueLocal<wchar_t> owned_text(text);
    return std::wstring(text);
  };
  const UniqueLocal<void> audit = testing::SecurityDescriptor(L"S:(AU;SAFA;KA;;;WD)");
  const std::wstring audited = audit_of_command(&audit);
  EXPECT_NE(audited.find(L"AU;SAFA"), std::wstring::npos);

  const std::optional<KeyTree> before = registry.ReadTree(verb);
  ASSERT_TRUE(before);
  ASSERT_EQ(before->subkeys.size(), 1u);
  const KeyTree& read = before->subkeys[0];
  EXPECT_FALSE(read.security.empty());
  ASSERT_EQ(read.values.size(), 4u);
  EXPECT_EQ(read.values[0].value.data, (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
  EXPECT_EQ(read.values[1].name, std::wstring(L"\0x", 2));  // the whole counted name
  ASSERT_EQ(read.subkeys.size(), 1u);
  EXPECT_EQ(read.subkeys[0].key_class, L"VerbwrightClass");

  registry.DeleteTree(verb);
  EXPECT_TRUE(RestoreTree(registry, verb, before).empty());
  EXPECT_EQ(registry.ReadTree(verb), before);
  EXPECT_EQ(registry.ReadKey(verb).value, StringValue(L"caption"));
  EXPECT_EQ(audit_of_command(nullptr), audited);
}

// A key made again by the undo whose inherited list gives the administrators neither WRITE_DAC
// nor WRITE_OWNER still gets its recorded owner (another account), group and list back, as
// Windows grants them: WRITE_DAC to the owner, WRITE_OWNER by the privilege to take ownership,
// the naming of another owner by the privilege to restore. Creating it is checked against its
// parent alone: a key above that is read-only for the administrators is no obstacle.
TEST_F(Win32RegistryTest, AKeyMadeAgainGetsAnotherAccountsOwnerBack) {
  const KeyPath command = Key(L"shell\\Tool\\command\\");
  registry.WriteDefault(command, L"caption");
  const auto give = [](const wchar_t* path, const wchar_t* sddl) {
    HKEY raw = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, READ_CONTROL | WRITE_DAC | WRITE_OWNER, &raw),
        ERROR_SUCCESS);
    const UniqueHkey key(raw);
    const UniqueLocal<void> descriptor = testing::SecurityDescriptor(sddl);
    ASSERT_TRUE(descriptor);
    SECURITY_INFORMATION parts = DACL_SECURITY_INFORMATION;
    if (sddl[0] == L'O') parts |= OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
    ASSERT_EQ(RegSetKeySecurity(key.get(), parts, descriptor.get()), ERROR_SUCCESS);
  };
  // Read-only above; below, read, write, create and delete, but neither right to the list.
  give(L"Software\\VerbwrightTests\\shell", L"D:P(A;;KR;;;BA)(A;CI;KA;;;SY)");
  give(L"Software\\VerbwrightTests\\shell\\Tool",
       L"D:P(A;;0x3003F;;;BA)(A;CIIO;0x3003F;;;BA)(A;CI;KA;;;SY)");
  give(L"Software\\VerbwrightTests\\shell\\Tool\\command", L"O:SYG:SYD:P(A;;KA;;;SY)(A;;KA;;;BA)");
  const std::optional<KeyTree> before = registry.ReadTree(command);
  ASSERT_TRUE(before);
  EXPECT_TRUE(registry.CanRestoreSecurity(before->security));
  registry.DeleteTree(command);
  EXPECT_TRUE(RestoreTree(registry, command, before).empty());
  EXPECT_EQ(registry.ReadTree(command), before);
  give(L"Software\\VerbwrightTests\\shell", L"D:(A;CI;KA;;;BA)");
  give(L"Software\\VerbwrightTests\\shell\\Tool", L"D:(A;CI;KA;;;BA)");
}

// This user's classes: HKEY_CURRENT_USER\Software\Classes is Windows' link to the user's classes
// hive (the test prefix has it so too). A change there addresses HKEY_USERS\<SID>_Classes
// directly: no open follows the link.
TEST_F(Win32RegistryTest, ThisUsersClassesAreChangedInTheirHiveFollowingNoLink) {
  const KeyPath through{kHiveCurrentUser, {L"Software", L"Classes", L"VerbwrightTests"}};
  const KeyPath hive{kHiveUsers, {ProcessUserSid() + L"_Classes", L"VerbwrightTests"}};
  registry.DeleteTree(through);
  calls.ForgetFollowed();
  registry.WriteDefault(through.Child(L"tool"), L"caption");
  const std::optional<KeyTree> tree = registry.ReadTree(through);
  registry.DeleteTree(through.Child(L"tool"));
  EXPECT_TRUE(calls.followed().empty()) << calls.followed().size() << " links followed";
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->subkeys.size(), 1u);
  EXPECT_FALSE(registry.ReadKey(hive.Child(L"tool")).exists);
  registry.WriteDefault(through.Child(L"tool"), L"caption");
  EXPECT_TRUE(registry.ReadKey(hive.Child(L"tool")).exists);
  registry.DeleteTree(through);
}

// A symbolic link under a key is read and deleted as the link itself, never its target, and is
// reported as a key that cannot be made again; so is a volatile key, where the system says.
TEST_F(Win32RegistryTest, LinksAreNeverFollowedAndLinksAndVolatileKeysAreKnown) {
  constexpr wchar_t kTarget[] = L"Software\\VerbwrightLinkTarget";
  RegDeleteTreeW(HKEY_CURRENT_USER, kTarget);
  const KeyPath verb = Key(L"shell\\Tool\\");
  registry.WriteDefault(verb, L"caption");
  const KeyPath target_key{kHiveCurrentUser, {L"Software", L"VerbwrightLinkTarget"}};
  registry.WriteDefault(target_key, L"someone else's");
  registry.WriteDefault(target_key.Child(L"inner"), L"deep");
  ASSERT_EQ(testing::CreateLinkToUserKey(HKEY_CURRENT_USER,
                                         L"Software\\VerbwrightTests\\shell\\Tool\\link", kTarget),
            ERROR_SUCCESS);
  const std::optional<KeyTree> tree = registry.ReadTree(verb);
  ASSERT_TRUE(tree);
  ASSERT_EQ(tree->subkeys.size(), 1u);
  EXPECT_TRUE(tree->subkeys[0].link);
  EXPECT_TRUE(tree->subkeys[0].subkeys.empty());  // the target's subkey is not read as its own
  EXPECT_EQ(FirstUnrestorableKey(*tree), std::vector<std::wstring>{L"link"});

  registry.DeleteTree(verb);
  EXPECT_FALSE(registry.ReadTree(verb));
  const auto target = registry.ReadTree(target_key);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->subkeys.size(), 1u);
  RegDeleteTreeW(HKEY_CURRENT_USER, kTarget);

  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VerbwrightTests\\volatile", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  const UniqueHkey made(raw);
  const auto volatile_tree = registry.ReadTree(Key(L"volatile\\"));
  ASSERT_TRUE(volatile_tree);
  // Where the system answers the query (Windows does; Wine does not), the key is known.
  struct KeyFlagsInformation {
    ULONG wow64_flags, key_flags, control_flags;
  } flags{};
  ULONG size = 0;
  using NtQueryKeyFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<NtQueryKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
  const bool answers = query != nullptr && query(made.get(), 5, &flags, sizeof(flags), &size) >= 0;
  std::printf("the system %s which keys are volatile\n", answers ? "says" : "does not say");
  EXPECT_EQ(volatile_tree->is_volatile, answers);
}

// Key names are counted: a key whose name holds a null sits beside its namesake and is listed,
// read, put back and deleted as exactly itself, and so is a subkey named so; nothing spins.
TEST_F(Win32RegistryTest, KeysNamedWithANullAreThemselves) {
  const std::wstring hidden(L"evil\0x", 6);
  const KeyPath plain = Key(L"shell\\evil\\");
  const KeyPath other = Key(L"shell\\").Child(hidden);
  registry.WriteDefault(plain.Child(L"command"), L"plain");
  registry.WriteDefault(other, L"hidden");
  registry.WriteDefault(other.Child(std::wstring(L"a\0b", 3)).Child(L"inner"), L"deep");
  auto names = Subkeys(Key(L"shell\\"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"evil", hidden}));
  EXPECT_EQ(registry.ReadKey(other).value, StringValue(L"hidden"));

  const std::optional<KeyTree> before = registry.ReadTree(other);
  ASSERT_TRUE(before);
  EXPECT_EQ(before->name, hidden);
  ASSERT_EQ(before->subkeys.size(), 1u);
  EXPECT_EQ(before->subkeys[0].name, std::wstring(L"a\0b", 3));
  EXPECT_EQ(before->subkeys[0].subkeys.size(), 1u);

  registry.DeleteTree(other);
  EXPECT_FALSE(registry.ReadKey(other).exists);
  EXPECT_EQ(registry.ReadKey(plain.Child(L"command")).value, StringValue(L"plain"));
  EXPECT_TRUE(RestoreTree(registry, other, before).empty());
  EXPECT_EQ(registry.ReadTree(other), before);

  registry.DeleteTree(plain);
  EXPECT_FALSE(registry.ReadKey(plain).exists);
  EXPECT_EQ(registry.ReadTree(other), before);
}

// A link on the way to a key a change would write, here one that leads nowhere: the change is
// refused before any step, naming the link, which stays where it was; nothing reads or writes
// through it. One whose value is spelled in another case is a link all the same.
TEST_F(Win32RegistryTest, AFailedChangeLeavesALinkThatLeadsNowhere) {
  const KeyPath nowhere{kHiveCurrentUser, {L"Software", L"VerbwrightNowhere"}};
  registry.DeleteTree(nowhere);
  const KeyPath classes = Key(L"Classes\\");
  registry.WriteDefault(classes, L"");
  ASSERT_EQ(testing::CreateLinkToUserKey(HKEY_CURRENT_USER,
                                         L"Software\\VerbwrightTests\\Classes\\exefile",
                                         L"Software\\VerbwrightNowhere"),
            ERROR_SUCCESS);
  const KeyPath link = classes.Child(L"exefile");
  const std::optional<KeyTree> before = registry.ReadTree(link);
  ASSERT_TRUE(before);
  EXPECT_TRUE(before->link);
  EXPECT_TRUE(registry.ReadKey(link).exists);
  EXPECT_FALSE(registry.ReadKey(link.Child(L"shell")).exists);

  RegistryChange change(registry);
  bool stepped = false;
  const ChangeOutcome outcome =
      change.Run({link.Child(L"shell").Child(L"tool")},
                 [&](const RegistryChange::Snapshot&) { stepped = true; });
  EXPECT_FALSE(stepped);
  ASSERT_TRUE(outcome.refusal);
  EXPECT_EQ(outcome.refusal->why, ChangeOutcome::Refusal::Why::kLinkOnTheWay);
  EXPECT_EQ(outcome.refusal->key, KeyPathText(link));
  EXPECT_EQ(registry.ReadTree(link), before);

  // The registry compares value names without case; so does the test for a link.
  const UniqueHkey open = [&] {
    HKEY raw = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VerbwrightTests\\Classes\\exefile",
                  REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &raw);
    return UniqueHkey(raw);
  }();
  ASSERT_TRUE(open);
  std::vector<std::uint8_t> target;
  DWORD size = 0, type = 0;
  RegQueryValueExW(open.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, &size);
  target.resize(size);
  RegQueryValueExW(open.get(), L"SymbolicLinkValue", nullptr, &type, target.data(), &size);
  RegDeleteValueW(open.get(), L"SymbolicLinkValue");
  if (RegSetValueExW(open.get(), L"symboliclinkvalue", 0, REG_LINK, target.data(), size) ==
      ERROR_SUCCESS) {
    const std::optional<KeyTree> spelled = registry.ReadTree(link);
    ASSERT_TRUE(spelled);
    EXPECT_TRUE(spelled->link);
  }
  for (const KeyPath& through : {link.Child(L"shell"), link}) {
    EXPECT_EQ(ErrorOf([&] { registry.WriteDefault(through, L"x"); }), errc::kStoppedOnSymlink);
  }
  EXPECT_FALSE(registry.ReadKey(nowhere).exists);
  registry.DeleteTree(link);
  EXPECT_FALSE(registry.ReadKey(link).exists);
}

// The desktop's user is the session's. Not elevated as another account, that is this process's
// own user, and "this user's classes" stay HKEY_CURRENT_USER's.
TEST(DesktopUser, TheSessionsUserIsFoundFromTheSession) {
  const SessionAccount session = CurrentSessionAccount();
  const std::wstring process = ProcessUserSid();
  std::printf("session user %ls\\%ls, process user %ls\n", session.domain.c_str(),
              session.user.c_str(), process.c_str());
  EXPECT_TRUE(process.starts_with(L"S-1-"));
  if (!session.user.empty()) {
    const auto found = LookUpAccount(session.domain + L"\\" + session.user);
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->is_user);
    EXPECT_EQ(found->sid, process);
  }
  EXPECT_EQ(FindUserClasses(session, process, LookUpAccount).whose,
            UserClasses::Whose::kCurrentUser);
}

TEST_F(Win32RegistryTest, DeletesAKeyWithSubkeysAndTwice) {
  registry.WriteDefault(Key(L"verb\\command\\"), L"c");
  registry.WriteDefault(Key(L"verb\\ddeexec\\topic\\"), L"t");
  registry.DeleteTree(Key(L"VERB\\"));
  EXPECT_EQ(registry.ReadKey(Key(L"verb\\")), KeyState{});
  registry.DeleteTree(Key(L"verb\\"));
  registry.DeleteTree(Key(L"no\\such\\parent\\"));
  EXPECT_EQ(registry.ReadKey(Scratch()), (KeyState{true, std::nullopt}));
}

TEST_F(Win32RegistryTest, RefusesMalformedPathsWithTheirErrorNumber) {
  EXPECT_EQ(ErrorOf([&] { registry.WriteDefault({kHiveClassesRoot, {}}, L"x"); }), 161u);
  EXPECT_EQ(ErrorOf([&] { registry.DeleteTree({kHiveClassesRoot, {L"exefile", L""}}); }), 161u);
  EXPECT_EQ(ErrorOf([&] { registry.DeleteTree({kHiveClassesRoot, {L"exefile\\shell"}}); }), 161u);
  EXPECT_EQ(ErrorOf([&] { registry.ReadKey({0x80000006u, {L"x"}}); }), 161u);
  EXPECT_EQ(ErrorOf([&] { Subkeys({0x12345678u, {L"x"}}); }), 161u);
  EXPECT_EQ(registry.ReadKey(VerbKeyPath(L"open")).exists, true);
}

TEST_F(Win32RegistryTest, ErrorsCarryTheSystemsDescription) {
  try {
    registry.WriteDefault({kHiveClassesRoot, {}}, L"x");
    FAIL() << "no error";
  } catch (const SystemError& error) {
    wchar_t expected[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 161, 0,
                   expected, 256, nullptr);
    EXPECT_FALSE(error.description().empty());
    EXPECT_EQ(std::wstring(expected).find(error.description()), 0u);
    EXPECT_NE(error.description().back(), L'\n');
    EXPECT_NE(text::ErrorReport(error).find(L"161"), std::wstring::npos);
  }
}

// The test prefix holds the verbs Windows ships: open and runas are never listed, runasuser is.
TEST_F(Win32RegistryTest, TheSystemsOwnVerbsAreListedAsWindowsListsThem) {
  const auto names = Subkeys(VerbRoot());
  for (const wchar_t* verb : {L"open", L"runas", L"runasuser"})
    EXPECT_NE(std::find(names.begin(), names.end(), verb), names.end()) << verb;

  testing::VectorEntryList list;
  EXPECT_NO_THROW(LoadEntries(registry, list));
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"open"), 0);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"runas"), 0);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"runasuser"), 1);
}

TEST(Win32Registry, LoadsEntriesOfTheRealVerbRoot) {
  testing::TestRegistry registry;  // on a developer's Windows, a scratch copy of the verb root
  const std::wstring names[] = {L"Vw test 记事本 ", L"runas ", L"Vw Test B"};
  for (const auto& name : names) registry.WriteDefault(CommandKeyPath(name), L"\"x.exe\" \"%1\"");
  testing::VectorEntryList list;
  EXPECT_NO_THROW(LoadEntries(registry, list));
  for (const auto& name : names) registry.DeleteTree(VerbKeyPath(name));

  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"Vw test 记事本 "), 1);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"Vw Test B"), 1);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"runas "), 0);
}

}  // namespace
}  // namespace vw
