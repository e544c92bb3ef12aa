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
inline constexpr std::uint32_t kAlreadyExists = 183;
inline constexpr std::uint32_t kStoppedOnSymlink = 681;
inline constexpr std::uint32_t kCantWrite = 1013;
inline constexpr std::uint32_t kKeyDeleted = 1018;
inline constexpr std::uint32_t kInternalError = 1359;
}  // namespace errc

// The system's own description of an error number (FormatMessageW on Windows).
std::wstring DescribeSystemError(std::uint32_t code);

// What a failed call was doing, as its error says: a kind, which the user's texts word.
enum class Doing : std::uint8_t {
  kListingKey,
  kReadingKey,
  kWritingKey,
  kDeletingKey,
  kChangingRegistry,
  kReadingFolder,
  kAddingToList,
  kRegisteringWindowClass,
  kCreatingMainWindow,
  kCreatingControl,
  kHandlingMessage,
};

// A failed system call: its error number, what was being done and to what, and the system's
// description. The subject is as the program holds it, a key written out in full for the four
// key doings, a folder, an item's text; the user's wording of it is made above, in words/.
class SystemError : public std::exception {
 public:
  SystemError(std::uint32_t code, Doing doing, std::wstring subject = {})
      : code_(code),
        doing_(doing),
        subject_(std::move(subject)),
        description_(DescribeSystemError(code)) {}

  std::uint32_t code() const noexcept { return code_; }
  Doing doing() const noexcept { return doing_; }
  // Whether it happened while a failed change was being put back.
  bool undoing() const noexcept { return undoing_; }
  SystemError& WhileUndoing() {
    undoing_ = true;
    return *this;
  }
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
  Doing doing_;
  bool undoing_ = false;
  std::wstring subject_;
  std::wstring description_;
  std::wstring detail_;
};

}  // namespace vw
