#pragma once

#include <string>

namespace vw {

// The user of the desktop session this process runs in, as a string SID ("S-1-5-21-..."), found
// from the session itself, which needs neither a running shell nor another account's token; ""
// when the session names no user or the name cannot be looked up.
std::wstring SessionUserSid();

// The user this process runs as, as a string SID; "" when it cannot be read.
std::wstring ProcessUserSid();

}  // namespace vw
