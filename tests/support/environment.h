#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace vw::testing {

// An environment variable's value; nullopt when it is not set. (MSVC deprecates std::getenv.)
inline std::optional<std::string> EnvironmentVariable(const char* name) {
#ifdef _MSC_VER
  char* value = nullptr;
  std::size_t length = 0;
  if (_dupenv_s(&value, &length, name) != 0 || value == nullptr) return std::nullopt;
  std::string text(value);
  std::free(value);
  return text;
#else
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
#endif
}

}  // namespace vw::testing
