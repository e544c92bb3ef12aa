#include "verbs/case_fold.h"

#include <algorithm>
#include <type_traits>

namespace vw {

wchar_t FoldCase(wchar_t c) noexcept {
  const auto u = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(c));
  const auto shifted = [c](unsigned long by) {
    return static_cast<wchar_t>(c - static_cast<wchar_t>(by));
  };
  if (u >= L'a' && u <= L'z') return shifted(0x20);
  if (u < 0x80) return c;
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return shifted(0x20);
  if (u == 0xFF) return static_cast<wchar_t>(0x178);
  if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return shifted(0x20);
  if (u >= 0x430 && u <= 0x44F) return shifted(0x20);
  if (u >= 0x450 && u <= 0x45F) return shifted(0x50);
  if (u >= 0xFF41 && u <= 0xFF5A) return shifted(0x20);
  return c;
}

std::wstring FoldCase(std::wstring_view text) {
  std::wstring folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](wchar_t c) { return FoldCase(c); });
  return folded;
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](wchar_t x, wchar_t y) { return FoldCase(x) == FoldCase(y); });
}

}  // namespace vw
