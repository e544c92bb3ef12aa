#include "app/dpi_win.h"

namespace vw {
namespace {

template <typename Function>
Function User32Function(const char* name) noexcept {
  // user32 is always loaded in a GUI process; the function exists from Windows 10 on.
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 == nullptr
             ? nullptr
             : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT ScreenDpi() noexcept {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

UINT DpiOfWindow(HWND window) noexcept {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get_dpi = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  const UINT dpi = get_dpi != nullptr ? get_dpi(window) : 0;
  return dpi != 0 ? dpi : ScreenDpi();
}

UINT SystemDpi() noexcept {
  using GetDpiForSystemFn = UINT(WINAPI*)();
  static const auto get_dpi = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
  const UINT dpi = get_dpi != nullptr ? get_dpi() : 0;
  return dpi != 0 ? dpi : ScreenDpi();
}

RECT WindowRectForClient(SIZE client, DWORD style, DWORD ex_style, UINT dpi) noexcept {
  using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = User32Function<AdjustFn>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, client.cx, client.cy};
  if (adjust == nullptr || !adjust(&rect, style, FALSE, ex_style, dpi)) {
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return rect;
}

LOGFONTW MessageFontForDpi(UINT dpi) noexcept {
  using SpiForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  static const auto spi_for_dpi = User32Function<SpiForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (spi_for_dpi != nullptr &&
      spi_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
    return metrics.lfMessageFont;
  }
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(ScreenDpi()));
    return metrics.lfMessageFont;
  }
  LOGFONTW fallback{};
  fallback.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
  lstrcpynW(fallback.lfFaceName, L"Segoe UI", LF_FACESIZE);
  return fallback;
}

int SystemMetricForDpi(int index, UINT dpi) noexcept {
  using MetricForDpiFn = int(WINAPI*)(int, UINT);
  static const auto metric_for_dpi = User32Function<MetricForDpiFn>("GetSystemMetricsForDpi");
  if (metric_for_dpi != nullptr) return metric_for_dpi(index, dpi);
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

}  // namespace vw
