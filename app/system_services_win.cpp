#include "app/system_services_win.h"

#include <windows.h>

#include <shlobj.h>

#include <string>

#include "platform/system_calls_win.h"

namespace vw {

bool Win32SystemServices::ProgramExists(std::wstring_view program_path) {
  const DWORD attributes = GetFileAttributesW(std::wstring(program_path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void Win32SystemServices::RegistryChanged() {
  // shell32 is loaded only when needed: it is large, and start-up does not need it.
  const auto notify = calls::Get<calls::kSHChangeNotify>();
  if (notify != nullptr) notify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace vw
