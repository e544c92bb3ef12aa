#include "verbs/shell_verb_layout.h"

#include <gtest/gtest.h>

#include "tests/support/memory_registry.h"

namespace vw {
namespace {

TEST(ShellVerbLayout, VerbRootInBothNotations) {
  EXPECT_EQ(VerbRoot().hive, 0x80000000u);
  EXPECT_EQ(static_cast<std::int32_t>(VerbRoot().hive), -2147483647 - 1);
  EXPECT_EQ(KeyPathText(VerbRoot()), L"HKEY_CLASSES_ROOT\\exefile\\shell");
}

TEST(ShellVerbLayout, FormsNameProgramPathAndQuotedCommandLine) {
  struct Case {
    std::wstring_view folder, file, name, program, command;
  };
  const Case cases[] = {
      {L"C:\\Windows", L"notepad.exe", L"notepad", L"C:\\Windows\\notepad.exe",
       L"\"C:\\Windows\\notepad.exe\" \"%1\""},
      {L"C:\\", L"notepad.exe", L"notepad", L"C:\\notepad.exe", L"\"C:\\notepad.exe\" \"%1\""},
      {L"C:\\", L"tool2.exe", L"tool2", L"C:\\tool2.exe", L"\"C:\\tool2.exe\" \"%1\""},
      {L"C:\\Program Files\\Tool", L"tool.exe", L"tool", L"C:\\Program Files\\Tool\\tool.exe",
       L"\"C:\\Program Files\\Tool\\tool.exe\" \"%1\""},
      {L"D:\\工具", L"记事本.exe", L"记事本", L"D:\\工具\\记事本.exe",
       L"\"D:\\工具\\记事本.exe\" \"%1\""},
      {L"C:\\Apps", L"SETUP.EXE", L"SETUP", L"C:\\Apps\\SETUP.EXE",
       L"\"C:\\Apps\\SETUP.EXE\" \"%1\""},
      {L"C:\\100% & more", L"a b.exe", L"a b", L"C:\\100% & more\\a b.exe",
       L"\"C:\\100% & more\\a b.exe\" \"%1\""},
      // Exactly one backslash between folder and file, whatever the folder's form.
      {L"C:", L"x.exe", L"x", L"C:\\x.exe", L"\"C:\\x.exe\" \"%1\""},
      {L"\\\\srv\\share", L"t.exe", L"t", L"\\\\srv\\share\\t.exe",
       L"\"\\\\srv\\share\\t.exe\" \"%1\""},
      {L"\\\\srv\\share\\", L"t.exe", L"t", L"\\\\srv\\share\\t.exe",
       L"\"\\\\srv\\share\\t.exe\" \"%1\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    EXPECT_EQ(EntryName(c.file), c.name);
    EXPECT_EQ(ProgramPath(c.folder, c.file), c.program);
    EXPECT_EQ(CommandLine(ProgramPath(c.folder, c.file)), c.command);
    EXPECT_EQ(BreaksCommandLine(c.program), c.program.find(L'%') != std::wstring_view::npos);
  }
  EXPECT_TRUE(BreaksCommandLine(L"C:\\100%Lab\\x.exe"));
  EXPECT_FALSE(BreaksCommandLine(L"C:\\Lab\\x.exe"));
}

TEST(ShellVerbLayout, EntryNameDropsExactlyFourCharacters) {
  EXPECT_EQ(EntryName(L".exe"), L"");
  EXPECT_EQ(EntryName(L"a.exe"), L"a");
  EXPECT_EQ(EntryName(L"a.exe.exe"), L"a.exe");
  EXPECT_EQ(EntryName(L"tool .exe"), L"tool ");
  EXPECT_EQ(EntryName(L"exe"), L"");  // cannot come from the file list; never negative
  const std::wstring longest(251, L'长');
  EXPECT_EQ(EntryName(longest + L".exe"), longest);
}

TEST(ShellVerbLayout, KeyPathsOfAnEntry) {
  const auto text = [](const KeyPath& key) { return KeyPathText(key); };
  EXPECT_EQ(text(VerbKeyPath(L"tool")), L"HKEY_CLASSES_ROOT\\exefile\\shell\\tool");
  EXPECT_EQ(text(CommandKeyPath(L"tool")), L"HKEY_CLASSES_ROOT\\exefile\\shell\\tool\\command");
  EXPECT_EQ(VerbKeyPath(L"Notepad ").names.back(), L"Notepad ");
  EXPECT_EQ(text(CommandKeyPath(L"用 它")), L"HKEY_CLASSES_ROOT\\exefile\\shell\\用 它\\command");
  EXPECT_EQ(text(VerbKeyPath(ClassesStore::kMachine, L"tool")),
            L"HKEY_LOCAL_MACHINE\\Software\\Classes\\exefile\\shell\\tool");
  EXPECT_EQ(text(CommandKeyPath(ClassesStore::kUser, L"tool")),
            L"HKEY_CURRENT_USER\\Software\\Classes\\exefile\\shell\\tool\\command");
  // A name is one key, whatever it holds: never split at a null or at a '\\'.
  const std::wstring hidden(L"evil\0x", 6);
  EXPECT_EQ(VerbKeyPath(ClassesStore::kUser, hidden).names.size(), 5u);
  EXPECT_EQ(VerbKeyPath(ClassesStore::kUser, hidden).names.back(), hidden);
  // The keys the services accept are exactly those of valid names.
  EXPECT_TRUE(IsValidKeyPath(CommandKeyPath(std::wstring(255, L'x'))));
  EXPECT_FALSE(IsValidKeyPath(VerbKeyPath(std::wstring(256, L'x'))));
  EXPECT_FALSE(IsValidKeyPath(VerbKeyPath(L"")));
  EXPECT_FALSE(IsValidKeyPath(VerbKeyPath(L"a\\b")));
}

TEST(ShellVerbLayout, ListingSkipsOnlyTheExactSystemVerbs) {
  struct Case {
    std::wstring_view name;
    bool reserved;
  };
  const Case cases[] = {
      {L"open", true},    {L"runas", true},     {L" runas ", true}, {L"runas ", true},
      {L"  open", true},  {L"Open", false},     {L"Runas", false},  {L"RUNAS ", false},
      {L"opener", false}, {L"Notepad ", false}, {L"", false},       {L"\topen", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsReservedVerb(c.name), c.reserved) << "case " << (&c - cases);
}

TEST(ShellVerbLayout, NamesWeWriteMustNotBeSystemVerbsInAnyCase) {
  struct Case {
    std::wstring_view name;
    NameProblem problem;
  };
  const std::wstring at_limit(255, L'n');
  const std::wstring over_limit(256, L'n');
  const Case cases[] = {
      {L"tool", NameProblem::kNone},
      {L"Open", NameProblem::kReserved},
      {L"OPEN", NameProblem::kReserved},
      {L" runas", NameProblem::kReserved},
      {L"RunAs ", NameProblem::kReserved},
      {L"open2", NameProblem::kNone},
      {L"", NameProblem::kEmpty},
      {L"   ", NameProblem::kNone},
      {at_limit, NameProblem::kNone},
      {over_limit, NameProblem::kTooLong},
      {L"记事本", NameProblem::kNone},
      {L"runasuser", NameProblem::kReserved},
      {L"RunAsUser", NameProblem::kReserved},
      {L"runasuser2", NameProblem::kNone},
      {L"runa\u017F", NameProblem::kNone},  // long s is not s to the registry
      {L"\u0101bc", NameProblem::kNone},
  };
  const MemoryRegistry registry;
  for (const Case& c : cases)
    EXPECT_EQ(CheckEntryName(c.name, registry), c.problem) << "case " << (&c - cases);
  // Deleting compares the key's own name, untrimmed: "Open " is another key than open.
  EXPECT_TRUE(IsSystemVerbKey(L"Open", registry));
  EXPECT_TRUE(IsSystemVerbKey(L"RUNASUSER", registry));
  EXPECT_FALSE(IsSystemVerbKey(L"Open ", registry));
  EXPECT_FALSE(IsSystemVerbKey(L" runas", registry));
}

}  // namespace
}  // namespace vw
