#include "operations/remove_entry.h"

#include <gtest/gtest.h>

#include "tests/support/memory_registry.h"
#include "tests/support/registry_diff.h"
#include "tests/support/scripted_form.h"
#include "verbs/shell_verb_layout.h"

namespace vw {
namespace {

using testing::ScriptedForm;
using Box = ScriptedForm::Box;
using Names = std::vector<std::wstring>;

class RemoveEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry.WriteDefault(CommandKeyPath(L"open"), L"\"%1\" %*");
    registry.WriteDefault(CommandKeyPath(L"runas"), L"\"%1\" %*");
    for (const wchar_t* name : {L"notepad", L"用 它", L"other"}) {
      registry.WriteDefault(VerbKeyPath(name), L"caption");
      registry.WriteDefault(CommandKeyPath(name), L"\"x.exe\" \"%1\"");
      form.entries.items.emplace_back(name);
    }
  }
  bool Exists(const KeyPath& key) { return registry.ReadKey(key).exists; }
  void Select(std::wstring_view name) {
    for (std::size_t i = 0; i < form.entries.items.size(); ++i) {
      if (form.entries.items[i] == name) form.entries.selected = static_cast<int>(i);
    }
  }

  MemoryRegistry registry;
  ScriptedForm form;
};

TEST_F(RemoveEntryTest, WithNothingSelectedDoesNothing) {
  const std::wstring before = registry.Dump();
  RemoveEntry(form, form, registry);
  EXPECT_TRUE(form.boxes.empty());
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_EQ(form.entries.items.size(), 3u);
}

TEST_F(RemoveEntryTest, AsksWithCancelAsDefaultThenRemovesBothKeysAndTheItem) {
  Select(L"用 它");
  RemoveEntry(form, form, registry);
  ASSERT_EQ(form.boxes.size(), 1u);  // no success message
  EXPECT_EQ(form.boxes[0].prompt,
            L"你确定要从右键菜单删除该项吗？\n\n菜单项：用 它\n菜单文字：caption\n"
            L"运行：\"x.exe\" \"%1\"");
  EXPECT_EQ(form.boxes[0].kind, Box::Kind::kConfirm);
  EXPECT_EQ(form.boxes[0].default_answer, DefaultAnswer::kCancel);
  EXPECT_FALSE(Exists(CommandKeyPath(L"用 它")));
  EXPECT_FALSE(Exists(VerbKeyPath(L"用 它")));
  EXPECT_EQ(form.entries.items, (Names{L"notepad", L"other"}));
  EXPECT_EQ(form.registry_changes, 1);
}

TEST_F(RemoveEntryTest, CancelDeletesNothing) {
  Select(L"notepad");
  form.answers = {false};
  const std::wstring before = registry.Dump();
  RemoveEntry(form, form, registry);
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_EQ(form.entries.items.size(), 3u);
}

TEST_F(RemoveEntryTest, RemovesEntriesOfOtherToolsWhateverTheirShape) {
  registry.DeleteTree(CommandKeyPath(L"other"));                             // no command subkey
  registry.WriteDefault(VerbKeyPath(L"notepad").Child(L"ddeexec"), L"dde");  // an extra subkey
  for (const wchar_t* name : {L"other", L"notepad"}) {
    Select(name);
    RemoveEntry(form, form, registry);
    EXPECT_FALSE(Exists(VerbKeyPath(name)));
  }
  EXPECT_EQ(form.entries.items, Names{L"用 它"});
  EXPECT_TRUE(form.errors.empty());

  registry.DeleteTree(VerbKeyPath(L"用 它"));  // gone already, by another program's hand
  Select(L"用 它");
  RemoveEntry(form, form, registry);
  EXPECT_TRUE(form.entries.items.empty());
}

TEST_F(RemoveEntryTest, NeverRemovesTheSystemsOwnVerbs) {
  form.entries.items.push_back(L"Open");  // listed: the listing rule is exact
  Select(L"Open");
  const std::wstring before = registry.Dump();
  RemoveEntry(form, form, registry);
  ASSERT_EQ(form.boxes.size(), 1u);
  EXPECT_EQ(form.boxes[0].kind, Box::Kind::kNotice);
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_EQ(form.entries.items.size(), 4u);

  // "Open " is another key than open: listed, so removable.
  registry.WriteDefault(VerbKeyPath(L"Open "), L"not the system's");
  form.entries.items.push_back(L"Open ");
  Select(L"Open ");
  RemoveEntry(form, form, registry);
  EXPECT_FALSE(Exists(VerbKeyPath(L"Open ")));
  EXPECT_TRUE(Exists(CommandKeyPath(L"open")));
  EXPECT_EQ(form.entries.items.size(), 4u);
}

// A key that could not be made again as it was stops the removal before anything is deleted.
TEST_F(RemoveEntryTest, RefusesAnEntryHoldingALinkOrAVolatileKey) {
  for (const bool link : {true, false}) {
    const KeyPath key = CommandKeyPath(ClassesStore::kMachine, L"notepad").Child(L"inner");
    registry.WriteDefault(key, L"");
    link ? registry.MakeLink(key, key.Parent().Child(L"elsewhere")) : registry.MakeVolatile(key);
    const std::wstring before = registry.Dump();
    Select(L"notepad");
    form.boxes.clear();
    RemoveEntry(form, form, registry);
    ASSERT_EQ(form.boxes.size(), 2u);
    EXPECT_EQ(form.boxes[1].kind, Box::Kind::kNotice);
    EXPECT_NE(form.boxes[1].prompt.find(KeyPathText(key)), std::wstring::npos);
    EXPECT_EQ(registry.Dump(), before);
    EXPECT_EQ(form.entries.items.size(), 3u);
    registry.DeleteTree(key);
  }
}

TEST_F(RemoveEntryTest, NeverRemovesWindowsOwnRunAsUser) {
  registry.WriteDefault(VerbKeyPath(L"runasuser"), L"@shell32.dll,-50944");
  form.entries.items.push_back(L"runasuser");  // listed, as Windows ships it
  Select(L"runasuser");
  const std::wstring before = registry.Dump();
  RemoveEntry(form, form, registry);
  ASSERT_EQ(form.boxes.size(), 1u);
  EXPECT_EQ(form.boxes[0].kind, Box::Kind::kNotice);
  EXPECT_EQ(registry.Dump(), before);
}

// A delete that fails part-way: what it took is put back from the snapshot, values of every
// type and subkeys included; and the other hive's copy, deleted first, comes back too.
TEST_F(RemoveEntryTest, APartDeleteIsPutBackWhole) {
  const KeyPath machine = VerbKeyPath(ClassesStore::kMachine, L"notepad");
  registry.WriteValue(machine.Child(L"command"), L"DelegateExecute", StringValue(L"{ea72d00e}"));
  registry.WriteValue(machine.Child(L"command"), L"Flags", RegValue{kRegDword, {1, 0, 0, 0}});
  registry.WriteDefault(machine.Child(L"command").Child(L"sub"), L"deep");
  registry.WriteDefault(machine.Child(L"zzz"), L"last");
  // A counted name holding a null, a string without its terminator, and an ACL of its own.
  registry.WriteValue(machine.Child(L"command"), std::wstring(L"\0x", 2),
                      RegValue{kRegSz, {'h', 0, 'i', 0}});
  registry.WriteValue(machine.Child(L"command"), L"Odd", RegValue{kRegExpandSz, {'%', 0, '1'}});
  registry.Deny(MemoryRegistry::Access::kSetValue, machine.Child(L"command"), errc::kAccessDenied);
  registry.WriteDefault(VerbKeyPath(ClassesStore::kUser, L"notepad"), L"mine");
  registry.Deny(MemoryRegistry::Access::kDelete, machine.Child(L"zzz"), errc::kAccessDenied);
  const std::wstring before = registry.Dump();
  Select(L"notepad");
  RemoveEntry(form, form, registry);
  ASSERT_EQ(form.errors.size(), 1u);
  EXPECT_EQ(form.errors[0].code(), errc::kAccessDenied);
  EXPECT_EQ(registry.Dump(), before);  // ACLs included: the dump shows them
  EXPECT_EQ(form.entries.items.size(), 3u);
}

TEST_F(RemoveEntryTest, RemovesBothHivesCopies) {
  registry.WriteDefault(CommandKeyPath(ClassesStore::kUser, L"NotePad"), L"mine");
  registry.WriteDefault(CommandKeyPath(ClassesStore::kUser, L"user only"), L"mine");
  form.entries.items.push_back(L"user only");
  for (const wchar_t* name : {L"notepad", L"user only"}) {
    Select(name);
    RemoveEntry(form, form, registry);
    EXPECT_FALSE(Exists(VerbKeyPath(name)));
    EXPECT_FALSE(Exists(VerbKeyPath(ClassesStore::kUser, name)));
    EXPECT_FALSE(Exists(VerbKeyPath(ClassesStore::kMachine, name)));
  }
  EXPECT_TRUE(form.errors.empty());
}

// In the machine's hive, this user's, or both: a fault at any call leaves both hives as they were.
TEST(RemoveEntry, AFailureAtAnyCallLeavesTheEntryWholeOrGone) {
  const std::vector<ClassesStore> copies[] = {{ClassesStore::kMachine},
                                              {ClassesStore::kUser},
                                              {ClassesStore::kMachine, ClassesStore::kUser}};
  for (const auto& hives : copies) {
    for (std::size_t failing = 0;; ++failing) {
      SCOPED_TRACE(::testing::Message() << hives.size() << " copies, call " << failing << " fails");
      MemoryRegistry registry;
      for (const ClassesStore hive : hives) {
        registry.WriteDefault(VerbKeyPath(hive, L"notepad"), L"caption");
        registry.WriteDefault(CommandKeyPath(hive, L"notepad"), L"\"x.exe\" \"%1\"");
        registry.WriteValue(CommandKeyPath(hive, L"notepad"), L"DelegateExecute",
                            StringValue(L"{x}"));
      }
      ScriptedForm form;
      form.entries.items = {L"notepad"};
      form.entries.selected = 0;
      const std::wstring before = registry.Dump();
      registry.FailCallAfter(failing, errc::kAccessDenied);
      RemoveEntry(form, form, registry);
      registry.ClearFaults();
      if (form.errors.empty()) {
        EXPECT_FALSE(registry.ReadKey(VerbKeyPath(L"notepad")).exists);
        EXPECT_TRUE(form.entries.items.empty());
        break;
      }
      EXPECT_EQ(registry.Dump(), before);
      EXPECT_EQ(form.entries.items, Names{L"notepad"});
      ASSERT_LT(failing, 10u);
    }
  }
}

}  // namespace
}  // namespace vw
