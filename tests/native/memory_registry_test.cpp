#include "verbs/memory_registry.h"

#include <gtest/gtest.h>

#include "platform/system_error.h"
#include "verbs/registry_path.h"

namespace vw {
namespace {

std::vector<std::wstring> Subkeys(MemoryRegistry& registry, std::wstring_view relative) {
  std::vector<std::wstring> names;
  registry.EnumKey(kHiveClassesRoot, relative, names);
  return names;
}

std::uint32_t ErrorOf(const auto& call) {
  try {
    call();
  } catch (const SystemError& error) {
    return error.code();
  }
  return 0;
}

TEST(MemoryRegistry, FollowsTheRegistrysNameRules) {
  MemoryRegistry registry;
  registry.RegWrite(L"HKCR\\exefile\\shell\\Tool\\", L"one");
  registry.RegWrite(L"HKEY_CLASSES_ROOT\\EXEFILE\\shell\\tool\\command\\", L"cmd");
  registry.RegWrite(L"HKCR\\exefile\\shell\\apple\\", L"a");
  registry.RegWrite(L"HKCR\\exefile\\shell\\Zebra\\", L"z");

  // One key for both spellings; it keeps the case it was created with.
  EXPECT_EQ(Subkeys(registry, L"exefile\\shell"),
            (std::vector<std::wstring>{L"apple", L"Tool", L"Zebra"}));
  EXPECT_EQ(registry.RegRead(L"HKCR\\EXEFILE\\SHELL\\TOOL\\"),
            (KeyState{true, StringValue(L"one")}));
  EXPECT_EQ(Subkeys(registry, L"exefile\\shell\\TOOL"), std::vector<std::wstring>{L"command"});

  // Missing keys read as absent and enumerate as empty; hives are separate.
  EXPECT_EQ(registry.RegRead(L"HKCR\\nothing\\"), KeyState{});
  EXPECT_TRUE(Subkeys(registry, L"nothing\\here").empty());
  EXPECT_EQ(registry.RegRead(L"HKLM\\exefile\\"), KeyState{});

  // A created key with no default value, then a removed default value.
  EXPECT_EQ(registry.RegRead(L"HKCR\\exefile\\"), (KeyState{true, std::nullopt}));
  registry.RegWriteValue(L"HKCR\\exefile\\shell\\apple\\", std::nullopt);
  EXPECT_EQ(registry.RegRead(L"HKCR\\exefile\\shell\\apple\\"), (KeyState{true, std::nullopt}));
}

TEST(MemoryRegistry, DeleteTakesTheWholeTreeAndTwiceIsFine) {
  MemoryRegistry registry;
  registry.RegWrite(L"HKCR\\exefile\\shell\\tool\\command\\", L"cmd");
  registry.RegWrite(L"HKCR\\exefile\\shell\\tool\\extra\\deeper\\", L"x");
  registry.RegDelete(L"HKCR\\exefile\\shell\\TOOL\\");
  EXPECT_EQ(registry.RegRead(L"HKCR\\exefile\\shell\\tool\\"), KeyState{});
  EXPECT_TRUE(Subkeys(registry, L"exefile\\shell").empty());
  registry.RegDelete(L"HKCR\\exefile\\shell\\tool\\");
  registry.RegDelete(L"HKCR\\no\\such\\parent\\");
}

TEST(MemoryRegistry, RefusesPathsTheWin32ServicesRefuse) {
  MemoryRegistry registry;
  const std::wstring before = registry.Dump();
  EXPECT_EQ(ErrorOf([&] { registry.RegWrite(L"HKEY_CLASSES_ROOT\\", L"x"); }), errc::kBadPathname);
  EXPECT_EQ(ErrorOf([&] { registry.RegDelete(L"HKCR\\exefile\\\\"); }), errc::kBadPathname);
  EXPECT_EQ(ErrorOf([&] { registry.RegWrite(L"HKCR\\exefile\\shell", L"x"); }), errc::kBadPathname);
  EXPECT_EQ(ErrorOf([&] { Subkeys(registry, L"exefile\\"); }), errc::kBadPathname);
  EXPECT_EQ(registry.Dump(), before);
}

TEST(MemoryRegistry, FailsChosenCallsWithChosenErrors) {
  MemoryRegistry registry;
  registry.FailCallAfter(1, errc::kAccessDenied);
  registry.RegWrite(L"HKCR\\a\\", L"1");
  EXPECT_EQ(ErrorOf([&] { registry.RegWrite(L"HKCR\\b\\", L"2"); }), errc::kAccessDenied);
  EXPECT_EQ(registry.RegRead(L"HKCR\\b\\"), KeyState{});  // a failed call changes nothing
  registry.RegWrite(L"HKCR\\b\\", L"2");                  // and fails only once
  EXPECT_EQ(registry.call_count(), 4u);

  registry.FailAlways(MemoryRegistry::Call::kRegDelete, L"hkcr\\A\\", 1018);
  EXPECT_EQ(ErrorOf([&] { registry.RegDelete(L"HKCR\\a\\"); }), 1018u);
  EXPECT_EQ(ErrorOf([&] { registry.RegDelete(L"HKCR\\a\\"); }), 1018u);
  registry.RegDelete(L"HKCR\\b\\");  // other paths are untouched
  registry.ClearFaults();
  registry.RegDelete(L"HKCR\\a\\");
  EXPECT_TRUE(Subkeys(registry, L"a").empty());

  try {
    registry.FailCallAfter(0, errc::kAccessDenied);
    registry.RegWrite(L"HKCR\\c\\", L"3");
    FAIL() << "no error";
  } catch (const SystemError& error) {
    EXPECT_NE(error.action().find(L"HKCR\\c\\"), std::wstring::npos);
    EXPECT_FALSE(error.description().empty());
  }
}

}  // namespace
}  // namespace vw
