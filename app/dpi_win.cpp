#include "app/dpi_win.h"

#include "platform/handles_win.h"
#include "platform/system_calls_win.h"

namespace vw {
namespace {

UINT ScreenDpi() noexcept {
  const WindowDc screen;
  const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

UINT DpiOfWindow(HWND window) noexcept {
  const auto get_dpi = calls::Get<calls::kGetDpiForWindow>();  // Windows 10 on, as below
  const UINT dpi = get_dpi != nullptr ? get_dpi(window) : 0;
  return dpi != 0 ? dpi : ScreenDpi();
}

UINT SystemDpi() noexcept {
  const auto get_dpi = calls::Get<calls::kGetDpiForSystem>();
  const UINT dpi = get_dpi != nullptr ? get_dpi() : 0;
  return dpi != 0 ? dpi : ScreenDpi();
}

RECT WindowRectForClient(SIZE client, DWORD style, DWORD ex_style, UINT dpi) noexcept {
  const auto adjust = calls::Get<calls::kAdjustWindowRectExForDpi>();
  RECT rect{0, 0, client.cx, client.cy};
  if (adjust == nullptr || !adjust(&rect, style, FALSE, ex_style, dpi)) {
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return rect;
}

LOGFONTW MessageFontForDpi(UINT dpi) noexcept {
  const auto spi_for_dpi = calls::Get<calls::kSystemParametersInfoForDpi>();
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
  const auto metric_for_dpi = calls::Get<calls::kGetSystemMetricsForDpi>();
  if (metric_for_dpi != nullptr) return metric_for_dpi(index, dpi);
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

}  // namespace vw
