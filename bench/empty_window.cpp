// The floor for start-up: a Win32 program that only creates and shows an empty window.
// Built a second time with BENCH_VISUAL_STYLES, it also carries Verbwright's manifest and loads
// version 6 of the common controls, as any program with visual styles must: that build shows
// what visual styles alone cost.
#include <windows.h>

#include "bench/bench_common.h"

#ifdef BENCH_VISUAL_STYLES
#include <commctrl.h>
#define BENCH_TITLE L"Empty window with visual styles"
#else
#define BENCH_TITLE L"Empty window"
#endif

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPWSTR /*lpCmdLine*/,
                    int nShowCmd) {
#ifdef BENCH_VISUAL_STYLES
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
#endif
  bench::RegisterFloorClass(hInstance, L"EmptyWindow");
  const HWND window =
      CreateWindowExW(0, L"EmptyWindow", BENCH_TITLE, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 400, 250, nullptr, nullptr, hInstance, nullptr);
  ShowWindow(window, nShowCmd);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
