// Adding and removing through the real window, against the real registry of the Wine prefix.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

#include "operations/load_entries.h"
#include "platform/handles_win.h"
#include "registry/win32_registry_win.h"
#include "tests/support/vector_entry_list.h"
#include "tests/windows/test_registry.h"
#include "tests/windows/window_fixture.h"
#include "verbs/shell_verb_layout.h"

namespace vw {
namespace {

using testing::WindowTest;
using Names = std::vector<std::wstring>;

// For a failure message.
std::string Utf8(std::wstring_view text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

class WindowOperationsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    DeleteScratchEntries();
  }
  void TearDown() override {
    WindowTest::TearDown();
    DeleteScratchEntries();
  }
  void DeleteScratchEntries() {
    for (const wchar_t* name : kScratchNames) {
      for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
        SetKeyAcl(VerbKeyPath(hive, name).Child(L"command"), kAllowAll);
        registry_.DeleteTree(VerbKeyPath(hive, name));
      }
    }
  }

  // Sets a key's access list, as an administrator or another program may have.
  void SetKeyAcl(const KeyPath& key_path, const wchar_t* sddl) const {
    const auto [root, path] = registry_.MapKey(key_path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) {
      return;
    }
    const UniqueHkey owned(key);
    const UniqueLocal<void> descriptor = testing::SecurityDescriptor(sddl);
    ASSERT_TRUE(descriptor);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.get()), ERROR_SUCCESS);
  }
  static constexpr const wchar_t* kAllowAll = L"D:(A;;KA;;;WD)";
  static constexpr const wchar_t* kDenySetValue = L"D:(D;;0x2;;;WD)(A;;KA;;;WD)";
  static constexpr const wchar_t* kDenyDelete = L"D:(D;;SD;;;WD)(A;;KA;;;WD)";

  std::optional<std::wstring> Text(const KeyPath& key) {
    const KeyState state = registry_.ReadKey(key);
    return state.exists && state.value ? TextOf(*state.value) : std::nullopt;
  }
  int ListIndexOf(std::wstring_view name) {
    const std::wstring item(name);
    return static_cast<int>(SendMessageW(Control(ControlId::kEntryList), LB_FINDSTRINGEXACT,
                                         static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(item.c_str())));
  }

  static constexpr const wchar_t* kScratchNames[] = {L"b", L"记事本", L"tool one", L"vw-other",
                                                     L"vw-tool"};
  testing::TestRegistry registry_;
};

TEST_F(WindowOperationsTest, AddsThenRemovesAnEntryInTheRealRegistry) {
  MainWindow& form = Open(registry_);
  ChooseInList(ControlId::kFileList, L"记事本.exe");
  Click(ControlId::kAddButton);
  ASSERT_EQ(asked_.size(), 2u);
  EXPECT_TRUE(asked_[0].text.starts_with(L"你确定把该项添加到右键菜单吗？\n\n菜单项：记事本\n"));
  EXPECT_EQ(asked_[1].text, L"搞定了，亲！快去试试吧！");
  EXPECT_EQ(Text(VerbKeyPath(L"记事本")), L"用 记事本 打开");
  EXPECT_EQ(Text(CommandKeyPath(L"记事本")), L"\"" + Folder() + L"\\记事本.exe\" \"%1\"");
  const int index = ListIndexOf(L"记事本");
  ASSERT_GE(index, 0);

  // Into a subfolder, with a caption typed after entering the box.
  ChooseInList(ControlId::kFolderList, L"apps", LBN_DBLCLK);
  ChooseInList(ControlId::kFileList, L"tool one.exe");
  SetFocus(Control(ControlId::kCaptionBox));
  SetWindowTextW(Control(ControlId::kCaptionBox), L"用工具打开 & 100%");
  Click(ControlId::kAddButton);
  EXPECT_EQ(Text(VerbKeyPath(L"tool one")), L"用工具打开 & 100%");
  EXPECT_EQ(Text(CommandKeyPath(L"tool one")), L"\"" + Folder() + L"\\apps\\tool one.exe\" \"%1\"");

  asked_.clear();
  SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(ControlId::kEntryList, LBN_SELCHANGE);
  Click(ControlId::kRemoveButton);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].style, 321u);
  EXPECT_FALSE(registry_.ReadKey(VerbKeyPath(L"记事本")).exists);
  EXPECT_EQ(ListIndexOf(L"记事本"), LB_ERR);
  EXPECT_TRUE(IsWindow(form.hwnd()));
}

TEST_F(WindowOperationsTest, CancelChangesNothingAndAnOtherToolsEntryIsRemovedWhole) {
  registry_.WriteDefault(VerbKeyPath(L"vw-other"), L"other tool");
  registry_.WriteDefault(VerbKeyPath(L"vw-other").Child(L"ddeexec"),
                         L"x");  // and no command subkey
  Open(registry_);
  const int index = ListIndexOf(L"vw-other");
  ASSERT_GE(index, 0);
  SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  answers_ = {IDCANCEL};
  Click(ControlId::kRemoveButton);
  EXPECT_TRUE(registry_.ReadKey(VerbKeyPath(L"vw-other")).exists);
  EXPECT_EQ(ListIndexOf(L"vw-other"), index);

  Click(ControlId::kRemoveButton);
  EXPECT_FALSE(registry_.ReadKey(VerbKeyPath(L"vw-other")).exists);
  EXPECT_EQ(ListIndexOf(L"vw-other"), LB_ERR);

  ChooseInList(ControlId::kFileList, L"b.exe");
  answers_ = {IDCANCEL};
  Click(ControlId::kAddButton);
  EXPECT_FALSE(registry_.ReadKey(VerbKeyPath(L"b")).exists);
}

// The real confirmation box: Cancel is its default button, so Enter deletes nothing.
TEST_F(WindowOperationsTest, EnterInTheRealRemoveConfirmationCancels) {
  registry_.WriteDefault(CommandKeyPath(L"vw-other"), L"\"x.exe\" \"%1\"");
  Open(registry_);
  SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL,
               static_cast<WPARAM>(ListIndexOf(L"vw-other")), 0);
  std::wstring text;
  LRESULT default_id = 0;
  const bool answered = WithRealBox(
      L"确认",
      [&](HWND box) {
        text = WindowText(GetDlgItem(box, 0xFFFF));
        default_id = GetWindowLongW(GetDlgItem(box, IDCANCEL), GWL_STYLE) & BS_TYPEMASK;
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
      },
      [&] { Click(ControlId::kRemoveButton); });
  ASSERT_TRUE(answered);
  EXPECT_TRUE(text.starts_with(L"你确定要从右键菜单删除该项吗？\n\n菜单项：vw-other\n"))
      << Utf8(text);
  EXPECT_EQ(default_id, BS_DEFPUSHBUTTON);
  EXPECT_TRUE(registry_.ReadKey(CommandKeyPath(L"vw-other")).exists);
  EXPECT_GE(ListIndexOf(L"vw-other"), 0);
}

// A verb key that refuses value writes (its ACL): one error, naming the key as a user reads it,
// shown only once both hives' copies are exactly as they were.
TEST_F(WindowOperationsTest, ARefusedWriteShowsOneErrorAndBothHivesStayAsTheyWere) {
  for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
    registry_.WriteDefault(VerbKeyPath(hive, L"vw-Tool"), L"用 tool 打开");
    registry_.WriteDefault(CommandKeyPath(hive, L"vw-Tool"), L"\"C:\\apps2\\vw-tool.exe\" \"%1\"");
  }
  Touch(folder_ / L"vw-tool.exe");
  SetKeyAcl(VerbKeyPath(ClassesStore::kUser, L"vw-Tool"), kDenySetValue);
  const auto machine_before = registry_.ReadTree(VerbKeyPath(ClassesStore::kMachine, L"vw-tool"));
  const auto user_before = registry_.ReadTree(VerbKeyPath(ClassesStore::kUser, L"vw-tool"));
  Open(registry_);
  ChooseInList(ControlId::kFileList, L"vw-tool.exe");
  std::wstring text;
  bool whole_at_box = false;
  const bool answered = WithRealBox(
      L"错误",
      [&](HWND box) {
        text = WindowText(GetDlgItem(box, 0xFFFF));
        whole_at_box =
            registry_.ReadTree(VerbKeyPath(ClassesStore::kMachine, L"vw-tool")) == machine_before &&
            registry_.ReadTree(VerbKeyPath(ClassesStore::kUser, L"vw-tool")) == user_before;
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
      },
      [&] {
        answers_ = {IDOK};
        window_->SetMessageBoxHandler(
            [&](HWND owner, std::wstring_view prompt, std::wstring_view title, unsigned style) {
              if (title == L"确认") return IDOK;
              return MessageBoxW(owner, std::wstring(prompt).c_str(), std::wstring(title).c_str(),
                                 style);
            });
        Click(ControlId::kAddButton);
      });
  SetKeyAcl(VerbKeyPath(ClassesStore::kUser, L"vw-Tool"), kAllowAll);

  ASSERT_TRUE(answered);
  EXPECT_TRUE(whole_at_box);
  // The key as the user reads it: its root's full name, no trailing backslash.
  const std::wstring refused =
      KeyPathText(registry_.Map(VerbKeyPath(ClassesStore::kUser, L"vw-tool")));
  EXPECT_EQ(text.find(L"写入注册表项 " + refused + L" 失败。"), 0u) << Utf8(text);
  EXPECT_NE(text.find(L"错误 5："), std::wstring::npos);
}

// A removal that fails part-way puts back what it deleted, byte for byte: a value whose name
// holds a null, a string without its terminator, the command key's own ACL, and the rights a
// subkey inherits from the verb key's, read whole: owners and inherited entries included.
TEST_F(WindowOperationsTest, AFailedRemovalPutsBackOddValuesAndAnAclOfItsOwn) {
  const KeyPath verb = VerbKeyPath(ClassesStore::kMachine, L"vw-tool");
  registry_.WriteDefault(verb, L"caption");
  // The verb key's own protected list, which a subkey made after it inherits (on Windows).
  SetKeyAcl(verb, L"D:P(A;CI;KA;;;WD)(A;CI;KR;;;BU)");
  registry_.WriteDefault(verb.Child(L"inherits"), L"");
  registry_.WriteValue(verb.Child(L"command"), L"", RegValue{kRegSz, {'a', 0, 'b', 0}});
  registry_.WriteValue(verb.Child(L"command"), std::wstring(L"\0x", 2), StringValue(L"hidden"));
  registry_.WriteDefault(verb.Child(L"zzz"), L"last");
  SetKeyAcl(verb.Child(L"command"), L"D:P(A;;KA;;;WD)(A;;KR;;;BU)");
  SetKeyAcl(verb.Child(L"zzz"), kDenyDelete);
  const auto before = registry_.ReadTree(verb);
  ASSERT_TRUE(before);
  Open(registry_);
  SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL,
               static_cast<WPARAM>(ListIndexOf(L"vw-tool")), 0);
  Click(ControlId::kRemoveButton);
  SetKeyAcl(verb.Child(L"zzz"), kAllowAll);
  ASSERT_EQ(asked_.size(), 2u);
  EXPECT_EQ(asked_[1].title, L"错误");
  auto after = registry_.ReadTree(verb);
  ASSERT_TRUE(after);
  after->subkeys.back().security = before->subkeys.back().security;  // as the test set it back
  EXPECT_EQ(after, before);
  EXPECT_GE(ListIndexOf(L"vw-tool"), 0);
}

// An entry holding a registry link is not removed: the link's target, a key somewhere else, could
// be deleted by following it, and the link could not be made again. Nothing changes.
TEST_F(WindowOperationsTest, AnEntryHoldingALinkIsNotRemovedAndItsTargetIsUntouched) {
  const KeyPath verb = VerbKeyPath(ClassesStore::kMachine, L"vw-tool");
  registry_.WriteDefault(verb.Child(L"command"), L"\"x.exe\" \"%1\"");
  constexpr wchar_t kTarget[] = L"Software\\VerbwrightLinkTarget";
  const KeyPath target{kHiveCurrentUser, {L"Software", L"VerbwrightLinkTarget"}};
  registry_.WriteDefault(target, L"someone else's");
  const auto [root, path] = registry_.MapKey(verb);
  ASSERT_EQ(testing::CreateLinkToUserKey(root, path + L"\\link", kTarget), ERROR_SUCCESS);
  const auto before = registry_.ReadTree(verb);
  Open(registry_);
  SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL,
               static_cast<WPARAM>(ListIndexOf(L"vw-tool")), 0);
  Click(ControlId::kRemoveButton);
  ASSERT_EQ(asked_.size(), 2u);
  EXPECT_EQ(asked_[1].title, L"提示");
  EXPECT_NE(asked_[1].text.find(L"vw-tool\\link"), std::wstring::npos);
  EXPECT_EQ(registry_.ReadTree(verb), before);
  EXPECT_EQ(registry_.ReadKey(target).value, StringValue(L"someone else's"));
  EXPECT_GE(ListIndexOf(L"vw-tool"), 0);
  registry_.DeleteTree(verb);  // the link itself, not its target
  EXPECT_TRUE(registry_.ReadKey(target).exists);
  RegDeleteTreeW(HKEY_CURRENT_USER, kTarget);
}

// Key names are counted: an entry whose name holds a null sits beside its namesake, is shown
// with the null made visible, and removing either takes exactly that key. An entry holding a
// subkey named so is removed, or added over, whole, and the window keeps answering.
TEST_F(WindowOperationsTest, EachItemIsExactlyItsKeyEvenWithANullInItsName) {
  const std::wstring hidden(L"vw-tool\0x", 9);
  const KeyPath plain = VerbKeyPath(ClassesStore::kMachine, L"vw-tool");
  const KeyPath other = VerbKeyPath(ClassesStore::kMachine, hidden);
  for (int removed = 0; removed < 2; ++removed) {
    registry_.WriteDefault(plain.Child(L"command"), L"plain");
    registry_.WriteDefault(other.Child(L"command"), L"hidden");
    Open(registry_);
    const int shown = ListIndexOf(L"vw-tool\u2400x");
    ASSERT_GE(shown, 0);
    ASSERT_GE(ListIndexOf(L"vw-tool"), 0);
    const int index = removed == 0 ? shown : ListIndexOf(L"vw-tool");
    SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Click(ControlId::kRemoveButton);
    EXPECT_EQ(registry_.ReadKey(other).exists, removed != 0);
    EXPECT_EQ(registry_.ReadKey(plain).exists, removed == 0);
    EXPECT_EQ(ListIndexOf(L"vw-tool\u2400x") >= 0, removed != 0);
    EXPECT_EQ(ListIndexOf(L"vw-tool") >= 0, removed == 0);
    window_.reset();
    registry_.DeleteTree(plain);
    registry_.DeleteTree(other);
  }

  const KeyPath deep = plain.Child(L"command").Child(std::wstring(L"a\0b", 3));
  for (const ControlId button : {ControlId::kAddButton, ControlId::kRemoveButton}) {
    registry_.WriteDefault(deep, L"deep");
    Touch(folder_ / L"vw-tool.exe");
    Open(registry_);
    ChooseInList(ControlId::kFileList, L"vw-tool.exe");
    SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL,
                 static_cast<WPARAM>(ListIndexOf(L"vw-tool")), 0);
    asked_.clear();
    Click(button);
    EXPECT_FALSE(registry_.ReadKey(deep).exists);
    if (button == ControlId::kAddButton) {
      EXPECT_EQ(Text(plain.Child(L"command")), L"\"" + Folder() + L"\\vw-tool.exe\" \"%1\"");
    } else {
      EXPECT_FALSE(registry_.ReadKey(plain).exists);
    }
    EXPECT_TRUE(IsWindow(window_->hwnd()));
    window_.reset();
  }
}

// An add over an entry whose command key grants reading only is refused, and the key stays as
// it was, its protection included: it is updated in place, never deleted and made again.
TEST_F(WindowOperationsTest, AnAddOverACommandKeyThatRefusesWritesIsRefused) {
  const KeyPath verb = VerbKeyPath(ClassesStore::kMachine, L"vw-tool");
  registry_.WriteDefault(verb.Child(L"command"), L"\"x.exe\" \"%1\"");
  SetKeyAcl(verb.Child(L"command"), L"D:P(A;;KR;;;WD)");
  const auto before = registry_.ReadTree(verb);
  ASSERT_TRUE(before);
  Touch(folder_ / L"vw-tool.exe");
  Open(registry_);
  ChooseInList(ControlId::kFileList, L"vw-tool.exe");
  Click(ControlId::kAddButton);
  const auto after = registry_.ReadTree(verb);
  SetKeyAcl(verb.Child(L"command"), kAllowAll);
  ASSERT_GE(asked_.size(), 2u);
  EXPECT_EQ(asked_.back().title, L"错误");
  EXPECT_EQ(after, before);
}

// While a confirmation is open the buttons do nothing: a screen reader's default action on the
// remove button (BM_CLICK) does not start a removal inside the add's box.
TEST_F(WindowOperationsTest, TheOtherButtonDoesNothingWhileABoxIsOpen) {
  registry_.WriteDefault(CommandKeyPath(L"vw-other"), L"\"x.exe\" \"%1\"");
  Open(registry_);
  SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL,
               static_cast<WPARAM>(ListIndexOf(L"vw-other")), 0);
  ChooseInList(ControlId::kFileList, L"b.exe");
  int boxes = 0;
  window_->SetMessageBoxHandler([&](HWND, std::wstring_view, std::wstring_view, unsigned) {
    if (++boxes == 1) SendMessageW(Control(ControlId::kRemoveButton), BM_CLICK, 0, 0);
    return IDCANCEL;
  });
  Click(ControlId::kAddButton);
  EXPECT_EQ(boxes, 1);
  EXPECT_TRUE(registry_.ReadKey(VerbKeyPath(L"vw-other")).exists);
  EXPECT_FALSE(registry_.ReadKey(VerbKeyPath(L"b")).exists);
}

// Long names can be read whole: both lists scroll sideways; and a new entry is selected and in
// view, however long the list.
TEST_F(WindowOperationsTest, LongNamesScrollSidewaysAndTheNewEntryIsInView) {
  const std::wstring longest = L"vw-tool" + std::wstring(120, L'x');
  registry_.WriteDefault(CommandKeyPath(longest), L"\"x.exe\" \"%1\"");
  for (int i = 0; i < 40; ++i)
    registry_.WriteDefault(VerbKeyPath(L"vw-many-" + std::to_wstring(i)), L"");
  Touch(folder_ / (std::wstring(200, L'y') + L".exe"));
  Open(registry_);
  for (const ControlId id : {ControlId::kEntryList, ControlId::kFileList}) {
    RECT client{};
    GetClientRect(Control(id), &client);
    EXPECT_GT(SendMessageW(Control(id), LB_GETHORIZONTALEXTENT, 0, 0), client.right)
        << static_cast<int>(id);
  }
  ChooseInList(ControlId::kFileList, L"b.exe");
  Click(ControlId::kAddButton);
  const auto list = Control(ControlId::kEntryList);
  const auto selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  EXPECT_EQ(selected, ListIndexOf(L"b"));
  EXPECT_EQ(selected, static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) - 1);
  EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);  // scrolled down to it
  registry_.DeleteTree(VerbKeyPath(longest));
  for (int i = 0; i < 40; ++i) registry_.DeleteTree(VerbKeyPath(L"vw-many-" + std::to_wstring(i)));
  DeleteFileW((folder_ / (std::wstring(200, L'y') + L".exe")).c_str());
}

// A long name in a real box, at the design's DPI and scaled: shortened in the middle, so that the
// whole box stands inside the monitor's work area.
TEST_F(WindowOperationsTest, ABoxForALongNameStaysOnTheScreen) {
  const std::wstring longest = L"vw-tool" + std::wstring(200, L'x');
  registry_.WriteDefault(CommandKeyPath(longest), L"\"x.exe\" \"%1\"");
  Open(registry_);
  for (const UINT dpi : {96u, 144u}) {
    window_->ApplyDpi(dpi);
    SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL,
                 static_cast<WPARAM>(ListIndexOf(longest)), 0);
    RECT box_frame{};
    std::wstring text;
    ASSERT_TRUE(WithRealBox(
        L"确认",
        [&](HWND box) {
          GetWindowRect(box, &box_frame);
          text = WindowText(GetDlgItem(box, 0xFFFF));
          PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
        },
        [&] { Click(ControlId::kRemoveButton); }));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window_->hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_LE(box_frame.right - box_frame.left, monitor.rcWork.right - monitor.rcWork.left) << dpi;
    EXPECT_NE(text.find(L"菜单项：vw-tool"), std::wstring::npos) << dpi;
    EXPECT_NE(text.find(L"x…x"), std::wstring::npos) << dpi;
  }
  registry_.DeleteTree(VerbKeyPath(longest));
}

// A program deleted after it was chosen is refused, and the file list no longer lists it.
TEST_F(WindowOperationsTest, AProgramThatWentIsNoLongerListed) {
  Touch(folder_ / L"vw-tool.exe");
  Open(registry_);
  ChooseInList(ControlId::kFileList, L"vw-tool.exe");
  DeleteFileW((folder_ / L"vw-tool.exe").c_str());
  Click(ControlId::kAddButton);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_NE(asked_[0].text.find(L"找不到程序"), std::wstring::npos);
  const Names files = Items(Control(ControlId::kFileList));
  EXPECT_EQ(std::find(files.begin(), files.end(), L"vw-tool.exe"), files.end());
  EXPECT_FALSE(registry_.ReadKey(VerbKeyPath(L"vw-tool")).exists);
}

// Adding over an entry another program made leaves nothing of it that could hide the entry or
// run something else: no MUIVerb, LegacyDisable, Extended, nor a DelegateExecute under command.
TEST_F(WindowOperationsTest, AddingOverAnEntryLeavesNothingElseOnIt) {
  const KeyPath verb = VerbKeyPath(ClassesStore::kMachine, L"vw-tool");
  registry_.WriteDefault(verb, L"old");
  for (const wchar_t* name : {L"MUIVerb", L"LegacyDisable", L"Extended"})
    registry_.WriteValue(verb, name, StringValue(L"@x.dll,-1"));
  registry_.WriteValue(verb.Child(L"command"), L"DelegateExecute", StringValue(L"{ea72d00e}"));
  Touch(folder_ / L"vw-tool.exe");
  Open(registry_);
  ChooseInList(ControlId::kFileList, L"vw-tool.exe");
  Click(ControlId::kAddButton);
  const auto after = registry_.ReadTree(verb);
  ASSERT_TRUE(after);
  ASSERT_EQ(after->values.size(), 1u);
  EXPECT_EQ(TextOf(after->values[0].value), L"用 vw-tool 打开");
  ASSERT_EQ(after->subkeys.size(), 1u);
  ASSERT_EQ(after->subkeys[0].values.size(), 1u);
  EXPECT_EQ(after->subkeys[0].values[0].name, L"");
}

// Another program closes the window while the add confirmation is open: the box goes with it,
// answering neither OK nor Cancel, and nothing is written.
TEST_F(WindowOperationsTest, ClosingTheWindowDuringTheConfirmationWritesNothing) {
  registry_.WriteDefault(VerbKeyPath(ClassesStore::kMachine, L"vw-tool"), L"old");
  Touch(folder_ / L"vw-tool.exe");
  const HWND hwnd = Open(registry_).hwnd();
  ChooseInList(ControlId::kFileList, L"vw-tool.exe");
  const auto before = registry_.ReadTree(VerbKeyPath(ClassesStore::kMachine, L"vw-tool"));
  const bool answered = WithRealBox(
      L"确认", [&](HWND) { PostMessageW(hwnd, WM_CLOSE, 0, 0); },
      [&] { Click(ControlId::kAddButton); });
  ASSERT_TRUE(answered);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(registry_.ReadTree(VerbKeyPath(ClassesStore::kMachine, L"vw-tool")), before);
}

TEST_F(WindowOperationsTest, RemovesTheEntryFromBothHives) {
  for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser})
    registry_.WriteDefault(CommandKeyPath(hive, L"vw-other"), L"\"x.exe\" \"%1\"");
  Open(registry_);
  SendMessageW(Control(ControlId::kEntryList), LB_SETCURSEL,
               static_cast<WPARAM>(ListIndexOf(L"vw-other")), 0);
  Click(ControlId::kRemoveButton);
  EXPECT_FALSE(registry_.ReadTree(VerbKeyPath(ClassesStore::kMachine, L"vw-other")));
  EXPECT_FALSE(registry_.ReadTree(VerbKeyPath(ClassesStore::kUser, L"vw-other")));
  EXPECT_EQ(ListIndexOf(L"vw-other"), LB_ERR);
}

std::wstring ManyVerbName(int i) {
  wchar_t name[32];
  std::swprintf(name, 32, L"vw-many-%06d", i);
  return name;
}

// Other tools may have left many verbs: every one of a hundred thousand is listed, in the
// registry's order, past the 16-bit counts of old list boxes.
TEST_F(WindowOperationsTest, ListsAHundredThousandVerbsOfTheRealRegistry) {
  constexpr int kCount = 100000;
  // Created directly: through the registry layer, each key would be opened from the root.
  HKEY opened = nullptr;
  const auto [root, verb_root] = registry_.MapKey(VerbRoot());
  ASSERT_EQ(RegCreateKeyExW(root, verb_root.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &opened, nullptr),
            ERROR_SUCCESS);
  struct Seeded {  // removes what was made, whatever the test's outcome
    UniqueHkey root;
    int made = 0;
    ~Seeded() {
      for (int i = 0; i < made; ++i) RegDeleteKeyW(root.get(), ManyVerbName(i).c_str());
    }
  } seeded{UniqueHkey(opened)};
  for (; seeded.made < kCount; ++seeded.made) {
    HKEY verb = nullptr;
    ASSERT_EQ(RegCreateKeyExW(seeded.root.get(), ManyVerbName(seeded.made).c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &verb, nullptr),
              ERROR_SUCCESS);
    const UniqueHkey owned(verb);
  }
  testing::VectorEntryList loaded;
  LoadEntries(registry_, loaded);
  Open(registry_);
  const Names listed = Items(Control(ControlId::kEntryList));

  ASSERT_EQ(listed.size(), loaded.items.size());
  EXPECT_EQ(listed, loaded.items);
  EXPECT_EQ(std::count_if(listed.begin(), listed.end(),
                          [](const std::wstring& name) { return name.starts_with(L"vw-many-"); }),
            kCount);
  EXPECT_EQ(ListIndexOf(ManyVerbName(kCount - 1)) - ListIndexOf(ManyVerbName(0)), kCount - 1);
}

}  // namespace
}  // namespace vw
