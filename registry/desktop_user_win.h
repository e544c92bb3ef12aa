#pragma once

#include <optional>
#include <string>

#include "platform/process_token_win.h"
#include "registry/desktop_user_classes.h"

namespace vw {

// The account of the desktop session this process runs in, as the session names it (its user and
// domain, "" where it names none), found from the session itself, which needs neither a running
// shell nor another account's token.
SessionAccount CurrentSessionAccount();

// The account named `name` ("domain\user"), with whether it is a user's; nullopt when the name
// cannot be looked up.
std::optional<FoundAccount> LookUpAccount(const std::wstring& name);

}  // namespace vw
