#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace vw {

// Win32 error numbers the portable code names itself (values as in winerror.h).
namespace errc {
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kNotReady = 21;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kBadPathname = 161;
inline constexpr std::uint32_t kKeyDeleted = 1018;
inline constexpr std::uint32_t kInternalError = 1359;
}  // namespace errc

// The system's own description of an error number (FormatMessageW on Windows).
std::wstring DescribeSystemError(std::uint32_t code);

// A failed system call: its error number, what was being done and to what (a key path in full,
// a folder), and the system's description.
class SystemError : public std::exception {
 public:
  SystemError(std::uint32_t code, std::wstring action, std::wstring subject = {})
      : code_(code),
        action_(std::move(action)),
        subject_(std::move(subject)),
        description_(DescribeSystemError(code)) {}

  std::uint32_t code() const noexcept { return code_; }
  const std::wstring& action() const noexcept { return action_; }
  const std::wstring& subject() const noexcept { return subject_; }
  const std::wstring& description() const noexcept { return description_; }
  // More the user should know, shown after the description; "" when none.
  const std::wstring& detail() const noexcept { return detail_; }
  SystemError& WithDetail(std::wstring detail) {
    detail_ = std::move(detail);
    return *this;
  }
  const char* what() const noexcept override { return "system call failed"; }

 private:
  std::uint32_t code_;
  std::wstring action_;
  std::wstring subject_;
  std::wstring description_;
  std::wstring detail_;
};

}  // namespace vw
