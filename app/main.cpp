#include <windows.h>

#include <commctrl.h>

#include "app/main_window.h"
#include "operations/messages.h"
#include "verbs/registry_win32.h"

// Parameter names as winbase.h declares them.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPWSTR /*lpCmdLine*/,
                    int nShowCmd) {
  // Never ask the user to insert a disk when a drive without a medium is read.
  SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  vw::Win32Registry registry;
  try {
    vw::MainWindow form(hInstance, registry, {});
    form.Show(nShowCmd);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageW(form.hwnd(), &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    return static_cast<int>(message.wParam);
  } catch (const vw::SystemError& error) {  // the window could not be created
    MessageBoxW(nullptr, vw::ErrorReport(error).c_str(),
                std::wstring(vw::text::kErrorTitle).c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }
}
