#include "verbs/registry_path.h"

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
       KeyPath{kHiveClassesRoot, L"exefile\\shell\\tool"}},
      {L"HKCR\\exefile\\", KeyPath{kHiveClassesRoot, L"exefile"}},
      {L"hkcu\\Software\\x\\", KeyPath{kHiveCurrentUser, L"Software\\x"}},
      {L"HKEY_CURRENT_USER\\a\\", KeyPath{kHiveCurrentUser, L"a"}},
      {L"HKLM\\Software\\记事本 x\\", KeyPath{kHiveLocalMachine, L"Software\\记事本 x"}},
      {L"HKEY_LOCAL_MACHINE\\a b \\", KeyPath{kHiveLocalMachine, L"a b "}},
      {L"HKCR\\" + long_name + L"\\", KeyPath{kHiveClassesRoot, long_name}},
      // Refused: no key name, an empty key name, a value path, an unknown root, a long name.
      {L"HKEY_CLASSES_ROOT\\", std::nullopt},
      {L"HKEY_CLASSES_ROOT\\exefile\\shell\\\\", std::nullopt},
      {L"HKEY_CLASSES_ROOT\\exefile\\\\shell\\", std::nullopt},
      {L"HKEY_CLASSES_ROOT\\exefile\\shell", std::nullopt},
      {L"HKEY_USERS\\S-1-5-21-1_Classes\\", KeyPath{kHiveUsers, L"S-1-5-21-1_Classes"}},
      {L"HKEY_PERFORMANCE_DATA\\x\\", std::nullopt},
      {L"\\exefile\\", std::nullopt},
      {L"", std::nullopt},
      {L"HKCR\\" + too_long + L"\\", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseKeyPath(c.path), c.expected) << c.path.size();
  }
}

TEST(RegistryPath, RelativePathsNeedNonEmptyNames) {
  EXPECT_TRUE(IsValidRelativePath(L"exefile\\shell"));
  EXPECT_TRUE(IsValidRelativePath(L"exefile"));
  EXPECT_FALSE(IsValidRelativePath(L""));
  EXPECT_FALSE(IsValidRelativePath(L"exefile\\"));
  EXPECT_FALSE(IsValidRelativePath(L"\\exefile"));
  EXPECT_FALSE(IsValidRelativePath(L"exefile\\\\shell"));
}

TEST(RegistryPath, ShowsPathsWithTheRootsFullNameAndNoTrailingBackslash) {
  EXPECT_EQ(DisplayKeyPath(L"HKCR\\exefile\\shell\\Tool\\command\\"),
            L"HKEY_CLASSES_ROOT\\exefile\\shell\\Tool\\command");
  EXPECT_EQ(DisplayKeyPath(L"hklm\\Software\\x\\"), L"HKEY_LOCAL_MACHINE\\Software\\x");
  EXPECT_EQ(DisplayKeyPath(kHiveCurrentUser, L"Software\\x"), L"HKEY_CURRENT_USER\\Software\\x");
  EXPECT_EQ(DisplayKeyPath(kHiveClassesRoot, L"exefile\\shell"),
            L"HKEY_CLASSES_ROOT\\exefile\\shell");
  EXPECT_EQ(DisplayKeyPath(L"HKEY_DYN_DATA\\x\\"), L"HKEY_DYN_DATA\\x");  // unparsed, as given
}

}  // namespace
}  // namespace vw
