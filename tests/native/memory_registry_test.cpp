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

  registry.Deny(MemoryRegistry::Access::kDelete, L"hkcr\\A\\", 1018);
  EXPECT_EQ(ErrorOf([&] { registry.RegDelete(L"HKCR\\a\\"); }), 1018u);
  EXPECT_EQ(ErrorOf([&] { registry.RegDelete(L"HKCR\\a\\"); }), 1018u);
  registry.RegDelete(L"HKCR\\b\\");  // other keys are untouched
  registry.ClearFaults();
  registry.RegDelete(L"HKCR\\a\\");
  EXPECT_TRUE(Subkeys(registry, L"a").empty());

  try {
    registry.FailCallAfter(0, errc::kAccessDenied);
    registry.RegWrite(L"HKCR\\c\\", L"3");
    FAIL() << "no error";
  } catch (const SystemError& error) {
    EXPECT_EQ(error.subject(), L"HKEY_CLASSES_ROOT\\c");
    EXPECT_FALSE(error.description().empty());
  }
}

// A key that refuses an access, as its ACL would: a tree delete stops there, keeping what it had
// deleted before; reading the tree through it fails.
TEST(MemoryRegistry, DeniedKeysStopTreeDeletesPartWay) {
  MemoryRegistry registry;
  const std::wstring verb = L"HKLM\\Software\\Classes\\exefile\\shell\\tool\\";
  registry.RegWrite(verb + L"command\\", L"cmd");
  registry.WriteValue(verb + L"command\\", L"DelegateExecute", StringValue(L"{x}"));
  registry.RegWrite(verb + L"zzz\\", L"z");
  registry.Deny(MemoryRegistry::Access::kEnumerate, verb + L"zzz\\", errc::kAccessDenied);
  EXPECT_EQ(ErrorOf([&] { registry.ReadTree(verb); }), errc::kAccessDenied);
  EXPECT_EQ(ErrorOf([&] { registry.RegDelete(verb); }), errc::kAccessDenied);
  EXPECT_FALSE(registry.RegRead(verb + L"command\\").exists);  // deleted before the failure
  EXPECT_TRUE(registry.RegRead(verb + L"zzz\\").exists);

  registry.Deny(MemoryRegistry::Access::kSetValue, verb, errc::kAccessDenied);
  EXPECT_EQ(ErrorOf([&] { registry.RegWrite(verb, L"x"); }), errc::kAccessDenied);
  registry.RegWrite(verb + L"new\\", L"x");  // a subkey of it can still be made
}

// HKEY_CLASSES_ROOT merges the machine's classes with this user's; the user's key wins.
TEST(MemoryRegistry, ClassesRootIsTheMergedView) {
  MemoryRegistry registry;
  const std::wstring machine = L"HKLM\\Software\\Classes\\exefile\\shell\\";
  const std::wstring user = L"HKCU\\Software\\Classes\\exefile\\shell\\";
  registry.RegWrite(machine + L"both\\", L"machine");
  registry.RegWrite(machine + L"both\\command\\", L"machine command");
  registry.RegWrite(user + L"BOTH\\", L"user");
  registry.RegWrite(machine + L"machine only\\", L"m");
  registry.RegWrite(user + L"user only\\", L"u");

  EXPECT_EQ(Subkeys(registry, L"exefile\\shell"),
            (std::vector<std::wstring>{L"BOTH", L"machine only", L"user only"}));
  EXPECT_EQ(registry.RegRead(L"HKCR\\exefile\\shell\\both\\").value, StringValue(L"user"));
  // Each level merges: the machine's command shows under the user's verb key.
  EXPECT_TRUE(registry.RegRead(L"HKCR\\exefile\\shell\\both\\command\\").exists);
  EXPECT_EQ(registry.ReadTree(L"HKCR\\exefile\\shell\\both\\")->subkeys.size(), 1u);

  // Through the view, values land in the user's key where it exists; new keys in the machine's.
  registry.RegWrite(L"HKCR\\exefile\\shell\\user only\\", L"u2");
  registry.RegWrite(L"HKCR\\exefile\\shell\\new\\", L"n");
  EXPECT_EQ(registry.RegRead(user + L"user only\\").value, StringValue(L"u2"));
  EXPECT_TRUE(registry.RegRead(machine + L"new\\").exists);
  EXPECT_FALSE(registry.RegRead(user + L"new\\").exists);

  // Deleting through the view takes the user's copy; the machine's then shows again.
  registry.RegDelete(L"HKCR\\exefile\\shell\\both\\");
  EXPECT_EQ(registry.RegRead(L"HKCR\\exefile\\shell\\both\\").value, StringValue(L"machine"));
}

}  // namespace
}  // namespace vw
