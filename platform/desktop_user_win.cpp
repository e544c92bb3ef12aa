#include "platform/desktop_user_win.h"

#include <windows.h>

#include <sddl.h>

#include <memory>
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

// Session information from wtsapi32, which is loaded only here and only from System32.
class SessionInfo {
 public:
  SessionInfo() : module_(LoadLibraryExW(L"wtsapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (!module_) return;
    query_ = calls::Find<calls::WTSQuerySessionInformationW>(module_.get(),
                                                             "WTSQuerySessionInformationW");
    free_ = calls::Find<calls::WTSFreeMemory>(module_.get(), "WTSFreeMemory");
  }

  // The text the session gives for `info_class` (WTSUserName, WTSDomainName); "" when none.
  std::wstring Text(WTS_INFO_CLASS info_class) const {
    constexpr HANDLE kCurrentServer = nullptr;                // WTS_CURRENT_SERVER_HANDLE
    constexpr auto kCurrentSession = static_cast<DWORD>(-1);  // WTS_CURRENT_SESSION
    if (query_ == nullptr || free_ == nullptr) return {};
    wchar_t* buffer = nullptr;
    DWORD bytes = 0;
    if (!query_(kCurrentServer, kCurrentSession, info_class, &buffer, &bytes) || buffer == nullptr)
      return {};
    std::wstring text(buffer);
    free_(buffer);
    return text;
  }

 private:
  UniqueModule module_;
  calls::WTSQuerySessionInformationW query_ = nullptr;
  calls::WTSFreeMemory free_ = nullptr;
};

}  // namespace

SessionAccount CurrentSessionAccount() {
  const SessionInfo session;
  return {session.Text(WTSUserName), session.Text(WTSDomainName)};
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

std::wstring ProcessUserSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const UniqueKernelHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> user(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size))
    return {};
  return SidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

}  // namespace vw
