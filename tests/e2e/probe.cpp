// A small automation client for the end-to-end test: it finds Verbwright's window and its
// message boxes from outside the process and prints what a person would see, in UTF-8.
//
//   probe wait                     waits for the main window
//   probe center ID                screen centre of control ID
//   probe item ID TEXT             screen centre of the list item TEXT in control ID
//   probe text ID                  text of control ID
//   probe items ID                 items of list box ID, one a line
//   probe focus                    ID of the control with the focus
//   probe box TITLE                waits for a message box: its text, then "button: TEXT [default]"
//   probe button TITLE TEXT        screen centre of a message box's button
//   probe gone TITLE               waits until no message box of that title is open
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t kTitle[] = L"Verbwright by Quellbrin";

void Print(const std::wstring& text) {
  const std::wstring line = text + L"\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), size,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written,
            nullptr);
}

std::wstring TextOf(HWND window) {
  std::wstring text(512, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), 512)));
  return text;
}

HWND WaitFor(const wchar_t* window_class, const std::wstring& title) {
  for (int tries = 0; tries < 150; ++tries) {
    if (const HWND found = FindWindowW(window_class, title.c_str())) return found;
    Sleep(100);
  }
  return nullptr;
}

HWND MainWindow() {
  return WaitFor(nullptr, kTitle);
}

void PrintCentre(HWND window, RECT rect) {
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  Print(std::to_wstring((rect.left + rect.right) / 2) + L" " +
        std::to_wstring((rect.top + rect.bottom) / 2));
}

std::wstring ListItem(HWND list, int index) {
  const auto length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                                    reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring command = argv[1];
  const auto control = [&](int index) { return GetDlgItem(MainWindow(), _wtoi(argv[index])); };

  if (command == L"wait") return MainWindow() != nullptr ? 0 : 1;
  if (command == L"center" && argc == 3) {
    RECT rect{};
    GetClientRect(control(2), &rect);
    PrintCentre(control(2), rect);
    return 0;
  }
  if (command == L"item" && argc == 4) {
    const HWND list = control(2);
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      if (ListItem(list, i) != argv[3]) continue;
      SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(i), 0);
      RECT rect{};
      SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect));
      PrintCentre(list, rect);
      return 0;
    }
    return 1;
  }
  if (command == L"text" && argc == 3) {
    // WM_GETTEXT, not GetWindowTextW: across processes only the message reaches an edit's text.
    const HWND edit = control(2);
    std::wstring text(static_cast<std::size_t>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    Print(text);
    return 0;
  }
  if (command == L"items" && argc == 3) {
    const HWND list = control(2);
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) Print(ListItem(list, i));
    return 0;
  }
  if (command == L"focus") {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(MainWindow(), nullptr), &info);
    Print(std::to_wstring(info.hwndFocus != nullptr ? GetDlgCtrlID(info.hwndFocus) : 0));
    return 0;
  }
  if ((command == L"box" && argc == 3) || (command == L"button" && argc == 4)) {
    const HWND box = WaitFor(L"#32770", argv[2]);
    if (box == nullptr) return 1;
    Sleep(200);  // let the box finish drawing
    if (command == L"box") Print(TextOf(GetDlgItem(box, 0xFFFF)));
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t class_name[16] = {};
      GetClassNameW(child, class_name, 16);
      if (lstrcmpiW(class_name, L"Button") != 0) continue;
      const bool is_default = (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      if (command == L"box") {
        Print(L"button: " + TextOf(child) + (is_default ? L" [default]" : L""));
      } else if (TextOf(child).find(argv[3]) != std::wstring::npos) {
        RECT rect{};
        GetClientRect(child, &rect);
        PrintCentre(child, rect);
        return 0;
      }
    }
    return command == L"box" ? 0 : 1;
  }
  if (command == L"gone" && argc == 3) {
    for (int tries = 0; tries < 100; ++tries) {
      if (FindWindowW(L"#32770", argv[2]) == nullptr) return 0;
      Sleep(100);
    }
    return 1;
  }
  return 2;
}
