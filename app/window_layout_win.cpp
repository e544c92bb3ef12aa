#include "app/window_layout_win.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/dpi_win.h"
#include "app/picker_lists_win.h"
#include "platform/system_error.h"
#include "words/texts.h"

namespace vw {
namespace {

constexpr int kIconResource = 1;
constexpr int kDropDownItems = 12;

struct ControlClass {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style;
  const wchar_t* text;
};

ControlClass ClassOf(ControlId id) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  constexpr DWORD kList = kChild | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  switch (id) {
    case ControlId::kDriveList:
      return {WC_COMBOBOXW, kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_HASSTRINGS, 0,
              L""};
    case ControlId::kFolderList:
      return {WC_LISTBOXW, kList | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, WS_EX_CLIENTEDGE, L""};
    case ControlId::kFileList:
    case ControlId::kEntryList:  // sideways too: a long name is read whole
      return {WC_LISTBOXW, kList | WS_HSCROLL, WS_EX_CLIENTEDGE, L""};
    case ControlId::kCaptionLabel:
      return {WC_STATICW, kChild | SS_LEFT | SS_NOPREFIX, 0, text::kCaptionLabel};
    case ControlId::kCaptionBox:
      return {WC_EDITW, kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, text::kCaptionHint};
    case ControlId::kAddButton:
      return {WC_BUTTONW, kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, text::kAddButton};
    case ControlId::kRemoveButton:
      return {WC_BUTTONW, kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, text::kRemoveButton};
  }
  return {};
}

}  // namespace

UniqueIcon LoadProgramIcon(HINSTANCE instance, int metric, UINT dpi) {
  const int size = SystemMetricForDpi(metric, dpi);
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, size, size, 0)));
}

SIZE ClientSizeForDpi(UINT dpi) noexcept {
  const auto dpi_int = static_cast<int>(dpi);
  return {TwipsToPixels(kClientWidthTwips, dpi_int), TwipsToPixels(kClientHeightTwips, dpi_int)};
}

RECT CentredFrame(SIZE client, UINT dpi, HMONITOR monitor) noexcept {
  RECT frame = WindowRectForClient(client, kWindowStyle, kWindowExStyle, dpi);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(monitor, &info)) return frame;
  const RECT& work = info.rcWork;
  OffsetRect(&frame,
             work.left + (work.right - work.left - (frame.right - frame.left)) / 2 - frame.left,
             work.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2 - frame.top);
  return frame;
}

PixelRect PlacementOf(const ControlDesign& design, int dpi) noexcept {
  PixelRect rect = ToPixels(design, dpi);
  if (design.id == ControlId::kDriveList) rect.height *= kDropDownItems;
  return rect;
}

UniqueFont MessageFont(UINT dpi) noexcept {
  LOGFONTW font = MessageFontForDpi(dpi);
  return UniqueFont(CreateFontIndirectW(&font));
}

HWND CreateControl(HWND window, HINSTANCE instance, const ControlDesign& design, UINT dpi) {
  const ControlClass kind = ClassOf(design.id);
  const PixelRect rect = PlacementOf(design, static_cast<int>(dpi));
  const HWND control =
      CreateWindowExW(kind.ex_style, kind.window_class, kind.text, kind.style, rect.left, rect.top,
                      rect.width, rect.height, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
  if (control == nullptr)
    throw SystemError(GetLastError(), Doing::kCreatingControl, std::wstring(design.name));
  return control;
}

void PlaceControls(HWND window, UINT dpi) {
  HDWP positions = BeginDeferWindowPos(static_cast<int>(kControls.size()));
  for (const ControlDesign& design : kControls) {
    const PixelRect rect = PlacementOf(design, static_cast<int>(dpi));
    if (positions != nullptr) {
      positions = DeferWindowPos(positions, GetDlgItem(window, static_cast<int>(design.id)),
                                 nullptr, rect.left, rect.top, rect.width, rect.height,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (positions != nullptr) EndDeferWindowPos(positions);
}

void FitToFont(HWND control, ControlId id, HFONT font, UINT dpi) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (id == ControlId::kDriveList) {
    // The closed box's height comes from its selection field. Steer the field by the measured
    // height, since what a box adds to the field differs between systems; but never below the
    // height of an item, which the font sets: a box a little taller than the design is better
    // than clipped text (a Chinese Windows' font is taller than most).
    const int height = ToPixels(DesignOf(id), static_cast<int>(dpi)).height;
    const auto item = static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, 0, 0));
    auto field =
        static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 4; ++attempt) {
      RECT closed{};
      GetWindowRect(control, &closed);
      const int wanted =
          std::max(field + height - static_cast<int>(closed.bottom - closed.top), item);
      if (wanted == field) break;
      field = wanted;
      SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
  } else if (id == ControlId::kFolderList) {
    SendMessageW(control, LB_SETITEMHEIGHT, 0, FolderItemHeight(font, dpi));
  }
}

}  // namespace vw
