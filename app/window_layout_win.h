#pragma once

// The window's layout: its frame, its controls at the design's places for a DPI, their font, and
// its icons. What the design table says, made into windows.
#include <windows.h>

#include "app/form_design.h"
#include "platform/handles_win.h"

namespace vw {

inline constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD kWindowExStyle = 0;

// The design's client area at `dpi`, and the window's frame for it centred on the work area of
// `monitor`.
SIZE ClientSizeForDpi(UINT dpi) noexcept;
RECT CentredFrame(SIZE client, UINT dpi, HMONITOR monitor) noexcept;
// Where a control stands at `dpi`; a combo box's height includes its drop-down list.
PixelRect PlacementOf(const ControlDesign& design, int dpi) noexcept;
// The message font at `dpi`, and the program's icon at the size `metric` has there.
UniqueFont MessageFont(UINT dpi) noexcept;
UniqueIcon LoadProgramIcon(HINSTANCE instance, int metric, UINT dpi);

// Creates the control of `design` in `window` at its place for `dpi`; throws when it cannot.
HWND CreateControl(HWND window, HINSTANCE instance, const ControlDesign& design, UINT dpi);
// Moves every control of `window` to its place for `dpi`, all at once.
void PlaceControls(HWND window, UINT dpi);
// Gives a control `font` and fits what depends on the font to the design at `dpi`: the drive
// box's closed height, the folder list's rows.
void FitToFont(HWND control, ControlId id, HFONT font, UINT dpi);

}  // namespace vw
