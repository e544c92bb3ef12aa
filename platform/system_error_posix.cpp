#include <string>

#include "platform/system_error.h"

namespace vw {

// Off Windows there is no message table; the few errors the core raises get their usual texts.
std::wstring DescribeSystemError(std::uint32_t code) {
  switch (code) {
    case errc::kFileNotFound:
      return L"The system cannot find the file specified.";
    case errc::kPathNotFound:
      return L"The system cannot find the path specified.";
    case errc::kAccessDenied:
      return L"Access is denied.";
    case errc::kNotEnoughMemory:
      return L"Not enough memory resources are available to process this command.";
    case errc::kNotReady:
      return L"The device is not ready.";
    case errc::kInvalidParameter:
      return L"The parameter is incorrect.";
    case errc::kBadPathname:
      return L"The specified path is invalid.";
    case errc::kKeyDeleted:
      return L"Illegal operation attempted on a registry key that has been marked for deletion.";
    default:
      return L"Unknown error " + std::to_wstring(code) + L".";
  }
}

}  // namespace vw
