#include "verbs/registry_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "operations/load_entries.h"
#include "platform/system_error.h"
#include "tests/support/vector_entry_list.h"
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

TEST_F(Win32RegistryTest, ThePrefixsOwnVerbRootHoldsOpenAndRunas) {
  const auto names = Subkeys(kVerbRootHive, kVerbRootRelative);
  EXPECT_NE(std::find(names.begin(), names.end(), L"open"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), L"runas"), names.end());

  testing::VectorEntryList list;
  EXPECT_FALSE(LoadEntries(registry, list));
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"open"), 0);
  EXPECT_EQ(std::count(list.items.begin(), list.items.end(), L"runas"), 0);
}

TEST_F(Win32RegistryTest, LoadsEntriesOfTheRealVerbRoot) {
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
