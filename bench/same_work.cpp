// The fairest floor for start-up and memory: a program that does what Verbwright's window must do
// and no more. The same eight controls at the design's geometry, with the message font and visual
// styles (it carries Verbwright's manifest); the drive list filled with the drives, the folder and
// file lists with the start folder's subfolders and programs, the entry list with every verb of
// HKEY_CLASSES_ROOT\exefile\shell but Windows' own two, each with bare calls; the window shown
// centred. No checks, no
// names kept, no accessibility, no DPI changes followed.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/form_design.h"
#include "bench/bench_common.h"

namespace {

struct Kind {
  const wchar_t* window_class;
  DWORD style;
};

Kind KindOf(vw::ControlId id) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
  constexpr DWORD kList = kChild | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  switch (id) {
    case vw::ControlId::kDriveList:
      return {WC_COMBOBOXW, kChild | WS_VSCROLL | CBS_DROPDOWNLIST};
    case vw::ControlId::kFolderList:
      return {WC_LISTBOXW, kList | WS_BORDER};
    case vw::ControlId::kFileList:
    case vw::ControlId::kEntryList:
      return {WC_LISTBOXW, kList | WS_BORDER | WS_HSCROLL};
    case vw::ControlId::kCaptionLabel:
      return {WC_STATICW, WS_CHILD | WS_VISIBLE};
    case vw::ControlId::kCaptionBox:
      return {WC_EDITW, kChild | WS_BORDER | ES_AUTOHSCROLL};
    default:
      return {WC_BUTTONW, kChild | BS_PUSHBUTTON};
  }
}

void Add(HWND list, UINT message, const wchar_t* text) {
  SendMessageW(list, message, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR /*command_line*/, int show) {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  bench::RegisterFloorClass(instance, L"SameWork");

  const int dpi = 96;
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, vw::TwipsToPixels(vw::kClientWidthTwips, dpi),
             vw::TwipsToPixels(vw::kClientHeightTwips, dpi)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const HWND window = CreateWindowExW(0, L"SameWork", L"Same work", kStyle,
                                      (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                      (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                      nullptr, nullptr, instance, nullptr);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  for (const vw::ControlDesign& design : vw::kControls) {
    const Kind kind = KindOf(design.id);
    const vw::PixelRect rect = vw::ToPixels(design, dpi);
    const int tall = design.id == vw::ControlId::kDriveList ? rect.height * 8 : rect.height;
    const HWND control = CreateWindowExW(
        0, kind.window_class, L"", kind.style, rect.left, rect.top, rect.width, tall, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  const auto control = [&](vw::ControlId id) { return GetDlgItem(window, static_cast<int>(id)); };

  wchar_t drives[512] = {};
  GetLogicalDriveStringsW(511, drives);
  for (const wchar_t* drive = drives; *drive != L'\0'; drive += wcslen(drive) + 1)
    Add(control(vw::ControlId::kDriveList), CB_ADDSTRING, drive);
  WIN32_FIND_DATAW found{};
  const HANDLE find = FindFirstFileExW(L"*", FindExInfoBasic, &found, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (name != L"." && name != L"..")
          Add(control(vw::ControlId::kFolderList), LB_ADDSTRING, name.c_str());
      } else if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0) {
        Add(control(vw::ControlId::kFileList), LB_ADDSTRING, name.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  const HWND entries = control(vw::ControlId::kEntryList);
  HKEY verbs = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"exefile\\shell", 0, KEY_READ, &verbs) == ERROR_SUCCESS) {
    DWORD count = 0;
    RegQueryInfoKeyW(verbs, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    SendMessageW(entries, WM_SETREDRAW, FALSE, 0);
    SendMessageW(entries, LB_INITSTORAGE, count, count * 16 * sizeof(wchar_t));
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
      DWORD length = 256;
      if (RegEnumKeyExW(verbs, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      if (wcscmp(name, L"open") != 0 && wcscmp(name, L"runas") != 0)  // Windows' own, unlisted
        Add(entries, LB_ADDSTRING, name);
    }
    SendMessageW(entries, WM_SETREDRAW, TRUE, 0);
    RegCloseKey(verbs);
  }
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  DeleteObject(font);
  return 0;
}
