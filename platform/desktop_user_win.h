#pragma once

#include <optional>
#include <string>

namespace vw {

// The classes root of the desktop's user, "HKEY_USERS\<SID>_Classes\", when this process runs as
// another account (elevated over the shoulder with an administrator's password); nullopt when it
// runs as the desktop's user, or when that user cannot be found (no shell running).
std::optional<std::wstring> OtherDesktopUserClasses();

}  // namespace vw
