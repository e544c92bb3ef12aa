#include "platform/case_fold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <type_traits>

namespace vw {
namespace {

// Every step-th code unit from `first`, `count` of them, upper-cases to itself plus `delta`.
struct UpperRun {
  std::uint16_t first;
  std::uint16_t count;
  std::uint8_t step;
  int delta;
};

constexpr UpperRun kUpperRuns[] = {
#include "platform/upper_case_table.inc"
};

}  // namespace

wchar_t FoldCase(wchar_t c) noexcept {
  const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
  if (unit < 0x80) return unit >= L'a' && unit <= L'z' ? static_cast<wchar_t>(unit - 0x20) : c;
  if (unit > 0xFFFF) return c;
  // The last run that starts at or before the unit.
  const auto after =
      std::upper_bound(std::begin(kUpperRuns), std::end(kUpperRuns), unit,
                       [](std::uint32_t value, const UpperRun& run) { return value < run.first; });
  if (after == std::begin(kUpperRuns)) return c;
  const UpperRun& run = *std::prev(after);
  const std::uint32_t offset = unit - run.first;
  if (offset % run.step != 0 || offset / run.step >= run.count) return c;
  return static_cast<wchar_t>(static_cast<int>(unit) + run.delta);
}

std::wstring FoldCase(std::wstring_view text) {
  std::wstring folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](wchar_t c) { return FoldCase(c); });
  return folded;
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](wchar_t x, wchar_t y) { return x == y || FoldCase(x) == FoldCase(y); });
}

}  // namespace vw
