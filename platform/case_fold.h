#pragma once

#include <string>
#include <string_view>

namespace vw {

// Case folding as the registry compares key names: each UTF-16 code unit is mapped to upper case
// by Unicode's simple mapping (a generated table), then the units are compared ordinally. Off
// Windows, a wchar_t beyond the 16-bit range compares exactly, as its surrogates would.
wchar_t FoldCase(wchar_t c) noexcept;
std::wstring FoldCase(std::wstring_view text);
bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept;

}  // namespace vw
