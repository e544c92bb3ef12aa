#pragma once

#include <string>
#include <string_view>

namespace vw {

// Case folding as the registry compares key names: ordinal, upper case. Covers ASCII, Latin-1,
// Greek, Cyrillic and full-width Latin; other characters compare exactly.
wchar_t FoldCase(wchar_t c) noexcept;
std::wstring FoldCase(std::wstring_view text);
bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept;

}  // namespace vw
