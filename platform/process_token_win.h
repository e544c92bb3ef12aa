#pragma once

// This process's token: the one place that opens it, to read it or to switch a privilege on.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles_win.h"

namespace vw {

// The token, opened once for everything read of it and every privilege switched on through it.
class ProcessToken {
 public:
  ProcessToken() noexcept;
  // A part of it, as GetTokenInformation gives it; empty when it cannot be read.
  std::vector<std::uint8_t> Part(TOKEN_INFORMATION_CLASS part) const;
  // The user it is of, as a string SID; "" when it cannot be read.
  std::wstring UserSid() const;
  HANDLE get() const noexcept { return token_.get(); }

 private:
  UniqueKernelHandle token_;
};

// The user this process runs as, as a string SID; "" when it cannot be read.
std::wstring ProcessUserSid();

// A privilege of the token switched on while this lives, and back to its earlier state after;
// nothing where the process does not hold it.
class PrivilegeOn {
 public:
  PrivilegeOn(const ProcessToken& token, const wchar_t* privilege) noexcept;
  ~PrivilegeOn();
  PrivilegeOn(const PrivilegeOn&) = delete;
  PrivilegeOn& operator=(const PrivilegeOn&) = delete;
  // Whether the privilege is on now.
  bool on() const noexcept { return adjusted_; }

 private:
  HANDLE token_;
  TOKEN_PRIVILEGES previous_{};
  bool adjusted_ = false;
};

}  // namespace vw
