#include "verbs/registry_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "operations/load_entries.h"
#include "platform/system_error.h"
#include "tests/support/vector_entry_list.h"
#include "tests/windows/test_registry.h"
#include "verbs/case_fold.h"
#include "verbs/registry_undo.h"
#include "verbs/shell_verb_layout.h"

namespace vw {
namespace {

// Each case starts from a clean scratch key of its own under HKCU.
class Win32RegistryTest : public ::testing::Test {
 protected:
  static constexpr std::wstring_view kScratch = L"HKCU\\Software\\VerbwrightTests\\";
  void SetUp() override { registry.RegDelete(kScratch); }
  void TearDown() override { registry.RegDelete(kScratch); }
  static std::wstring Key(std::wstring_view relative) {
    return std::wstring(kScratch) + std::wstring(relative);
  }

  std::vector<std::wstring> Subkeys(std::uint32_t hive, std::wstring_view relative) {
    std::vector<std::wstring> names;
    registry.EnumKey(hive, relative, names);
    return names;
  }

  Win32Registry registry;
};

std::uint32_t ErrorOf(const auto& call) {
  try {
    call();
  } catch (const SystemError& error) {
    return error.code();
  }
  return 0;
}

TEST_F(Win32RegistryTest, WritesReadsBackAndEnumerates) {
  registry.RegWrite(Key(L"shell\\用 它 打开\\command\\"), L"\"C:\\Program Files\\t.exe\" \"%1\"");
  registry.RegWrite(Key(L"shell\\用 它 打开\\"), L"");
  registry.RegWrite(Key(L"shell\\Beta\\"), L"用 Beta 打开");
  registry.RegWrite(Key(L"shell\\beta\\"), L"second");  // the same key

  EXPECT_EQ(registry.RegRead(Key(L"shell\\用 它 打开\\command\\")),
            (KeyState{true, StringValue(L"\"C:\\Program Files\\t.exe\" \"%1\"")}));
  EXPECT_EQ(registry.RegRead(Key(L"shell\\用 它 打开\\")), (KeyState{true, StringValue(L"")}));
  EXPECT_EQ(registry.RegRead(Key(L"SHELL\\BETA\\")), (KeyState{true, StringValue(L"second")}));
  EXPECT_EQ(registry.RegRead(Key(L"shell\\")), (KeyState{true, std::nullopt}));
  EXPECT_EQ(registry.RegRead(Key(L"missing\\")), KeyState{});

  auto names = Subkeys(kHiveCurrentUser, L"Software\\VerbwrightTests\\shell");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Beta", L"用 它 打开"}));
  EXPECT_TRUE(Subkeys(kHiveCurrentUser, L"Software\\VerbwrightTests\\missing").empty());

  // What was read can be written back unchanged, type included; no value removes it.
  const RegValue expand{kRegExpandSz, StringValue(L"%SystemRoot%\\x.exe").data};
  registry.RegWriteValue(Key(L"typed\\"), expand);
  EXPECT_EQ(registry.RegRead(Key(L"typed\\")).value, expand);
  registry.RegWriteValue(Key(L"typed\\"), std::nullopt);
  registry.RegWriteValue(Key(L"typed\\"), std::nullopt);
  EXPECT_EQ(registry.RegRead(Key(L"typed\\")), (KeyState{true, std::nullopt}));
}

// A tree read whole, deleted, and put back from what was read is the same tree again: values of
// every type, named and default, subkeys at any depth, and key names in their own case.
TEST_F(Win32RegistryTest, ATreeReadWholeIsPutBackExactly) {
  const std::wstring verb = Key(L"shell\\Tool\\");
  registry.RegWrite(verb, L"用 tool 打开");
  registry.WriteValue(verb, L"Icon", RegValue{kRegBinary, {0, 1, 2, 0xFF}});
  registry.WriteValue(verb + L"command\\", L"",
                      RegValue{kRegExpandSz, StringValue(L"%x% %1").data});
  registry.WriteValue(verb + L"command\\", L"DelegateExecute", StringValue(L"{ea72d00e}"));
  registry.WriteValue(verb + L"command\\", L"Flags", RegValue{kRegDword, {7, 0, 0, 0}});
  registry.WriteValue(verb + L"command\\", L"Empty", RegValue{kRegMultiSz, {}});
  registry.RegWrite(verb + L"command\\Deeper\\Still\\", L"deep");
  registry.WriteValue(verb + L"Extended\\", L"", std::nullopt);

  const std::optional<KeyTree> before = registry.ReadTree(Key(L"SHELL\\tool\\"));
  ASSERT_TRUE(before);
  EXPECT_EQ(before->name, L"Tool");
  EXPECT_EQ(before->values.size(), 2u);
  ASSERT_EQ(before->subkeys.size(), 2u);
  EXPECT_EQ(before->subkeys[0].name, L"command");
  EXPECT_EQ(before->subkeys[0].values.size(), 4u);
  EXPECT_FALSE(registry.ReadTree(Key(L"missing\\")));

  registry.RegDelete(verb);
  EXPECT_TRUE(RestoreTree(registry, Key(L"shell\\TOOL\\"), before).empty());
  EXPECT_EQ(registry.ReadTree(verb), before);
  std::vector<std::wstring> names;
  registry.EnumKey(kHiveCurrentUser, L"Software\\VerbwrightTests\\shell", names);
  EXPECT_EQ(names, std::vector<std::wstring>{L"Tool"});

  // Only what differs is changed: an added value and subkey go, a changed value comes back.
  registry.RegWrite(verb, L"changed");
  registry.WriteValue(verb + L"command\\", L"Added", StringValue(L"x"));
  registry.RegWrite(verb + L"added\\", L"x");
  EXPECT_TRUE(RestoreTree(registry, verb, before).empty());
  EXPECT_EQ(registry.ReadTree(verb), before);
  EXPECT_TRUE(RestoreTree(registry, verb, std::nullopt).empty());
  EXPECT_FALSE(registry.ReadTree(verb));
}

// The registry's own name rule, against the table the portable core uses (Unicode's simple
// upper-case mappings), over every UTF-16 code unit. The system's table leaves out the mappings
// that do not come back when lower-cased (micro sign, dotless i, long s, ...); it adds none.
TEST_F(Win32RegistryTest, TheSystemsNameRuleIsTheCoresTableLessOneWayMappings) {
  using UpcaseFn = WCHAR(NTAPI*)(WCHAR);
  const auto upcase = reinterpret_cast<UpcaseFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
  ASSERT_NE(upcase, nullptr);
  std::vector<bool> upper_of_another(0x10000);  // some other unit upper-cases to this one
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    const wchar_t upper = upcase(static_cast<wchar_t>(unit));
    if (upper != static_cast<wchar_t>(unit))
      upper_of_another[static_cast<std::uint16_t>(upper)] = true;
  }
  std::wstring only_in_table;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    const auto c = static_cast<wchar_t>(unit);
    const wchar_t system = upcase(c);
    const wchar_t table = FoldCase(c);
    // The upper-case table is what the comparison uses.
    ASSERT_TRUE(registry.SameKeyName(std::wstring_view(&c, 1), std::wstring_view(&system, 1)));
    if (system == table) continue;
    EXPECT_EQ(system, c) << "the system maps " << unit << " where the table does not";
    EXPECT_FALSE(registry.SameKeyName(std::wstring_view(&c, 1), std::wstring_view(&table, 1)));
    // One way only: the upper-case letter has a lower case of its own that maps to it.
    EXPECT_TRUE(upper_of_another[static_cast<std::uint16_t>(table)]) << unit;
    only_in_table += c;
  }
  std::printf("code units the table upper-cases and the system does not (%zu):",
              only_in_table.size());
  for (const wchar_t c : only_in_table) std::printf(" U+%04X", static_cast<unsigned>(c));
  std::printf("\n");
  EXPECT_NE(only_in_table.find(L'\u017F'), std::wstring::npos);
}

TEST_F(Win32RegistryTest, DeletesAKeyWithSubkeysAndTwice) {
  registry.RegWrite(Key(L"verb\\command\\"), L"c");
  registry.RegWrite(Key(L"verb\\ddeexec\\topic\\"), L"t");
  registry.RegDelete(Key(L"VERB\\"));
  EXPECT_EQ(registry.RegRead(Key(L"verb\\")), KeyState{});
  registry.RegDelete(Key(L"verb\\"));
  registry.RegDelete(Key(L"no\\such\\parent\\"));
  EXPECT_EQ(registry.RegRead(Key(L"")), (KeyState{true, std::nullopt}));
}

TEST_F(Win32RegistryTest, RefusesMalformedPathsWithTheirErrorNumber) {
  EXPECT_EQ(ErrorOf([&] { registry.RegWrite(L"HKEY_CLASSES_ROOT\\", L"x"); }), 161u);
  EXPECT_EQ(ErrorOf([&] { registry.RegDelete(L"HKEY_CLASSES_ROOT\\exefile\\\\"); }), 161u);
  EXPECT_EQ(ErrorOf([&] { registry.RegDelete(L"HKEY_CLASSES_ROOT\\exefile\\shell"); }), 161u);
  EXPECT_EQ(ErrorOf([&] { registry.RegRead(L"HKEY_USERS\\x\\"); }), 161u);
  EXPECT_EQ(ErrorOf([&] { Subkeys(0x12345678u, L"x"); }), 87u);
  EXPECT_EQ(registry.RegRead(L"HKEY_CLASSES_ROOT\\exefile\\shell\\open\\").exists, true);
}

TEST_F(Win32RegistryTest, ErrorsCarryTheSystemsDescription) {
  try {
    registry.RegWrite(L"HKEY_CLASSES_ROOT\\", L"x");
    FAIL() << "no error";
  } catch (const SystemError& error) {
    wchar_t expected[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 161, 0,
                   expected, 256, nullptr);
    EXPECT_FALSE(error.description().empty());
    EXPECT_EQ(std::wstring(expected).find(error.description()), 0u);
    EXPECT_NE(error.description().back(), L'\n');
    EXPECT_NE(ErrorReport(error).find(L"161"), std::wstring::npos);
  }
}

// The test prefix holds the verbs Windows ships: open and runas are never listed, runasuser is.
TEST_F(Win32RegistryTest, TheSystemsOwnVerbsAreListedAsWindowsListsThem) {
  const auto names = Subkeys(kVerbRootHive, kVerbRootRelative);
  for (const wchar_t* verb : {L"open", L"runas", L"runasuser"})
    EXPECT_NE(std::find(names.begin(), names.end(), verb), names.end()) << verb;

  testing::VectorEntryList list;
  EXPECT_FALSE(LoadEntries(registry, list));
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"open"), 0);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"runas"), 0);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"runasuser"), 1);
}

TEST(Win32Registry, LoadsEntriesOfTheRealVerbRoot) {
  testing::TestRegistry registry;  // on a developer's Windows, a scratch copy of the verb root
  const std::wstring names[] = {L"Vw test 记事本 ", L"runas ", L"Vw Test B"};
  for (const auto& name : names) registry.RegWrite(CommandKeyPath(name), L"\"x.exe\" \"%1\"");
  testing::VectorEntryList list;
  EXPECT_FALSE(LoadEntries(registry, list));
  for (const auto& name : names) registry.RegDelete(VerbKeyPath(name));

  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"Vw test 记事本 "), 1);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"Vw Test B"), 1);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"runas "), 0);
}

}  // namespace
}  // namespace vw
