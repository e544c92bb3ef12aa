#pragma once

// This process's token: the one place that opens it, to read it or to switch a privilege on.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles_win.h"

namespace vw {

// The token, opened once for everything read of it.
class ProcessToken {
 public:
  ProcessToken() noexcept;
  // A part of it, as GetTokenInformation gives it; empty when it cannot be read.
  std::vector<std::uint8_t> Part(TOKEN_INFORMATION_CLASS part) const;

 private:
  UniqueKernelHandle token_;
};

// The user this process runs as, as a string SID; "" when it cannot be read.
std::wstring ProcessUserSid();

// A privilege of this process switched on while this lives, and back to its earlier state after;
// nothing where the process does not hold it.
class PrivilegeOn {
 public:
  explicit PrivilegeOn(const wchar_t* privilege) noexcept;
  ~PrivilegeOn();
  PrivilegeOn(const PrivilegeOn&) = delete;
  PrivilegeOn& operator=(const PrivilegeOn&) = delete;
  // Whether the privilege is on now.
  bool on() const noexcept { return adjusted_; }

 private:
  UniqueKernelHandle token_;
  TOKEN_PRIVILEGES previous_{};
  bool adjusted_ = false;
};

}  // namespace vw
