#pragma once

// DPI services of Windows 10, with the Windows 7 equivalents where they are missing.
#include <windows.h>

// The SDK declares these only for newer targets (Windows 7 and Windows 10 1703) than the oldest
// this program runs on, where they never arrive.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

namespace vw {

inline constexpr UINT kDefaultDpi = 96;

UINT DpiOfWindow(HWND window) noexcept;

// The DPI a new top-level window on the primary monitor is expected to get.
UINT SystemDpi() noexcept;
RECT WindowRectForClient(SIZE client, DWORD style, DWORD ex_style, UINT dpi) noexcept;
// The system's message font, sized for `dpi`.
LOGFONTW MessageFontForDpi(UINT dpi) noexcept;
// A system metric (SM_CXICON, ...) as it is at `dpi`.
int SystemMetricForDpi(int index, UINT dpi) noexcept;

}  // namespace vw
