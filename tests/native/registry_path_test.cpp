#include "registry/key_path.h"
#include "words/texts.h"
#include "words/visible_names.h"

#include <gtest/gtest.h>

namespace vw {
namespace {

TEST(RegistryPath, ParsesRootNamesAndKeyNames) {
  struct Case {
    std::wstring path;
    std::optional<KeyPath> expected;
  };
  const std::wstring long_name(255, L'n');
  const std::wstring too_long(256, L'n');
  const Case cases[] = {
      {L"HKEY_CLASSES_ROOT\\exefile\\shell\\tool\\",
       KeyPath{kHiveClassesRoot, {L"exefile", L"shell", L"tool"}}},
      {L"HKCR\\exefile\\", KeyPath{kHiveClassesRoot, {L"exefile"}}},
      {L"hkcu\\Software\\x\\", KeyPath{kHiveCurrentUser, {L"Software", L"x"}}},
      {L"HKEY_CURRENT_USER\\a\\", KeyPath{kHiveCurrentUser, {L"a"}}},
      {L"HKLM\\Software\\记事本 x\\", KeyPath{kHiveLocalMachine, {L"Software", L"记事本 x"}}},
      {L"HKEY_LOCAL_MACHINE\\a b \\", KeyPath{kHiveLocalMachine, {L"a b "}}},
      {L"HKCR\\" + long_name + L"\\", KeyPath{kHiveClassesRoot, {long_name}}},
      // Refused: no key name, an empty key name, a value path, an unknown root, a long name.
      {L"HKEY_CLASSES_ROOT\\", std::nullopt},
      {L"HKEY_CLASSES_ROOT\\exefile\\shell\\\\", std::nullopt},
      {L"HKEY_CLASSES_ROOT\\exefile\\\\shell\\", std::nullopt},
      {L"HKEY_CLASSES_ROOT\\exefile\\shell", std::nullopt},
      {L"HKEY_USERS\\S-1-5-21-1_Classes\\", KeyPath{kHiveUsers, {L"S-1-5-21-1_Classes"}}},
      {L"HKEY_PERFORMANCE_DATA\\x\\", std::nullopt},
      {L"\\exefile\\", std::nullopt},
      {L"", std::nullopt},
      {L"HKCR\\" + too_long + L"\\", std::nullopt},
      // A name is counted: a null in it is part of it.
      {std::wstring(L"HKLM\\a\0b\\", 9), KeyPath{kHiveLocalMachine, {std::wstring(L"a\0b", 3)}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseKeyPath(c.path), c.expected) << c.path.size();
  }
}

// The one join and the one parent; a key written out as the registry writes it, and shown to the
// user with every unit visible.
TEST(RegistryPath, KeysJoinSplitAndShowThemselves) {
  const KeyPath shell{kHiveClassesRoot, {L"exefile", L"shell"}};
  EXPECT_EQ(shell.Child(L"Tool").Child(L"command"),
            (KeyPath{kHiveClassesRoot, {L"exefile", L"shell", L"Tool", L"command"}}));
  EXPECT_EQ(shell.Child(L"Tool").Parent(), shell);
  EXPECT_TRUE(KeyPath({kHiveUsers, {L"x"}}).Parent().names.empty());

  EXPECT_EQ(KeyPathText(shell.Child(L"Tool").Child(L"command")),
            L"HKEY_CLASSES_ROOT\\exefile\\shell\\Tool\\command");
  EXPECT_EQ(KeyPathText({kHiveLocalMachine, {L"Software", L"x"}}),
            L"HKEY_LOCAL_MACHINE\\Software\\x");
  const std::wstring evil = KeyPathText({kHiveCurrentUser, {std::wstring(L"evil\0x", 6)}});
  EXPECT_EQ(evil, std::wstring(L"HKEY_CURRENT_USER\\evil\0x", 24));
  EXPECT_EQ(text::VisibleKeyPath(evil), L"HKEY_CURRENT_USER\\evil\u2400x");
  EXPECT_NE(text::ErrorReport(SystemError(5, Doing::kReadingKey, evil)).find(L"evil\u2400x"),
            std::wstring::npos);
  EXPECT_EQ(text::VisibleName(std::wstring(L"\0a\tb\x7f ", 6)), L"\u2400a\u2409b\u2421\u2423");
  EXPECT_EQ(text::VisibleName(L" Notepad  x "),
            L"\u2423Notepad  x\u2423");  // inner spaces are plain

  EXPECT_FALSE(IsValidKeyPath({kHiveClassesRoot, {}}));
  EXPECT_FALSE(IsValidKeyPath({kHiveClassesRoot, {L"a\\b"}}));
  EXPECT_FALSE(IsValidKeyPath({kHiveClassesRoot, {L"a", L""}}));
  EXPECT_FALSE(IsValidKeyPath({0x80000004u, {L"a"}}));
  EXPECT_TRUE(IsValidKeyPath({kHiveUsers, {std::wstring(L"\0", 1)}}));
}

}  // namespace
}  // namespace vw
