#include "platform/desktop_user_win.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

#include "platform/win32_handle.h"

namespace vw {
namespace {

using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;

// The user a process runs as, as a string SID ("S-1-5-21-..."); "" when it cannot be read.
std::wstring UserOfProcess(HANDLE process) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
  const UniqueKernelHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> user(size);
  wchar_t* sid = nullptr;
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    return {};
  }
  std::wstring text(sid);
  LocalFree(sid);
  return text;
}

}  // namespace

std::optional<std::wstring> OtherDesktopUserClasses() {
  // The shell's desktop window belongs to Explorer, which runs as the user of the session.
  const HWND shell = GetShellWindow();
  DWORD shell_process_id = 0;
  if (shell == nullptr || GetWindowThreadProcessId(shell, &shell_process_id) == 0) return {};
  const UniqueKernelHandle shell_process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shell_process_id));
  if (!shell_process) return {};
  const std::wstring desktop_user = UserOfProcess(shell_process.get());
  const std::wstring this_user = UserOfProcess(GetCurrentProcess());
  if (desktop_user.empty() || this_user.empty() || desktop_user == this_user) return {};
  return L"HKEY_USERS\\" + desktop_user + L"_Classes\\";
}

}  // namespace vw
