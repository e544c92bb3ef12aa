#include "registry/desktop_user_win.h"

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/handles_win.h"
#include "platform/system_calls_win.h"

namespace vw {
namespace {

std::wstring SidText(PSID sid) {
  wchar_t* raw = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &raw)) return {};
  const UniqueLocal<wchar_t> text(raw);
  return text.get();
}

// The text the session gives for `info_class` (WTSUserName, WTSDomainName), "" when none;
// nullopt when the session could not be asked. wtsapi32 is loaded only here.
std::optional<std::wstring> SessionText(WTS_INFO_CLASS info_class) {
  constexpr HANDLE kCurrentServer = nullptr;                // WTS_CURRENT_SERVER_HANDLE
  constexpr auto kCurrentSession = static_cast<DWORD>(-1);  // WTS_CURRENT_SESSION
  const auto query = calls::Get<calls::kWTSQuerySessionInformationW>();
  const auto free = calls::Get<calls::kWTSFreeMemory>();
  if (query == nullptr || free == nullptr) return std::nullopt;
  wchar_t* buffer = nullptr;
  DWORD bytes = 0;
  if (!query(kCurrentServer, kCurrentSession, info_class, &buffer, &bytes)) return std::nullopt;
  if (buffer == nullptr) return std::wstring();
  const std::unique_ptr<wchar_t, LoadedFreer<decltype(free)>> owned(buffer, {free});
  return std::wstring(owned.get());
}

}  // namespace

SessionAccount CurrentSessionAccount() {
  const std::optional<std::wstring> user = SessionText(WTSUserName);
  const std::optional<std::wstring> domain = SessionText(WTSDomainName);
  if (!user || !domain) return {{}, {}, false};
  return {*user, *domain, true};
}

std::optional<FoundAccount> LookUpAccount(const std::wstring& name) {
  DWORD sid_size = 0, domain_size = 0;
  SID_NAME_USE use{};
  LookupAccountNameW(nullptr, name.c_str(), nullptr, &sid_size, nullptr, &domain_size, &use);
  if (sid_size == 0) return std::nullopt;
  std::vector<std::uint8_t> sid(sid_size);
  std::wstring domain(domain_size + 1, L'\0');
  if (!LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sid_size, domain.data(), &domain_size,
                          &use)) {
    return std::nullopt;
  }
  return FoundAccount{SidText(sid.data()), use == SidTypeUser};
}

}  // namespace vw
