#include "platform/process_token_win.h"

#include <sddl.h>

namespace vw {

ProcessToken::ProcessToken() noexcept {
  HANDLE raw = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &raw) ||
      OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
    token_.reset(raw);
  }
}

std::vector<std::uint8_t> ProcessToken::Part(TOKEN_INFORMATION_CLASS part) const {
  if (!token_) return {};
  DWORD size = 0;
  GetTokenInformation(token_.get(), part, nullptr, 0, &size);
  std::vector<std::uint8_t> buffer(size);
  if (size == 0 || !GetTokenInformation(token_.get(), part, buffer.data(), size, &size)) return {};
  return buffer;
}

std::wstring ProcessUserSid() {
  return ProcessToken().UserSid();
}

std::wstring ProcessToken::UserSid() const {
  const std::vector<std::uint8_t> user = Part(TokenUser);
  wchar_t* raw = nullptr;
  if (user.empty() ||
      !ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, &raw)) {
    return {};
  }
  const UniqueLocal<wchar_t> text(raw);
  return text.get();
}

PrivilegeOn::PrivilegeOn(const ProcessToken& token, const wchar_t* privilege) noexcept
    : token_(token.get()) {
  if (token_ == nullptr) return;
  TOKEN_PRIVILEGES wanted{};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, privilege, &wanted.Privileges[0].Luid)) return;
  DWORD size = sizeof(previous_);
  // Success with ERROR_NOT_ALL_ASSIGNED means the process does not hold it: nothing to undo.
  adjusted_ = AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof(previous_), &previous_, &size) !=
                  FALSE &&
              GetLastError() == ERROR_SUCCESS;
}

PrivilegeOn::~PrivilegeOn() {
  if (adjusted_) AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
}

}  // namespace vw
