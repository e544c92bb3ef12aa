#pragma once

#include <cstdint>

#include "platform/system_error.h"

namespace vw::testing {

// The error number a call fails with; 0 when it succeeds.
inline std::uint32_t ErrorOf(const auto& call) {
  try {
    call();
  } catch (const SystemError& error) {
    return error.code();
  }
  return 0;
}

}  // namespace vw::testing
