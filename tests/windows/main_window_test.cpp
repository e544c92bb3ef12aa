#include "app/main_window_win.h"

#include <windows.h>

#include <dbt.h>
#include <oleacc.h>
#if defined(_MSC_VER)
#include <UIAutomation.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/dpi_win.h"
#include "app/form_design.h"
#include "app/picker_lists_win.h"
#include "tests/support/environment.h"
#include "tests/support/memory_registry.h"
#include "tests/windows/test_registry.h"
#include "tests/windows/window_fixture.h"
#include "verbs/shell_verb_layout.h"

namespace vw {
namespace {

using testing::WindowTest;
using Names = std::vector<std::wstring>;

// The window as it is drawn, into a .bmp file, for a person to look at.
void SaveWindowPicture(HWND window, const std::string& path) {
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const WindowDc screen;
  const UniqueHandle<HDC, &DeleteDC> memory(CreateCompatibleDC(screen.get()));
  const UniqueHandle<HBITMAP, &DeleteObject> picture(
      CreateCompatibleBitmap(screen.get(), width, height));
  {
    const SelectedObject selected(memory.get(), picture.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), frame.left, frame.top, SRCCOPY);
  }
  BITMAPINFOHEADER header{sizeof(header), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  GetDIBits(memory.get(), picture.get(), 0, static_cast<UINT>(height), pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  BITMAPFILEHEADER file{
      0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(header) + pixels.size()), 0, 0,
      sizeof(BITMAPFILEHEADER) + sizeof(header)};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&header), sizeof(header));
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

std::wstring ListBoxItemOfCombo(HWND combo, int index) {
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
  return text;
}

RECT ClientRectOf(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// A drive other than `except` that can be read, from the drive list; "" when the machine has none
// (hosted Windows runners may have C: alone).
std::wstring OtherReadableDrive(HWND drives, std::wstring_view except, int from = 0) {
  const auto count = static_cast<int>(SendMessageW(drives, CB_GETCOUNT, 0, 0));
  for (int index = from; index < count; ++index) {
    const std::wstring text = ListBoxItemOfCombo(drives, index);
    const std::wstring drive = text.substr(0, 2);
    if (drive == except) continue;
    const std::wstring root = drive + L"\\";
    DWORD unused = 0;
    if (GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &unused, &unused, nullptr, 0) ||
        GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES) {
      return drive;
    }
  }
  return {};
}

PixelRect AsPixelRect(const RECT& rect) {
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// A list stands where the design puts it, shortened to whole rows: less than a row short of the
// design, its inside a whole number of rows. Gives the place as designed.
PixelRect InWholeRows(HWND list, PixelRect actual, const PixelRect& expected) {
  const auto item = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  RECT client{};
  GetClientRect(list, &client);
  EXPECT_EQ(client.bottom % item, 0);
  EXPECT_LE(actual.height, expected.height);
  EXPECT_GT(actual.height, expected.height - item);
  actual.height = expected.height;
  return actual;
}

bool IsList(ControlId id) {
  return id == ControlId::kFolderList || id == ControlId::kFileList || id == ControlId::kEntryList;
}

TEST_F(WindowTest, LaysOutTheDesignAtAnyDpi) {
  MemoryRegistry registry;
  // A name too long for the entry list, which then scrolls sideways.
  registry.WriteDefault(VerbKeyPath(std::wstring(60, L'\u957F')), L"");
  MainWindow& form = Open(registry);
  EXPECT_NE(GetWindowLongPtrW(Control(ControlId::kEntryList), GWL_STYLE) & WS_HSCROLL, 0);
  // Whatever the system's DPI (96 under Wine: the pixel table of the design).
  const auto dpi = static_cast<int>(form.dpi());
  for (const ControlDesign& design : kControls) {
    PixelRect actual = AsPixelRect(ClientRectOf(Control(design.id)));
    const PixelRect expected = ToPixels(design, dpi);
    if (design.id == ControlId::kDriveList && actual.height > expected.height) {
      actual.height = expected.height;  // a font taller than the design's keeps its text whole
    }
    if (IsList(design.id)) actual = InWholeRows(Control(design.id), actual, expected);
    EXPECT_EQ(actual, expected) << design.name.size();
  }
  RECT client{};
  GetClientRect(form.hwnd(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, dpi));
  EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, dpi));
  // It opens centred on its monitor's work area.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(form.hwnd(), MONITOR_DEFAULTTONEAREST), &monitor));
  RECT frame{};
  GetWindowRect(form.hwnd(), &frame);
  EXPECT_NEAR(frame.left - monitor.rcWork.left, monitor.rcWork.right - frame.right, 1);
  EXPECT_NEAR(frame.top - monitor.rcWork.top, monitor.rcWork.bottom - frame.bottom, 1);

  form.ApplyDpi(144);
  GetClientRect(form.hwnd(), &client);
  EXPECT_EQ(client.right, 588);
  EXPECT_EQ(client.bottom, 317);
  EXPECT_EQ(InWholeRows(Control(ControlId::kFileList),
                        AsPixelRect(ClientRectOf(Control(ControlId::kFileList))),
                        PixelRect{240, 12, 158, 218}),
            (PixelRect{240, 12, 158, 218}));
  EXPECT_EQ(AsPixelRect(ClientRectOf(Control(ControlId::kDriveList))),
            (PixelRect{12, 12, 206, 32}));
  LOGFONTW at144{};
  GetObjectW(
      reinterpret_cast<HFONT>(SendMessageW(Control(ControlId::kCaptionBox), WM_GETFONT, 0, 0)),
      sizeof(at144), &at144);
  form.ApplyDpi(96);
  LOGFONTW at96_font{};
  GetObjectW(
      reinterpret_cast<HFONT>(SendMessageW(Control(ControlId::kCaptionBox), WM_GETFONT, 0, 0)),
      sizeof(at96_font), &at96_font);
  EXPECT_NEAR(std::abs(at144.lfHeight), std::abs(at96_font.lfHeight) * 3 / 2.0, 1.0);
  EXPECT_NE(std::wstring(at96_font.lfFaceName), L"System");
}

// What Windows sends when the window moves to a monitor of another DPI, which Wine never does:
// every control lands at its design place for that DPI and uses the new font, the icons follow,
// and nothing is leaked however often it happens.
TEST_F(WindowTest, FollowsDpiChangesWithoutLeaking) {
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  const auto change_to = [&](UINT dpi) {
    RECT frame{};
    GetWindowRect(form.hwnd(), &frame);
    // Windows suggests the frame scaled about its top left corner.
    const int width =
        MulDiv(frame.right - frame.left, static_cast<int>(dpi), static_cast<int>(form.dpi()));
    const int height =
        MulDiv(frame.bottom - frame.top, static_cast<int>(dpi), static_cast<int>(form.dpi()));
    RECT suggested{frame.left, frame.top, frame.left + width, frame.top + height};
    const auto old_font =
        reinterpret_cast<HGDIOBJ>(SendMessageW(Control(ControlId::kCaptionBox), WM_GETFONT, 0, 0));
    const auto old_icon =
        reinterpret_cast<HICON>(SendMessageW(form.hwnd(), WM_GETICON, ICON_SMALL, 0));
    SendMessageW(form.hwnd(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    // What the window no longer uses is gone (GetGuiResources, below, counts only on Windows).
    EXPECT_NE(GetObjectType(old_font), static_cast<DWORD>(OBJ_FONT));
    ICONINFO gone{};
    EXPECT_FALSE(GetIconInfo(old_icon, &gone));
    Pump();
    RECT now{};
    GetWindowRect(form.hwnd(), &now);
    EXPECT_EQ(now.right - now.left, width);
    EXPECT_EQ(now.bottom - now.top, height);
  };
  const auto check_at = [&](UINT dpi) {
    SCOPED_TRACE(::testing::Message() << "at " << dpi << " dpi");
    EXPECT_EQ(form.dpi(), dpi);
    HFONT shared = nullptr;
    for (const ControlDesign& design : kControls) {
      PixelRect expected = ToPixels(design, static_cast<int>(dpi));
      PixelRect actual = AsPixelRect(ClientRectOf(Control(design.id)));
      if (design.id ==
          ControlId::kDriveList) {  // closed: at least the design height, never clipped
        EXPECT_GE(actual.height, expected.height);
        EXPECT_GE(SendMessageW(Control(design.id), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0),
                  SendMessageW(Control(design.id), CB_GETITEMHEIGHT, 0, 0));
        actual.height = expected.height;
      }
      if (IsList(design.id)) actual = InWholeRows(Control(design.id), actual, expected);
      EXPECT_EQ(actual, expected) << design.name.size();
      const auto used = reinterpret_cast<HFONT>(SendMessageW(Control(design.id), WM_GETFONT, 0, 0));
      if (shared == nullptr) shared = used;
      EXPECT_EQ(used, shared);
    }
    LOGFONTW logical{};
    ASSERT_EQ(GetObjectW(shared, sizeof(logical), &logical), static_cast<int>(sizeof(logical)));
    EXPECT_EQ(logical.lfHeight, MessageFontForDpi(dpi).lfHeight);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(
        reinterpret_cast<HICON>(SendMessageW(form.hwnd(), WM_GETICON, ICON_SMALL, 0)), &info));
    BITMAP mask{};
    GetObjectW(info.hbmMask, sizeof(mask), &mask);
    EXPECT_EQ(mask.bmWidth, SystemMetricForDpi(SM_CXSMICON, dpi));
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  };
  const UINT start = form.dpi();
  const UINT trip[] = {144, 120, 96, start};
  for (const UINT dpi : trip) {
    change_to(dpi);
    check_at(dpi);
  }
  if (const auto folder = testing::EnvironmentVariable("VERBWRIGHT_SHOT_DIR")) {
    change_to(144);
    SaveWindowPicture(form.hwnd(), *folder + "\\window-144dpi.bmp");
    change_to(start);
  }
  const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  for (int round = 0; round < 20; ++round) {
    for (const UINT dpi : trip) change_to(dpi);
  }
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
  check_at(start);
}

TEST_F(WindowTest, ShowsItsTextsAndStartsWithTheFocusOnAdd) {
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  EXPECT_EQ(WindowText(form.hwnd()), L"Verbwright by Quellbrin");
  EXPECT_EQ(WindowText(Control(ControlId::kCaptionLabel)), L"输入你的个性菜单名字：");
  EXPECT_EQ(WindowText(Control(ControlId::kCaptionBox)), L"如：“用记事本打开”");
  EXPECT_EQ(WindowText(Control(ControlId::kAddButton)), L"添加到右键");
  EXPECT_EQ(WindowText(Control(ControlId::kRemoveButton)), L"从右键删除");
  EXPECT_EQ(GetFocus(), Control(ControlId::kAddButton));
  EXPECT_EQ(SendMessageW(Control(ControlId::kFileList), LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(Control(ControlId::kEntryList), LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_TRUE(Items(Control(ControlId::kEntryList)).empty());
  for (const ControlId id : {ControlId::kAddButton, ControlId::kRemoveButton}) {
    EXPECT_EQ(GetWindowLongW(Control(id), GWL_STYLE) & BS_TYPEMASK,
              BS_PUSHBUTTON);  // not the default
  }
  EXPECT_EQ(GetWindowLongW(Control(ControlId::kCaptionLabel), GWL_STYLE) & WS_TABSTOP, 0);
  EXPECT_EQ(GetWindowLongW(Control(ControlId::kEntryList), GWL_STYLE) & LBS_SORT, 0);
  for (const WPARAM which : {ICON_BIG, ICON_SMALL})
    EXPECT_NE(SendMessageW(form.hwnd(), WM_GETICON, which, 0), 0);
}

TEST_F(WindowTest, TabWalksTheDesignOrderAndEmptiesTheCaptionBox) {
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  const ControlId order[] = {ControlId::kRemoveButton, ControlId::kDriveList,
                             ControlId::kFolderList,   ControlId::kCaptionBox,
                             ControlId::kEntryList,    ControlId::kFileList,
                             ControlId::kAddButton};
  for (const ControlId id : order) {
    MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    ASSERT_TRUE(IsDialogMessageW(form.hwnd(), &tab));
    Pump();
    EXPECT_EQ(GetFocus(), Control(id)) << static_cast<int>(id);
    if (id == ControlId::kCaptionBox) {
      EXPECT_EQ(WindowText(Control(id)), L"");
    }
  }
  // A typed caption is emptied again whenever the box is entered from another control.
  SetWindowTextW(Control(ControlId::kCaptionBox), L"我的菜单");
  SetFocus(Control(ControlId::kCaptionBox));
  EXPECT_EQ(WindowText(Control(ControlId::kCaptionBox)), L"");
}

TEST_F(WindowTest, ListsTheCurrentFoldersProgramsAndFollowsTheChain) {
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  EXPECT_EQ(form.DirPath(), Folder());
  EXPECT_EQ(Items(Control(ControlId::kFileList)), (Names{L"A.EXE", L"b.exe", L"记事本.exe"}));
  const Names folders = Items(Control(ControlId::kFolderList));
  ASSERT_GE(folders.size(), 3u);
  EXPECT_EQ(folders.front(), Folder().substr(0, 3));
  EXPECT_EQ(Names(folders.end() - 2, folders.end()), (Names{L"apps", L"子文件夹"}));
  EXPECT_EQ(SelectedDrive(Control(ControlId::kDriveList)), Folder().substr(0, 2));

  // Opening a subfolder (double-click) updates the file list; so does going back up with Enter.
  ChooseInList(ControlId::kFolderList, L"apps", LBN_DBLCLK);
  EXPECT_EQ(form.DirPath(), Folder() + L"\\apps");
  EXPECT_EQ(Items(Control(ControlId::kFileList)), Names{L"tool one.exe"});
  const Names inside = Items(Control(ControlId::kFolderList));
  SetFocus(Control(ControlId::kFolderList));
  SendMessageW(Control(ControlId::kFolderList), LB_SETCURSEL, inside.size() - 2, 0);
  MSG enter{Control(ControlId::kFolderList), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
  IsDialogMessageW(form.hwnd(), &enter);
  EXPECT_EQ(form.DirPath(), Folder());

  // Another drive moves both lists with the one change.
  const std::wstring other =
      OtherReadableDrive(Control(ControlId::kDriveList), Folder().substr(0, 2));
  if (other.empty()) GTEST_SKIP() << "this machine has no second readable drive";
  const LRESULT index =
      SendMessageW(Control(ControlId::kDriveList), CB_FINDSTRING, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(other.c_str()));
  ASSERT_NE(index, CB_ERR);
  SendMessageW(Control(ControlId::kDriveList), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(ControlId::kDriveList, CBN_SELCHANGE);
  EXPECT_EQ(form.DirPath().substr(0, 2), other);
  EXPECT_EQ(Items(Control(ControlId::kFolderList)).front(), other + L"\\");
  EXPECT_TRUE(asked_.empty());
}

TEST_F(WindowTest, SuggestsACaptionForTheChosenFile) {
  MemoryRegistry registry;
  Open(registry);
  ChooseInList(ControlId::kFileList, L"b.exe");
  EXPECT_EQ(WindowText(Control(ControlId::kCaptionBox)), L"用 b 打开");
  ChooseInList(ControlId::kFileList, L"记事本.exe");
  EXPECT_EQ(WindowText(Control(ControlId::kCaptionBox)), L"用 记事本 打开");
  SetWindowTextW(Control(ControlId::kCaptionBox), L"typed");
  ChooseInList(ControlId::kFileList, L"记事本.exe");  // the same file again
  EXPECT_EQ(WindowText(Control(ControlId::kCaptionBox)), L"用 记事本 打开");
  SendMessageW(Control(ControlId::kFileList), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SetWindowTextW(Control(ControlId::kCaptionBox), L"kept");
  Notify(ControlId::kFileList, LBN_SELCHANGE);  // no file chosen: nothing to suggest
  EXPECT_EQ(WindowText(Control(ControlId::kCaptionBox)), L"kept");
}

TEST_F(WindowTest, AnUnreadableDriveIsReportedAndTheDriveListGoesBack) {
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  const HWND drives = Control(ControlId::kDriveList);
  SetFocus(drives);
  SendMessageW(drives, CB_SHOWDROPDOWN, TRUE, 0);  // the list is filled anew as it drops
  const LRESULT index =
      SendMessageW(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Q: [gone]"));
  SendMessageW(drives, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(ControlId::kDriveList, CBN_SELENDOK);  // chosen from the dropped list
  SendMessageW(drives, CB_SHOWDROPDOWN, FALSE, 0);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].title, L"错误");
  EXPECT_NE(asked_[0].text.find(L"Q:"), std::wstring::npos);
  EXPECT_NE(asked_[0].text.find(L"错误 "), std::wstring::npos);
  EXPECT_EQ(asked_[0].style, static_cast<unsigned>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(SelectedDrive(drives), Folder().substr(0, 2));
  EXPECT_EQ(form.DirPath(), Folder());
  EXPECT_TRUE(IsWindow(form.hwnd()));
}

// The arrow keys in the closed drive box pass over a drive that cannot be read, both ways, and
// the drive box and the folder list always agree.
TEST_F(WindowTest, ArrowKeysPassOverAnUnreadableDrive) {
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  const HWND drives = Control(ControlId::kDriveList);
  const auto start = static_cast<int>(SendMessageW(drives, CB_GETCURSEL, 0, 0));
  if (OtherReadableDrive(drives, Folder().substr(0, 2), start + 1).empty())
    GTEST_SKIP() << "this machine has no readable drive after the current one";
  SendMessageW(drives, CB_INSERTSTRING, static_cast<WPARAM>(start + 1),
               reinterpret_cast<LPARAM>(L"Q:"));
  SetFocus(drives);
  const auto press = [&](WPARAM key) {
    SendMessageW(drives, WM_KEYDOWN, key, 0);
    SendMessageW(drives, WM_KEYUP, key, 0);
    Pump();
    const std::wstring drive = SelectedDrive(drives);
    EXPECT_NE(drive, L"Q:");
    EXPECT_EQ(form.DirPath().substr(0, 2), drive);
  };
  press(VK_DOWN);
  EXPECT_GT(SendMessageW(drives, CB_GETCURSEL, 0, 0), start + 1);
  press(VK_UP);
  EXPECT_EQ(SendMessageW(drives, CB_GETCURSEL, 0, 0), start);
  EXPECT_TRUE(asked_.empty());
}

// The dropped drive list is a place to look: the arrows only highlight, Esc puts back the drive
// that was shown, Enter chooses. A letter typed in the closed list chooses that drive, readable
// or not.
TEST_F(WindowTest, TheDroppedDriveListChoosesOnEnterOnlyAndATypedLetterChooses) {
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  const HWND drives = Control(ControlId::kDriveList);
  const std::wstring here = Folder().substr(0, 2);
  const auto key = [&](WPARAM code) {
    SendMessageW(drives, WM_KEYDOWN, code, 0);
    SendMessageW(drives, WM_KEYUP, code, 0);
    Pump();
  };
  const auto drop = [&] {
    SendMessageW(drives, CB_SHOWDROPDOWN, TRUE, 0);  // filled anew as it drops
    SendMessageW(drives, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"Q:"));  // unreadable
  };
  SetFocus(drives);
  drop();
  key(VK_HOME);
  key(VK_DOWN);
  key(VK_ESCAPE);
  EXPECT_FALSE(SendMessageW(drives, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SelectedDrive(drives), here);
  EXPECT_EQ(form.DirPath(), Folder());
  EXPECT_TRUE(asked_.empty());

  drop();
  key(VK_HOME);  // Q:
  key(VK_RETURN);
  ASSERT_EQ(asked_.size(), 1u);  // chosen: its error, and back
  EXPECT_EQ(asked_[0].title, L"错误");
  EXPECT_EQ(SelectedDrive(drives), here);
  EXPECT_EQ(form.DirPath(), Folder());

  SendMessageW(drives, WM_CHAR, L'q', 0);  // typed: chosen although it cannot be read
  Pump();
  EXPECT_EQ(asked_.size(), 2u);
  EXPECT_EQ(SelectedDrive(drives), here);
  const std::wstring other = OtherReadableDrive(drives, here);
  if (other.empty()) GTEST_SKIP() << "this machine has no second readable drive";
  SendMessageW(drives, WM_CHAR, other[0], 0);
  Pump();
  EXPECT_EQ(SelectedDrive(drives), other);
  EXPECT_EQ(form.DirPath().substr(0, 2), other);
  EXPECT_EQ(asked_.size(), 2u);
}

// Drives that come and go while the program runs: the list follows when it drops and when
// Windows announces a volume; if the drive shown goes, the lists go back to the process's folder.
TEST_F(WindowTest, TheDriveListFollowsDrivesThatComeAndGo) {
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  const HWND drives = Control(ControlId::kDriveList);
  const auto listed = [&](const std::wstring& drive) {
    return SendMessageW(drives, CB_FINDSTRING, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(drive.c_str())) != CB_ERR;
  };
  wchar_t letter = 0;
  for (wchar_t candidate = L'Y'; candidate > L'M' && letter == 0; --candidate) {
    if ((GetLogicalDrives() & (1u << (candidate - L'A'))) == 0) letter = candidate;
  }
  ASSERT_NE(letter, 0);
  const std::wstring drive{letter, L':'};
  ASSERT_TRUE(DefineDosDeviceW(0, drive.c_str(), Folder().c_str()));
  EXPECT_FALSE(listed(drive));
  Notify(ControlId::kDriveList, CBN_DROPDOWN);  // dropped again
  EXPECT_TRUE(listed(drive));
  EXPECT_EQ(SelectedDrive(drives), Folder().substr(0, 2));  // the drive shown stays chosen
  DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr);
  SendMessageW(form.hwnd(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
  EXPECT_FALSE(listed(drive));
  ASSERT_TRUE(DefineDosDeviceW(0, drive.c_str(), Folder().c_str()));
  SendMessageW(form.hwnd(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
  EXPECT_TRUE(listed(drive));
  DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr);

  // The drive shown goes away. Under Wine, Z: (the Linux root) is a readable drive that can be
  // taken away for a moment and given back.
  if (!testing::RunningUnderWine() || !listed(L"Z:"))
    GTEST_SKIP() << "no drive here that a test may take away";
  wchar_t target[MAX_PATH] = {};
  ASSERT_NE(QueryDosDeviceW(L"Z:", target, MAX_PATH), 0u);
  SendMessageW(drives, CB_SHOWDROPDOWN, TRUE, 0);
  SendMessageW(drives, CB_SETCURSEL,
               static_cast<WPARAM>(SendMessageW(drives, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(L"Z:"))),
               0);
  Notify(ControlId::kDriveList, CBN_SELENDOK);
  SendMessageW(drives, CB_SHOWDROPDOWN, FALSE, 0);
  ASSERT_EQ(form.DirPath().substr(0, 2), L"Z:");
  ASSERT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Z:", nullptr));
  SendMessageW(form.hwnd(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
  const std::wstring shown = form.DirPath();
  const Names files = Items(Control(ControlId::kFileList));
  const std::wstring selected = SelectedDrive(drives);
  ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"Z:", target));
  EXPECT_EQ(shown, Folder());
  EXPECT_EQ(selected, Folder().substr(0, 2));
  EXPECT_EQ(files, (Names{L"A.EXE", L"b.exe", L"记事本.exe"}));
  EXPECT_TRUE(asked_.empty());
  EXPECT_NE(GetFileAttributesW(L"Z:\\"), INVALID_FILE_ATTRIBUTES);  // given back
}

// Folders as Explorer shows them: one marked System alone is listed, a hidden one is not. A folder
// that fails to open leaves the three lists showing the same place as before.
TEST_F(WindowTest, FoldersAsExplorerShowsThemAndAFailureKeepsTheListsInStep) {
  std::filesystem::create_directories(folder_ / L"customised");
  std::filesystem::create_directories(folder_ / L"secret");
  SetFileAttributesW((folder_ / L"customised").c_str(), FILE_ATTRIBUTE_SYSTEM);
  SetFileAttributesW((folder_ / L"secret").c_str(), FILE_ATTRIBUTE_HIDDEN);
  MemoryRegistry registry;
  MainWindow& form = Open(registry);
  const Names folders = Items(Control(ControlId::kFolderList));
  EXPECT_NE(std::find(folders.begin(), folders.end(), L"customised"), folders.end());
  EXPECT_EQ(std::find(folders.begin(), folders.end(), L"secret"), folders.end());
  SetFileAttributesW((folder_ / L"customised").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW((folder_ / L"secret").c_str(), FILE_ATTRIBUTE_NORMAL);

  const Names files = Items(Control(ControlId::kFileList));
  std::filesystem::remove(folder_ / L"customised");  // gone since it was listed
  ChooseInList(ControlId::kFolderList, L"customised", LBN_DBLCLK);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].title, L"错误");
  EXPECT_EQ(form.DirPath(), Folder());
  EXPECT_EQ(Items(Control(ControlId::kFileList)), files);
  const HWND dir = Control(ControlId::kFolderList);
  const auto highlighted = static_cast<int>(SendMessageW(dir, LB_GETCURSEL, 0, 0));
  EXPECT_EQ(FolderListItemPath(dir, highlighted), Folder());
  EXPECT_EQ(SelectedDrive(Control(ControlId::kDriveList)), Folder().substr(0, 2));
}

// The name an accessibility client reads for a control: through UI Automation, as Narrator reads
// it, where the headers have it (the Windows SDK); else through the control's accessible object.
std::wstring AccessibleNameOf(HWND control) {
  std::wstring name;
#if defined(_MSC_VER)
  if (!testing::RunningUnderWine()) {
    IUIAutomation* automation = nullptr;
    IUIAutomationElement* element = nullptr;
    BSTR text = nullptr;
    if (SUCCEEDED(CoCreateInstance(__uuidof(CUIAutomation), nullptr, CLSCTX_INPROC_SERVER,
                                   __uuidof(IUIAutomation),
                                   reinterpret_cast<void**>(&automation))) &&
        SUCCEEDED(automation->ElementFromHandle(control, &element)) &&
        SUCCEEDED(element->get_CurrentName(&text)) && text != nullptr) {
      name = text;
    }
    if (text != nullptr) SysFreeString(text);
    if (element != nullptr) element->Release();
    if (automation != nullptr) automation->Release();
    return name;
  }
#endif
  // Spelt out: MinGW's import library exports IID_IAccessible as code, not as data.
  constexpr IID kIidAccessible = {
      0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                        reinterpret_cast<void**>(&object)))) {
    return name;
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  if (SUCCEEDED(object->get_accName(self, &text)) && text != nullptr) name = text;
  SysFreeString(text);
  object->Release();
  return name;
}

// A screen reader names the four lists, which have no label of their own on the window.
TEST_F(WindowTest, AScreenReaderCanNameTheFourLists) {
  const ComApartment com;  // as the program sets COM up, and nothing more
  ASSERT_TRUE(com.initialized());
  MemoryRegistry registry;
  Open(registry);
  const std::pair<ControlId, std::wstring_view> lists[] = {{ControlId::kDriveList, L"驱动器"},
                                                           {ControlId::kFolderList, L"文件夹"},
                                                           {ControlId::kFileList, L"程序"},
                                                           {ControlId::kEntryList, L"右键菜单项"}};
  for (const auto& [id, name] : lists) {
    EXPECT_EQ(AccessibleNameOf(Control(id)), name);
  }
  window_.reset();
}

// A registry that runs out of memory when first listed: the window's constructor fails whole, and
// no window is left behind to run its procedure on a destroyed object.
TEST_F(WindowTest, AConstructorThatThrowsLeavesNoWindow) {
  struct OutOfMemory final : RegistryServices {
    void ForEachSubkey(const KeyPath&, SubkeySink&) override { throw std::bad_alloc(); }
    KeyState ReadKey(const KeyPath&) override { return {}; }
    std::optional<KeyTree> ReadTree(const KeyPath&) override { return std::nullopt; }
    void CreateKey(const KeyPath&, std::wstring_view) override {}
    void WriteValue(const KeyPath&, std::wstring_view, const std::optional<RegValue>&) override {}
    void DeleteTree(const KeyPath&) override {}
    void SetSecurity(const KeyPath&, const std::vector<std::uint8_t>&) override {}
    bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept override {
      return a == b;
    }
    bool CanRestoreSecurity(const std::vector<std::uint8_t>&) const noexcept override {
      return true;
    }
    bool CanRestoreAudit() const noexcept override { return true; }
  } registry;
  EXPECT_THROW(MainWindow(GetModuleHandleW(nullptr), registry, MainWindow::Options{{}, false}),
               std::bad_alloc);
  EXPECT_EQ(FindWindowW(L"Verbwright.MainWindow", nullptr), nullptr);
}

TEST_F(WindowTest, AFailedLoadIsReportedAndTheWindowStillOpens) {
  MemoryRegistry registry;
  registry.WriteDefault(VerbKeyPath(L"tool"), L"x");
  registry.Deny(MemoryRegistry::Access::kEnumerate, VerbRoot(), ERROR_ACCESS_DENIED);
  MainWindow& form = Open(registry);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_NE(asked_[0].text.find(L"错误 5："), std::wstring::npos);
  EXPECT_EQ(asked_[0].text.find(L"列出注册表项 HKEY_"), 0u);
  EXPECT_TRUE(IsWindowVisible(form.hwnd()));
}

TEST_F(WindowTest, ListsTheEntriesFoundAtStart) {
  MemoryRegistry registry;
  for (const wchar_t* name : {L"open", L"Notepad ", L"记事本", L"Runas"}) {
    registry.WriteDefault(VerbKeyPath(name), L"");
  }
  Open(registry, false);
  // A space at the end is shown (␣), so that "Notepad " is not taken for "Notepad"; the item is
  // still exactly its key.
  EXPECT_EQ(Items(Control(ControlId::kEntryList)), (Names{L"Notepad\u2423", L"Runas", L"记事本"}));
  EXPECT_EQ(window_->Entries().Item(0), L"Notepad ");
}

// The real MessageBoxW, answered from another thread as a person would: read, then press OK.
TEST_F(WindowTest, TheRealMessageBoxShowsTheNoFileMessage) {
  MemoryRegistry registry;
  Open(registry);
  std::wstring title, text;
  std::vector<std::wstring> buttons;
  const bool answered = WithRealBox(
      L"提示",
      [&](HWND box) {
        title = WindowText(box);
        text = WindowText(GetDlgItem(box, 0xFFFF));
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
          wchar_t class_name[32] = {};
          GetClassNameW(child, class_name, 32);
          if (std::wstring(class_name) == L"Button") buttons.push_back(WindowText(child));
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      },
      [&] { Click(ControlId::kAddButton); });
  ASSERT_TRUE(answered);
  EXPECT_EQ(title, L"提示");
  EXPECT_EQ(text, L"请选择要加入右键菜单的文件啊，亲！");
  EXPECT_EQ(buttons.size(), 1u);
}

}  // namespace
}  // namespace vw
