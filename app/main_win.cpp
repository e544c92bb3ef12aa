#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <utility>

#include "app/accessible_name_win.h"
#include "app/main_window_win.h"
#include "platform/system_calls_win.h"
#include "registry/desktop_user_classes.h"
#include "registry/desktop_user_win.h"
#include "registry/win32_registry_win.h"
#include "words/texts.h"

// Parameter names as winbase.h declares them.
namespace {

// An elevated program is often started from the Downloads folder: DLLs loaded from now on (theme,
// DWM, version, shell) come from System32 only, never from beside the exe. Windows 7 has the
// function only with KB2533623, so it is looked up.
void LoadDllsFromSystem32Only() {
  const auto set_directories = vw::calls::Get<vw::calls::kSetDefaultDllDirectories>();
  if (set_directories != nullptr) set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPWSTR /*lpCmdLine*/,
                    int nShowCmd) {
  LoadDllsFromSystem32Only();
  // Never ask the user to insert a disk when a drive without a medium is read.
  SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  vw::Win32Registry system_registry;
  // Elevated as another account, "this user" is still the one at the desktop; one who cannot be
  // found, or whose classes are not loaded, is nobody, and then nothing may be changed.
  std::optional<vw::DesktopUserClasses> desktop_user;
  const vw::UserClasses classes =
      vw::FindUserClasses(vw::CurrentSessionAccount(), vw::ProcessUserSid(), vw::LookUpAccount);
  if (classes.whose != vw::UserClasses::Whose::kCurrentUser) {
    bool loaded = false;
    try {
      loaded = classes.whose == vw::UserClasses::Whose::kOtherUser &&
               system_registry.ReadKey(classes.root).exists;
    } catch (const vw::SystemError&) {  // unreadable: not known to be theirs
    }
    desktop_user.emplace(system_registry, loaded ? std::optional(classes.root) : std::nullopt);
  }
  vw::RegistryServices& registry =
      desktop_user ? static_cast<vw::RegistryServices&>(*desktop_user) : system_registry;
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
    MessageBoxW(nullptr, vw::text::ErrorReport(error).c_str(),
                std::wstring(vw::text::kErrorTitle).c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }
}
