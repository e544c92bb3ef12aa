#include "operations/add_entry.h"

#include <gtest/gtest.h>

#include <tuple>

#include "operations/load_entries.h"
#include "operations/remove_entry.h"
#include "registry/desktop_user_classes.h"
#include "tests/support/keys.h"
#include "tests/support/memory_registry.h"
#include "tests/support/registry_diff.h"
#include "tests/support/scripted_form.h"
#include "verbs/shell_verb_layout.h"
#include "words/texts.h"

namespace vw {
namespace {

using testing::Key;

using testing::ScriptedForm;
using Box = ScriptedForm::Box;
using Names = std::vector<std::wstring>;

std::wstring JoinFolder(const std::wstring& folder, const std::wstring& file) {
  return folder.ends_with(L'\\') ? folder + file : folder + L"\\" + file;
}

std::optional<std::wstring> TextAt(MemoryRegistry& registry, const KeyPath& key) {
  const KeyState state = registry.ReadKey(key);
  if (!state.exists || !state.value) return std::nullopt;
  return TextOf(*state.value);
}

// A verb root as Windows ships it, with the system's two verbs.
void AddSystemVerbs(MemoryRegistry& registry) {
  registry.WriteDefault(CommandKeyPath(L"open"), L"\"%1\" %*");
  registry.WriteDefault(CommandKeyPath(L"runas"), L"\"%1\" %*");
}

class AddEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { AddSystemVerbs(registry); }
  MemoryRegistry registry;
  ScriptedForm form;
};

TEST_F(AddEntryTest, WithNoFileChosenOnlySaysSo) {
  form.caption = L"typed anyway";
  const std::wstring before = registry.Dump();
  AddEntry(form, form, registry);
  ASSERT_EQ(form.boxes.size(), 1u);
  EXPECT_EQ(form.boxes[0].prompt, L"请选择要加入右键菜单的文件啊，亲！");
  EXPECT_EQ(form.boxes[0].kind, Box::Kind::kNotice);
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_TRUE(form.entries.items.empty());
}

TEST_F(AddEntryTest, WritesCaptionAndQuotedCommandThenListsAndConfirms) {
  form.file_name = L"notepad.exe";
  form.caption = L"X";
  AddEntry(form, form, registry);
  ASSERT_EQ(form.boxes.size(), 2u);
  // The sentence first, then what the entry will be.
  EXPECT_EQ(form.boxes[0].prompt,
            L"你确定把该项添加到右键菜单吗？\n\n菜单项：notepad\n菜单文字：X\n"
            L"运行：\"C:\\Windows\\notepad.exe\" \"%1\"");
  EXPECT_EQ(form.boxes[0].kind, Box::Kind::kConfirm);
  EXPECT_EQ(form.boxes[0].default_answer, DefaultAnswer::kOk);
  EXPECT_EQ(form.boxes[1].prompt, L"搞定了，亲！快去试试吧！");
  EXPECT_EQ(form.boxes[1].kind, Box::Kind::kDone);
  EXPECT_EQ(TextAt(registry, Key(L"HKEY_CLASSES_ROOT\\exefile\\shell\\notepad\\")), L"X");
  EXPECT_EQ(TextAt(registry, Key(L"HKEY_CLASSES_ROOT\\exefile\\shell\\notepad\\command\\")),
            L"\"C:\\Windows\\notepad.exe\" \"%1\"");
  EXPECT_EQ(form.entries.items, Names{L"notepad"});
  EXPECT_EQ(form.entries.selected, 0);  // the new entry, selected and in view
  EXPECT_EQ(form.registry_changes, 1);
  EXPECT_TRUE(form.errors.empty());

  // The same add again, with another caption: both values rewritten, silently.
  form.boxes.clear();
  form.caption = L"";
  form.dir_path = L"C:\\";
  AddEntry(form, form, registry);
  ASSERT_EQ(form.boxes.size(), 1u);
  // An empty menu text is said to show as an empty item.
  EXPECT_NE(form.boxes[0].prompt.find(L"菜单文字：（空：右键菜单里会出现一个没有文字的空白项）\n"),
            std::wstring::npos);
  EXPECT_EQ(TextAt(registry, VerbKeyPath(L"notepad")), L"");
  EXPECT_EQ(TextAt(registry, CommandKeyPath(L"notepad")), L"\"C:\\notepad.exe\" \"%1\"");
  EXPECT_EQ(form.entries.items, Names{L"notepad"});
}

// Cancel, or a box that went away unanswered as its window was closed: only OK goes on.
TEST_F(AddEntryTest, CancelWritesNothing) {
  form.file_name = L"tool.exe";
  form.answers = {false};
  const std::wstring before = registry.Dump();
  AddEntry(form, form, registry);
  EXPECT_EQ(form.boxes.size(), 1u);
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_TRUE(form.entries.items.empty());
  EXPECT_EQ(form.registry_changes, 0);
}

TEST_F(AddEntryTest, RefusesNamesThatAreSystemVerbsOrEmpty) {
  const std::wstring files[] = {L"open.exe",
                                L"OPEN.EXE",
                                L"Open.exe",
                                L" runas.exe",
                                L"RunAs .exe",
                                L".exe",
                                std::wstring(256, L'长') + L".exe"};  // too long for a key name
  const std::wstring before = registry.Dump();
  for (const std::wstring& file : files) {
    form.boxes.clear();
    form.file_name = file;
    AddEntry(form, form, registry);
    ASSERT_EQ(form.boxes.size(), 1u) << "file " << (&file - files);
    EXPECT_EQ(form.boxes[0].kind, Box::Kind::kNotice);
    EXPECT_NE(form.boxes[0].prompt, text::kConfirmAdd);
  }
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_TRUE(form.entries.items.empty());
  form.file_name = L"opener.exe";  // only the whole name counts
  AddEntry(form, form, registry);
  EXPECT_EQ(form.entries.items, Names{L"opener"});
}

TEST_F(AddEntryTest, NamesDifferingOnlyInCaseAreOneEntry) {
  registry.WriteDefault(VerbKeyPath(L"Tool"), L"old");
  registry.WriteDefault(CommandKeyPath(L"Tool"), L"old.exe %1");
  form.entries.items = {L"Tool"};
  form.file_name = L"tool.exe";
  form.dir_path = L"C:\\Program Files\\Tool";
  form.caption = L"用 tool 打开";
  AddEntry(form, form, registry);
  EXPECT_EQ(form.entries.items, Names{L"Tool"});
  EXPECT_EQ(form.entries.selected, 0);
  EXPECT_EQ(form.boxes.size(), 1u);  // no success message for an update
  // The confirmation said what the entry was, and that it would be replaced.
  EXPECT_EQ(form.boxes[0].prompt,
            L"你确定把该项添加到右键菜单吗？\n\n菜单项：tool\n菜单文字：用 tool 打开\n"
            L"运行：\"C:\\Program Files\\Tool\\tool.exe\" \"%1\"\n\n"
            L"右键菜单里已经有这一项，添加会把它替换掉。它原来是：\n菜单文字：old\n"
            L"运行：old.exe %1");
  std::vector<std::wstring> keys;
  registry.ListSubkeys(VerbRoot(), keys);
  EXPECT_EQ(keys, (Names{L"open", L"runas", L"Tool"}));
  EXPECT_EQ(TextAt(registry, CommandKeyPath(L"TOOL")),
            L"\"C:\\Program Files\\Tool\\tool.exe\" \"%1\"");
  EXPECT_EQ(TextAt(registry, VerbKeyPath(L"tool")), L"用 tool 打开");
}

TEST_F(AddEntryTest, OddNamesAndFoldersAreWrittenAsTheyAre) {
  struct Case {
    std::wstring folder, file, name, command;
  };
  const Case cases[] = {
      {L"D:\\工具 箱", L"记事本.exe", L"记事本", L"\"D:\\工具 箱\\记事本.exe\" \"%1\""},
      {L"C:\\R&D", L"a&b (x86).exe", L"a&b (x86)", L"\"C:\\R&D\\a&b (x86).exe\" \"%1\""},
      {L"C:\\", L"tool2.exe", L"tool2", L"\"C:\\tool2.exe\" \"%1\""},
      {L"C:\\x", L"Notepad .exe", L"Notepad ", L"\"C:\\x\\Notepad .exe\" \"%1\""},
  };
  for (const Case& c : cases) {
    form.dir_path = c.folder;
    form.file_name = c.file;
    form.caption = c.name + L" caption";
    AddEntry(form, form, registry);
    EXPECT_EQ(TextAt(registry, CommandKeyPath(c.name)), c.command);
    EXPECT_EQ(TextAt(registry, VerbKeyPath(c.name)), c.name + L" caption");
  }
  EXPECT_EQ(form.entries.items, (Names{L"记事本", L"a&b (x86)", L"tool2", L"Notepad "}));
  EXPECT_TRUE(form.errors.empty());
}

// A command that could not run is refused up front: Explorer would replace %-sequences anywhere
// in it; Windows starts no program whose path is longer than 259 characters; and a program
// deleted since it was picked is not there to start.
TEST_F(AddEntryTest, RefusesAProgramThatCouldNotRun) {
  const std::wstring before = registry.Dump();
  const std::wstring deep = L"C:\\" + std::wstring(248, L'd');
  form.missing_programs = {L"C:\\gone\\tool.exe"};
  const std::tuple<std::wstring, std::wstring, std::wstring> cases[] = {
      {L"C:\\100%Lab", L"tool.exe", L"%"},
      {L"C:\\", L"50%.exe", L"%"},
      {deep, L"abcd.exe", L"259"},  // 260 characters
      {L"C:\\gone", L"tool.exe", L"找不到"},
  };
  for (const auto& [folder, file, said] : cases) {
    form.boxes.clear();
    form.dir_path = folder;
    form.file_name = file;
    AddEntry(form, form, registry);
    ASSERT_EQ(form.boxes.size(), 1u);
    EXPECT_EQ(form.boxes[0].kind, Box::Kind::kNotice);
    EXPECT_NE(form.boxes[0].prompt.find(said), std::wstring::npos);
    // A path too long for a box is shortened in the middle, its drive and file name kept.
    EXPECT_NE(form.boxes[0].prompt.find(text::CompactPath(JoinFolder(folder, file))),
              std::wstring::npos);
  }
  // Only a program that has gone makes the file list read its folder again.
  EXPECT_EQ(form.programs_read_again, 1);
  EXPECT_EQ(text::CompactPath(deep + L"\\abcd.exe"),
            L"C:\\…" + std::wstring(59, L'd') + L"\\abcd.exe");  // 72 in all
  EXPECT_EQ(text::CompactPath(L"C:\\short\\tool.exe"), L"C:\\short\\tool.exe");
  EXPECT_EQ(text::CompactPath(L"\\\\server\\share\\" + std::wstring(100, L'x') + L"\\t.exe")
                .substr(0, 16),
            L"\\\\server\\share\\…");
  // In a command line, the program's path is shortened inside its quotes.
  EXPECT_EQ(text::CompactCommand(L"\"" + deep + L"\\abcd.exe\" \"%1\""),
            L"\"C:\\…" + std::wstring(52, L'd') + L"\\abcd.exe\" \"%1\"");
  // A box's long runs fit its width; wrapped text, East Asian or spaced, stays whole.
  const auto units = [](std::wstring_view run) { return static_cast<int>(run.size()); };
  const std::wstring sentence =
      L"找不到程序“" + deep + L"\\abcd.exe”：请重新选择 " + std::wstring(90, L'n') + L" 或 a b c";
  const std::wstring fitted = text::FitLongRuns(sentence, units, 40);
  EXPECT_EQ(fitted, L"找不到程序“C:\\…" + std::wstring(27, L'd') + L"\\abcd.exe”：请重新选择 " +
                        std::wstring(19, L'n') + L"…" + std::wstring(20, L'n') + L" 或 a b c");

  // Checked again once the user has answered: a program deleted while the box was open is not
  // written.
  form.dir_path = L"C:\\later";
  form.file_name = L"tool.exe";
  form.boxes.clear();
  form.on_box = [&] { form.missing_programs.insert(L"C:\\later\\tool.exe"); };
  AddEntry(form, form, registry);
  form.on_box = nullptr;
  ASSERT_EQ(form.boxes.size(), 2u);
  EXPECT_EQ(form.boxes[1].kind, Box::Kind::kNotice);
  EXPECT_NE(form.boxes[1].prompt.find(L"找不到"), std::wstring::npos);
  EXPECT_EQ(form.programs_read_again, 2);
  EXPECT_EQ(registry.Dump(), before);

  form.dir_path = deep;
  form.file_name = L"abc.exe";  // 259 characters: Windows starts it
  form.boxes.clear();
  AddEntry(form, form, registry);
  EXPECT_EQ(form.boxes.size(), 2u);
  EXPECT_EQ(form.entries.items, Names{L"abc"});
  registry.DeleteTree(VerbKeyPath(ClassesStore::kMachine, L"abc"));
  form.entries.items.clear();
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_TRUE(form.entries.items.empty());
}

// Names the registry holds as one key are one list item, whatever the case table says of them.
TEST_F(AddEntryTest, NamesTheRegistryTakesAsOneAreListedOnce) {
  for (const wchar_t* file : {L"\u0101bc.exe", L"\u0100bc.exe", L"\u0101BC.exe"}) {
    form.file_name = file;
    AddEntry(form, form, registry);
  }
  EXPECT_EQ(form.entries.items, Names{L"\u0101bc"});
  form.file_name = L"runa\u017F.exe";  // long s is not s to the registry: not runas
  form.boxes.clear();
  AddEntry(form, form, registry);
  ASSERT_EQ(form.boxes.size(), 2u);
  EXPECT_EQ(form.boxes[1].kind, Box::Kind::kDone);
}

// This user's copy of an entry hides the machine's from this user: it is written too.
TEST_F(AddEntryTest, WritesForEveryUserAndIntoThisUsersCopy) {
  registry.WriteDefault(VerbKeyPath(ClassesStore::kUser, L"Tool"), L"mine");
  form.file_name = L"tool.exe";
  form.caption = L"new";
  AddEntry(form, form, registry);
  for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
    EXPECT_EQ(TextAt(registry, VerbKeyPath(hive, L"tool")), L"new");
    EXPECT_EQ(TextAt(registry, CommandKeyPath(hive, L"tool")), L"\"C:\\Windows\\tool.exe\" \"%1\"");
  }
  form.file_name = L"other.exe";
  AddEntry(form, form, registry);
  EXPECT_TRUE(registry.ReadKey(VerbKeyPath(ClassesStore::kMachine, L"other")).exists);
  EXPECT_FALSE(registry.ReadKey(VerbKeyPath(ClassesStore::kUser, L"other")).exists);
}

// A fault at any registry call leaves either the registry as it was, or the whole entry.
TEST_F(AddEntryTest, AFailureAtAnyCallLeavesNoHalfEntry) {
  struct Start {
    const char* what;
    void (*prepare)(MemoryRegistry&, ScriptedForm&);
  };
  const Start starts[] = {
      {"new entry", [](MemoryRegistry&, ScriptedForm&) {}},
      {"existing entry",
       [](MemoryRegistry& r, ScriptedForm& f) {
         r.WriteDefault(VerbKeyPath(L"tool"), L"old caption");
         r.WriteValue(CommandKeyPath(L"tool"), L"",
                      RegValue{kRegExpandSz, StringValue(L"%x% %1").data});
         f.entries.items = {L"tool"};
       }},
      {"verb key without command or value",
       [](MemoryRegistry& r, ScriptedForm& f) {
         r.WriteValue(VerbKeyPath(L"TOOL"), L"", std::nullopt);
         r.WriteDefault(VerbKeyPath(L"TOOL").Child(L"ddeexec"), L"keep");
         f.entries.items = {L"TOOL"};
       }},
      {"this user's copy only",
       [](MemoryRegistry& r, ScriptedForm& f) {
         r.WriteDefault(CommandKeyPath(ClassesStore::kUser, L"Tool"), L"mine.exe %1");
         f.entries.items = {L"Tool"};
       }},
      {"both hives",
       [](MemoryRegistry& r, ScriptedForm& f) {
         r.WriteDefault(VerbKeyPath(ClassesStore::kMachine, L"tool"), L"machine's");
         r.WriteDefault(VerbKeyPath(ClassesStore::kUser, L"tool"), L"mine");
         r.WriteValue(CommandKeyPath(ClassesStore::kUser, L"tool"), L"DelegateExecute",
                      StringValue(L"{ea72d00e}"));
         r.WriteValue(VerbKeyPath(ClassesStore::kMachine, L"tool"), L"MUIVerb", StringValue(L"@x"));
         r.WriteValue(VerbKeyPath(ClassesStore::kMachine, L"tool"), std::wstring(L"\0x", 2),
                      RegValue{kRegSz, {'h', 0}});
         f.entries.items = {L"tool"};
       }},
      {"no class of executables yet",
       [](MemoryRegistry& r, ScriptedForm&) {
         r.DeleteTree(Key(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\exefile\\"));
       }},
      {"no shell key yet",
       [](MemoryRegistry& r, ScriptedForm&) {
         r.DeleteTree(Key(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\exefile\\shell\\"));
         r.WriteDefault(Key(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\exefile\\"), L"Application");
       }},
      {"verb key with a named value and no default one",
       [](MemoryRegistry& r, ScriptedForm& f) {
         r.WriteValue(VerbKeyPath(L"tool"), L"MUIVerb", StringValue(L"@x"));
         f.entries.items = {L"tool"};
       }},
  };
  using Strike = MemoryRegistry::Strike;
  for (const Start& start : starts) {
    for (const Strike strike : {Strike::kBeforeAnything, Strike::kAfterCreatingKeys}) {
      for (std::size_t failing = 0;; ++failing) {
        SCOPED_TRACE(::testing::Message() << start.what << ", call " << failing << " fails"
                                          << (strike == Strike::kBeforeAnything ? "" : " late"));
        MemoryRegistry r;
        AddSystemVerbs(r);
        ScriptedForm f;
        start.prepare(r, f);
        f.file_name = L"tool.exe";
        f.caption = L"new caption";
        const std::wstring before = r.Dump();
        const Names list_before = f.entries.items;
        const std::size_t calls_before = r.call_count();
        r.FailCallAfter(failing, errc::kAccessDenied, strike);
        AddEntry(f, f, r);
        r.ClearFaults();
        // A fault after the last call, or one a read for the confirmation took in its stride:
        // the whole entry is there.
        const bool struck = r.call_count() > calls_before + failing;
        if (f.errors.empty()) {
          EXPECT_EQ(TextAt(r, VerbKeyPath(L"tool")), L"new caption");
          EXPECT_EQ(TextAt(r, CommandKeyPath(L"tool")), L"\"C:\\Windows\\tool.exe\" \"%1\"");
          EXPECT_EQ(TextAt(r, VerbKeyPath(ClassesStore::kMachine, L"tool")), L"new caption");
          // Nothing another program left on the entry can hide or override it.
          for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
            if (const auto tree = r.ReadTree(VerbKeyPath(hive, L"tool"))) {
              EXPECT_EQ(tree->values.size(), 1u);
              ASSERT_EQ(tree->subkeys.size(), 1u);
              EXPECT_EQ(tree->subkeys[0].values.size(), 1u);
            }
          }
          if (!struck) break;
          continue;
        }
        EXPECT_EQ(f.errors.size(), 1u);
        EXPECT_EQ(f.errors[0].code(), errc::kAccessDenied);
        EXPECT_EQ(r.Dump(), before);
        EXPECT_EQ(f.entries.items, list_before);
        EXPECT_EQ(f.registry_changes, 0);
        ASSERT_LT(failing, 40u);
      }
    }
  }
}

// A key that refuses an access, as its ACL may: only the refusal is reported, and only what took
// effect is put back, the refusal included. If putting back fails as well, each further report
// names a key left changed, and every key left changed is named.
TEST(AddEntry, ARefusedWriteIsTheOnlyErrorAndOnlyWhatChangedIsPutBack) {
  const std::wstring old_command = L"\"C:\\apps2\\tool.exe\" \"%1\"";
  using Access = MemoryRegistry::Access;
  const std::pair<KeyPath, Access> refusals[] = {
      {CommandKeyPath(ClassesStore::kMachine, L"Tool"), Access::kSetValue},
      {VerbKeyPath(ClassesStore::kMachine, L"Tool"), Access::kSetValue},
      {VerbKeyPath(ClassesStore::kUser, L"Tool"), Access::kSetValue},
  };
  for (const auto& [refusing, access] : refusals) {
    // Then each call after the two reads and the first write fails in turn as well.
    for (std::size_t also_failing = 0; also_failing < 16; ++also_failing) {
      SCOPED_TRACE(::testing::Message()
                   << "refusing " << refusing.names.size() << ", also failing " << also_failing);
      MemoryRegistry r;
      AddSystemVerbs(r);
      for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
        r.WriteDefault(VerbKeyPath(hive, L"Tool"), L"用 tool 打开");
        r.WriteDefault(CommandKeyPath(hive, L"Tool"), old_command);
      }
      ScriptedForm f;
      f.entries.items = {L"Tool"};
      f.file_name = L"Tool.exe";
      f.dir_path = L"C:\\apps";
      r.Deny(access, refusing, errc::kAccessDenied);
      const std::wstring before = r.Dump();
      if (also_failing > 0) r.FailCallAfter(also_failing + 2, errc::kKeyDeleted);
      AddEntry(f, f, r);
      const std::wstring after = r.Dump();
      r.ClearFaults();
      ASSERT_FALSE(f.errors.empty());
      if (also_failing == 0) {
        EXPECT_EQ(f.errors.size(), 1u);
        EXPECT_TRUE(f.errors[0].detail().ends_with(L"这次没有做任何修改。"));  // all put back
        EXPECT_EQ(f.errors[0].subject(), KeyPathText(refusing));
        EXPECT_EQ(after, before);
      }
      const std::vector<SystemError> undo(f.errors.begin() + 1, f.errors.end());
      EXPECT_EQ(testing::UndoReportMismatch(testing::ChangedKeys(before, after), undo), "");
      EXPECT_EQ(f.entries.items, Names{L"Tool"});
    }
  }
}

// Another program makes a link inside the entry while the add runs, and the add then fails (or is
// refused, the link made before the record): what was ours is put back, the link stays.
TEST(AddEntry, ALinkMadeInsideTheEntryMeanwhileIsLeftWhereItIs) {
  const KeyPath verb = VerbKeyPath(ClassesStore::kMachine, L"tool");
  for (std::size_t at = 0; at < 8; ++at) {
    SCOPED_TRACE(::testing::Message() << "made at call " << at);
    MemoryRegistry r;
    AddSystemVerbs(r);
    r.WriteDefault(verb.Child(L"command"), L"old.exe");
    r.Deny(MemoryRegistry::Access::kSetValue, verb.Child(L"command"), errc::kAccessDenied);
    bool made = false;
    r.AtCall(at, [&] {
      r.MakeLink(verb.Child(L"link"), Key(L"HKLM\\Software\\Elsewhere\\"));
      made = true;
    });
    ScriptedForm f;
    f.entries.items = {L"tool"};
    f.file_name = L"tool.exe";
    AddEntry(f, f, r);
    r.ClearFaults();
    if (!made) break;  // the add ended before
    ASSERT_TRUE(r.ReadKey(verb.Child(L"link")).exists);
    EXPECT_TRUE(r.ReadTree(verb.Child(L"link"))->link);
    EXPECT_EQ(TextAt(r, verb.Child(L"command")), L"old.exe");
  }
}

// Elevated as an administrator by a standard user: the list, the copies an add updates and the
// copies a removal deletes are the desktop user's, never the administrator's own.
TEST(AddEntry, ElevatedAsAnotherAccountTheDesktopUsersCopiesAreTheUsers) {
  MemoryRegistry memory;
  AddSystemVerbs(memory);
  const KeyPath desktop = Key(L"HKEY_USERS\\S-1-5-21-7-1001_Classes\\exefile\\shell\\");
  memory.WriteDefault(VerbKeyPath(ClassesStore::kMachine, L"tool"), L"machine's");
  memory.WriteDefault(desktop.Child(L"Tool"), L"desktop user's");
  memory.WriteDefault(desktop.Child(L"mine").Child(L"command"), L"m.exe");
  memory.WriteDefault(VerbKeyPath(ClassesStore::kUser, L"admins"), L"the administrator's");
  // Found from the session's account, looked up as "domain\user" alone and taken only as a
  // user's: one who cannot be found is nobody's, never the administrator's.
  const AccountLookup lookup = [](const std::wstring& name) -> std::optional<FoundAccount> {
    if (name == L"PC\\ann") return FoundAccount{L"S-1-5-21-7-1001", true};
    if (name == L"ann") return FoundAccount{L"S-1-5-21-9-1001", true};  // another domain's ann
    if (name == L"PC\\admin") return FoundAccount{L"S-1-5-21-7-500", true};
    if (name == L"PC\\staff") return FoundAccount{L"S-1-5-21-7-513", false};  // a group
    return std::nullopt;  // another domain, or one that does not answer
  };
  using Whose = UserClasses::Whose;
  const std::pair<SessionAccount, Whose> sessions[] = {
      {{L"", L""}, Whose::kCurrentUser},    {{L"admin", L"PC"}, Whose::kCurrentUser},
      {{L"ann", L"PC"}, Whose::kOtherUser}, {{L"ann", L"OFFLINE"}, Whose::kUnknown},
      {{L"ann", L""}, Whose::kUnknown},     {{L"staff", L"PC"}, Whose::kUnknown},
      {{L"", L"", false}, Whose::kUnknown}};
  for (const auto& [session, whose] : sessions) {
    EXPECT_EQ(FindUserClasses(session, L"S-1-5-21-7-500", lookup).whose, whose)
        << session.user.size() << " " << session.domain.size();
  }
  const UserClasses found = FindUserClasses({L"ann", L"PC"}, L"S-1-5-21-7-500", lookup);
  EXPECT_EQ(found.root, Key(L"HKEY_USERS\\S-1-5-21-7-1001_Classes\\"));
  {
    // Nobody's: the list shows, nothing changes.
    DesktopUserClasses nobody(memory, std::nullopt);
    const std::wstring before = memory.Dump();
    ScriptedForm form;
    LoadEntries(nobody, form.entries);
    form.file_name = L"tool.exe";
    AddEntry(form, form, nobody);
    form.entries.selected = 0;
    RemoveEntry(form, form, nobody);
    EXPECT_EQ(memory.Dump(), before);
    ASSERT_EQ(form.boxes.size(), 4u);
    EXPECT_EQ(form.boxes[1].prompt, text::kUnknownDesktopUserRefused);
    EXPECT_EQ(form.boxes[3].prompt, text::kUnknownDesktopUserRefused);
  }
  const std::optional<KeyPath> root = found.root;
  DesktopUserClasses registry(memory, *root);

  ScriptedForm form;
  LoadEntries(registry, form.entries);
  EXPECT_EQ(form.entries.items, (Names{L"mine", L"Tool"}));
  form.file_name = L"tool.exe";
  form.caption = L"new";
  AddEntry(form, form, registry);
  EXPECT_EQ(TextAt(memory, VerbKeyPath(ClassesStore::kMachine, L"tool")), L"new");
  EXPECT_EQ(TextAt(memory, desktop.Child(L"tool")), L"new");
  EXPECT_EQ(TextAt(memory, desktop.Child(L"tool").Child(L"command")),
            L"\"C:\\Windows\\tool.exe\" \"%1\"");
  form.entries.selected = 0;
  RemoveEntry(form, form, registry);
  EXPECT_FALSE(memory.ReadKey(desktop.Child(L"mine")).exists);
  EXPECT_EQ(TextAt(memory, VerbKeyPath(ClassesStore::kUser, L"admins")), L"the administrator's");
  EXPECT_TRUE(form.errors.empty());
}

}  // namespace
}  // namespace vw
