#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_win.h"
#include "app/picker_lists_win.h"
#include "tests/support/memory_registry.h"

namespace vw::testing {

// A message box the window asked for.
struct AskedBox {
  std::wstring text, title;
  unsigned style;
};

// A scratch folder of programs and other files, made current while the test runs, and a main
// window over a registry of the test's choosing whose message boxes the test answers.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ =
        std::filesystem::path(temp) / (L"vw-window-" + std::to_wstring(GetCurrentProcessId()) +
                                       L"-" + std::to_wstring(GetTickCount64()));
    std::filesystem::create_directories(folder_ / L"子文件夹");
    std::filesystem::create_directories(folder_ / L"apps");
    for (const wchar_t* name :
         {L"b.exe", L"A.EXE", L"记事本.exe", L"a.exe.txt", L"readme.txt", L"hidden.exe"}) {
      Touch(folder_ / name);
    }
    Touch(folder_ / L"apps" / L"tool one.exe");
    SetFileAttributesW((folder_ / L"hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    previous_folder_ = previous;
    SetCurrentDirectoryW(folder_.c_str());
  }

  void TearDown() override {
    window_.reset();
    SetCurrentDirectoryW(previous_folder_.c_str());
    SetFileAttributesW((folder_ / L"hidden.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }

  static void Touch(const std::filesystem::path& path) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
  }

  MainWindow& Open(RegistryServices& registry, bool show = true) {
    const auto answer = [this](HWND, std::wstring_view text, std::wstring_view title,
                               unsigned style) {
      asked_.push_back({std::wstring(text), std::wstring(title), style});
      if (answers_.empty()) return IDOK;
      const int next = answers_.front();
      answers_.pop_front();
      return next;
    };
    window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), registry,
                                           MainWindow::Options{answer, false});
    if (show) {
      window_->Show(SW_SHOWNORMAL);
      SetForegroundWindow(window_->hwnd());
      Pump();
    }
    return *window_;
  }

  static void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  HWND Control(ControlId id) const { return window_->Control(id); }

  // What a control event would tell the window.
  void Notify(ControlId id, int code) const {
    SendMessageW(window_->hwnd(), WM_COMMAND, MAKEWPARAM(static_cast<int>(id), code),
                 reinterpret_cast<LPARAM>(Control(id)));
  }
  void Click(ControlId id) const { Notify(id, BN_CLICKED); }

  // Selects the item with this text in a list box and tells the window, as a click does.
  void ChooseInList(ControlId id, std::wstring_view text, int code = LBN_SELCHANGE) const {
    const HWND list = Control(id);
    const std::wstring item(text);
    const LRESULT index = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(item.c_str()));
    ASSERT_NE(index, LB_ERR) << "the list has no such item";
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Notify(id, code);
  }

  static std::vector<std::wstring> Items(HWND list) {
    std::vector<std::wstring> items;
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) items.push_back(ListBoxItem(list, i));
    return items;
  }

  std::wstring Folder() const { return folder_.wstring(); }

  // Puts the real MessageBoxW in place, runs `act`, which opens a box titled `title`, and has
  // `person` read and answer that box from another thread, as a person would. False when no such
  // box appeared.
  bool WithRealBox(const wchar_t* title, const std::function<void(HWND box)>& person,
                   const std::function<void()>& act) {
    window_->SetMessageBoxHandler([](HWND owner, std::wstring_view text,
                                     std::wstring_view box_title, unsigned style) {
      return MessageBoxW(owner, std::wstring(text).c_str(), std::wstring(box_title).c_str(), style);
    });
    std::atomic<bool> answered = false;
    std::thread other([&] {
      for (int tries = 0; tries < 200 && !answered; ++tries) {
        Sleep(25);
        if (const HWND box = FindWindowW(L"#32770", title)) {
          person(box);
          answered = true;
        }
      }
    });
    act();
    other.join();
    return answered;
  }

  std::unique_ptr<MainWindow> window_;
  std::vector<AskedBox> asked_;
  std::deque<int> answers_;
  std::filesystem::path folder_;
  std::wstring previous_folder_;
};

}  // namespace vw::testing
