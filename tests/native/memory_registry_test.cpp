#include "tests/support/memory_registry.h"
#include "registry/change.h"

#include <gtest/gtest.h>

#include "platform/system_error.h"
#include "registry/key_path.h"
#include "tests/support/error_of.h"
#include "tests/support/keys.h"

namespace vw {
namespace {

using testing::Key;

std::vector<std::wstring> Subkeys(MemoryRegistry& registry, std::wstring_view relative) {
  std::vector<std::wstring> names;
  registry.ListSubkeys(Key(L"HKCR\\" + std::wstring(relative) + L"\\"), names);
  return names;
}

using testing::ErrorOf;

TEST(MemoryRegistry, FollowsTheRegistrysNameRules) {
  MemoryRegistry registry;
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\Tool\\"), L"one");
  registry.WriteDefault(Key(L"HKEY_CLASSES_ROOT\\EXEFILE\\shell\\tool\\command\\"), L"cmd");
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\apple\\"), L"a");
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\Zebra\\"), L"z");

  // One key for both spellings; it keeps the case it was created with.
  EXPECT_EQ(Subkeys(registry, L"exefile\\shell"),
            (std::vector<std::wstring>{L"apple", L"Tool", L"Zebra"}));
  EXPECT_EQ(registry.ReadKey(Key(L"HKCR\\EXEFILE\\SHELL\\TOOL\\")),
            (KeyState{true, StringValue(L"one")}));
  EXPECT_EQ(Subkeys(registry, L"exefile\\shell\\TOOL"), std::vector<std::wstring>{L"command"});

  // Missing keys read as absent and enumerate as empty; hives are separate.
  EXPECT_EQ(registry.ReadKey(Key(L"HKCR\\nothing\\")), KeyState{});
  EXPECT_TRUE(Subkeys(registry, L"nothing\\here").empty());
  EXPECT_EQ(registry.ReadKey(Key(L"HKLM\\exefile\\")), KeyState{});

  // A created key with no default value, then a removed default value.
  EXPECT_EQ(registry.ReadKey(Key(L"HKCR\\exefile\\")), (KeyState{true, std::nullopt}));
  registry.WriteValue(Key(L"HKCR\\exefile\\shell\\apple\\"), L"", std::nullopt);
  EXPECT_EQ(registry.ReadKey(Key(L"HKCR\\exefile\\shell\\apple\\")),
            (KeyState{true, std::nullopt}));
}

TEST(MemoryRegistry, DeleteTakesTheWholeTreeAndTwiceIsFine) {
  MemoryRegistry registry;
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\tool\\command\\"), L"cmd");
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\tool\\extra\\deeper\\"), L"x");
  registry.DeleteTree(Key(L"HKCR\\exefile\\shell\\TOOL\\"));
  EXPECT_EQ(registry.ReadKey(Key(L"HKCR\\exefile\\shell\\tool\\")), KeyState{});
  EXPECT_TRUE(Subkeys(registry, L"exefile\\shell").empty());
  registry.DeleteTree(Key(L"HKCR\\exefile\\shell\\tool\\"));
  registry.DeleteTree(Key(L"HKCR\\no\\such\\parent\\"));
}

TEST(MemoryRegistry, RefusesPathsTheWin32ServicesRefuse) {
  MemoryRegistry registry;
  const std::wstring before = registry.Dump();
  const KeyPath refused[] = {{kHiveClassesRoot, {}},
                             {kHiveClassesRoot, {L"exefile", L""}},
                             {kHiveClassesRoot, {L"exefile\\shell"}},
                             {kHiveClassesRoot, {std::wstring(256, L'x')}},
                             {0x80000005u, {L"x"}}};
  for (const KeyPath& key : refused) {
    EXPECT_EQ(ErrorOf([&] { registry.WriteDefault(key, L"x"); }), errc::kBadPathname);
    EXPECT_EQ(ErrorOf([&] { registry.DeleteTree(key); }), errc::kBadPathname);
    EXPECT_EQ(ErrorOf([&] {
                std::vector<std::wstring> names;
                registry.ListSubkeys(key, names);
              }),
              errc::kBadPathname);
  }
  EXPECT_EQ(registry.Dump(), before);
}

TEST(MemoryRegistry, FailsChosenCallsWithChosenErrors) {
  MemoryRegistry registry;
  registry.FailCallAfter(1, errc::kAccessDenied);
  registry.WriteDefault(Key(L"HKCR\\a\\"), L"1");
  EXPECT_EQ(ErrorOf([&] { registry.WriteDefault(Key(L"HKCR\\b\\"), L"2"); }), errc::kAccessDenied);
  EXPECT_EQ(registry.ReadKey(Key(L"HKCR\\b\\")), KeyState{});  // a failed call changes nothing
  registry.WriteDefault(Key(L"HKCR\\b\\"), L"2");              // and fails only once
  EXPECT_EQ(registry.call_count(), 4u);

  registry.Deny(MemoryRegistry::Access::kDelete, Key(L"hkcr\\A\\"), 1018);
  EXPECT_EQ(ErrorOf([&] { registry.DeleteTree(Key(L"HKCR\\a\\")); }), 1018u);
  EXPECT_EQ(ErrorOf([&] { registry.DeleteTree(Key(L"HKCR\\a\\")); }), 1018u);
  registry.DeleteTree(Key(L"HKCR\\b\\"));  // other keys are untouched
  registry.ClearFaults();
  registry.DeleteTree(Key(L"HKCR\\a\\"));
  EXPECT_TRUE(Subkeys(registry, L"a").empty());

  try {
    registry.FailCallAfter(0, errc::kAccessDenied);
    registry.WriteDefault(Key(L"HKCR\\c\\"), L"3");
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
  const KeyPath verb = Key(L"HKLM\\Software\\Classes\\exefile\\shell\\tool\\");
  registry.WriteDefault(verb.Child(L"command"), L"cmd");
  registry.WriteValue(verb.Child(L"command"), L"DelegateExecute", StringValue(L"{x}"));
  registry.WriteDefault(verb.Child(L"zzz"), L"z");
  registry.Deny(MemoryRegistry::Access::kEnumerate, verb.Child(L"zzz"), errc::kAccessDenied);
  EXPECT_EQ(ErrorOf([&] { registry.ReadTree(verb); }), errc::kAccessDenied);
  EXPECT_EQ(ErrorOf([&] { registry.DeleteTree(verb); }), errc::kAccessDenied);
  EXPECT_FALSE(registry.ReadKey(verb.Child(L"command")).exists);  // deleted before the failure
  EXPECT_TRUE(registry.ReadKey(verb.Child(L"zzz")).exists);

  registry.Deny(MemoryRegistry::Access::kSetValue, verb, errc::kAccessDenied);
  EXPECT_EQ(ErrorOf([&] { registry.WriteDefault(verb, L"x"); }), errc::kAccessDenied);
  registry.WriteDefault(verb.Child(L"new"), L"x");  // a subkey of it can still be made
}

// HKEY_CLASSES_ROOT merges the machine's classes with this user's; the user's key wins.
TEST(MemoryRegistry, ClassesRootIsTheMergedView) {
  MemoryRegistry registry;
  const KeyPath machine = Key(L"HKLM\\Software\\Classes\\exefile\\shell\\");
  const KeyPath user = Key(L"HKCU\\Software\\Classes\\exefile\\shell\\");
  registry.WriteDefault(machine.Child(L"both"), L"machine");
  registry.WriteDefault(machine.Child(L"both").Child(L"command"), L"machine command");
  registry.WriteDefault(user.Child(L"BOTH"), L"user");
  registry.WriteDefault(machine.Child(L"machine only"), L"m");
  registry.WriteDefault(user.Child(L"user only"), L"u");

  EXPECT_EQ(Subkeys(registry, L"exefile\\shell"),
            (std::vector<std::wstring>{L"BOTH", L"machine only", L"user only"}));
  EXPECT_EQ(registry.ReadKey(Key(L"HKCR\\exefile\\shell\\both\\")).value, StringValue(L"user"));
  // Each level merges: the machine's command shows under the user's verb key.
  EXPECT_TRUE(registry.ReadKey(Key(L"HKCR\\exefile\\shell\\both\\command\\")).exists);
  EXPECT_EQ(registry.ReadTree(Key(L"HKCR\\exefile\\shell\\both\\"))->subkeys.size(), 1u);

  // Through the view, values land in the user's key where it exists; new keys in the machine's.
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\user only\\"), L"u2");
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\new\\"), L"n");
  EXPECT_EQ(registry.ReadKey(user.Child(L"user only")).value, StringValue(L"u2"));
  EXPECT_TRUE(registry.ReadKey(machine.Child(L"new")).exists);
  EXPECT_FALSE(registry.ReadKey(user.Child(L"new")).exists);

  // Deleting through the view takes the user's copy; the machine's then shows again.
  registry.DeleteTree(Key(L"HKCR\\exefile\\shell\\both\\"));
  EXPECT_EQ(registry.ReadKey(Key(L"HKCR\\exefile\\shell\\both\\")).value, StringValue(L"machine"));
}

// Key names are counted: one holding a null is a key of its own beside its namesake. A link is
// read as itself at the key; on the way it is followed by the view's reads (one that dangles
// leads nowhere) and refused by everything that reads a key whole or changes one.
TEST(MemoryRegistry, KeysAreCountedAndLinksLeadWhereTheyPoint) {
  MemoryRegistry registry;
  const KeyPath shell = Key(L"HKLM\\Software\\Classes\\exefile\\shell\\");
  const std::wstring hidden(L"evil\0x", 6);
  registry.WriteDefault(shell.Child(L"evil"), L"plain");
  registry.WriteDefault(shell.Child(hidden).Child(std::wstring(L"a\0b", 3)), L"deep");
  std::vector<std::wstring> names;
  registry.ListSubkeys(shell, names);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"evil", hidden}));
  registry.DeleteTree(shell.Child(hidden));
  EXPECT_EQ(registry.ReadKey(shell.Child(L"evil")).value, StringValue(L"plain"));
  EXPECT_FALSE(registry.ReadKey(shell.Child(hidden)).exists);

  const KeyPath user = Key(L"HKCU\\Software\\Classes\\exefile\\");
  registry.MakeLink(user, Key(L"HKU\\S-1-5-21-9_Classes\\exefile\\"), L"symboliclinkvalue");
  EXPECT_TRUE(registry.ReadKey(user).exists);                   // the link itself
  EXPECT_FALSE(registry.ReadKey(user.Child(L"shell")).exists);  // through it: nowhere
  EXPECT_TRUE(registry.ReadTree(user)->link);
  for (const KeyPath& through : {user.Child(L"shell"), user}) {
    EXPECT_EQ(ErrorOf([&] { registry.WriteDefault(through, L"x"); }), errc::kStoppedOnSymlink);
    EXPECT_EQ(ErrorOf([&] { registry.CreateKey(through, L""); }), errc::kStoppedOnSymlink);
  }
  EXPECT_EQ(ErrorOf([&] { registry.ReadTree(user.Child(L"shell")); }), errc::kStoppedOnSymlink);
  EXPECT_EQ(ErrorOf([&] { registry.DeleteTree(user.Child(L"shell")); }), errc::kStoppedOnSymlink);

  registry.WriteDefault(Key(L"HKU\\S-1-5-21-9_Classes\\exefile\\shell\\mine\\"), L"m");
  EXPECT_EQ(registry.ReadKey(user.Child(L"shell").Child(L"mine")).value, StringValue(L"m"));
  EXPECT_TRUE(registry.ReadTree(user)->subkeys.empty());
  registry.DeleteTree(user);  // the link alone goes, never its target
  EXPECT_FALSE(registry.ReadKey(user).exists);
  EXPECT_TRUE(registry.ReadKey(Key(L"HKU\\S-1-5-21-9_Classes\\exefile\\shell\\mine\\")).exists);
}

// Security as Windows keeps it: what a key inherits is copied to keys created below it, CREATOR
// OWNER as its owner's; a descriptor is set as given, nothing passed down; another account as
// owner needs the privilege to restore.
TEST(MemoryRegistry, OwnersAndInheritedRightsAreKeptAsWindowsKeepsThem) {
  MemoryRegistry registry;
  const KeyPath verb = Key(L"HKLM\\Software\\Classes\\exefile\\shell\\tool\\");
  registry.WriteDefault(verb, L"caption");
  registry.GiveOwnAccessList(verb);
  registry.WriteDefault(verb.Child(L"command"), L"cmd");
  const KeyTree before = *registry.ReadTree(verb);
  registry.WriteDefault(Key(L"HKLM\\Software\\plain\\"), L"");
  EXPECT_NE(before.subkeys[0].security,
            registry.ReadTree(Key(L"HKLM\\Software\\plain\\"))->security);

  // Made again, the command key inherits from the verb key as it is then.
  registry.DeleteTree(verb);
  registry.WriteDefault(verb.Child(L"command"), L"cmd");
  registry.WriteDefault(verb, L"caption");
  EXPECT_NE(registry.ReadTree(verb), before);
  registry.SetSecurity(verb, before.security);
  EXPECT_NE(registry.ReadTree(verb), before);  // nothing passed down: each key by itself
  registry.SetSecurity(verb.Child(L"command"), before.subkeys[0].security);
  EXPECT_EQ(registry.ReadTree(verb), before);

  // Another account's key below a CREATOR OWNER entry: made again by us, which instantiates that
  // entry for us, and given its descriptor back as recorded, it reads as it was.
  const KeyPath theirs = verb.Parent().Child(L"theirs");
  registry.GrantCreatorOwner(verb.Parent());
  registry.CreateKeysAs(MemoryRegistry::kSystem);
  registry.WriteDefault(theirs.Child(L"command"), L"t.exe");
  registry.CreateKeysAs(MemoryRegistry::kCaller);
  const std::optional<KeyTree> recorded = registry.ReadTree(theirs);
  registry.DeleteTree(theirs);
  EXPECT_TRUE(RestoreTree(registry, theirs, recorded).empty());
  EXPECT_EQ(registry.ReadTree(theirs), recorded);

  registry.SetOwner(verb, MemoryRegistry::kSystem);
  const std::vector<std::uint8_t> owned = registry.ReadTree(verb)->security;
  registry.DeleteTree(verb);
  registry.WriteDefault(verb, L"caption");
  registry.HoldRestorePrivilege(false);
  EXPECT_FALSE(registry.CanRestoreSecurity(owned));
  EXPECT_TRUE(registry.CanRestoreSecurity(before.security));
  EXPECT_EQ(ErrorOf([&] { registry.SetSecurity(verb, owned); }), 1307u);
  registry.HoldRestorePrivilege(true);
  EXPECT_TRUE(registry.CanRestoreSecurity(owned));
  registry.SetSecurity(verb, owned);
  EXPECT_EQ(registry.ReadTree(verb)->security, owned);

  // What putting back cannot make as it was is said: a key whose class another program changed
  // (an existing key keeps its own), and a key beyond a link planted after a step.
  const KeyPath classed = verb.Parent().Child(L"classed");
  registry.CreateKey(classed, L"Ours");
  const std::optional<KeyTree> with_class = registry.ReadTree(classed);
  registry.DeleteTree(classed);
  registry.CreateKey(classed, L"Theirs");
  EXPECT_EQ(RestoreTree(registry, classed, with_class).size(), 1u);
  registry.DeleteTree(classed);
  registry.MakeLink(verb.Parent(), Key(L"HKLM\\Software\\plain\\"));
  const std::vector<LeftChanged> beyond = RestoreTree(registry, classed, with_class);
  ASSERT_EQ(beyond.size(), 1u);
  EXPECT_EQ(beyond[0].found, LeftChanged::Found::kUnreadable);
}

}  // namespace
}  // namespace vw
