#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "registry/key_path.h"

namespace vw::testing {

// A key written as the script host writes it, "HKCR\exefile\shell\tool\"; the tests' own spelling.
inline KeyPath Key(std::wstring_view full_path) {
  auto key = ParseKeyPath(full_path);
  if (!key) {
    std::string text;
    for (const wchar_t c : full_path) text += c < 0x80 ? static_cast<char>(c) : '?';
    throw std::invalid_argument("not a key path: " + text);
  }
  return *std::move(key);
}

}  // namespace vw::testing
