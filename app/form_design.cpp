#include "app/form_design.h"

#include <cstdlib>

namespace vw {

int TwipsToPixels(int twips, int dpi) noexcept {
  constexpr long long kTwipsPerInch = 1440;
  const long long product = static_cast<long long>(twips) * dpi;
  const long long rounded = (std::llabs(product) + kTwipsPerInch / 2) / kTwipsPerInch;
  return static_cast<int>(product < 0 ? -rounded : rounded);
}

PixelRect ToPixels(const ControlDesign& design, int dpi) noexcept {
  return {TwipsToPixels(design.left, dpi), TwipsToPixels(design.top, dpi),
          TwipsToPixels(design.width, dpi), TwipsToPixels(design.height, dpi)};
}

const ControlDesign& DesignOf(ControlId id) noexcept {
  for (const ControlDesign& design : kControls) {
    if (design.id == id) return design;
  }
  std::abort();  // every id has a design
}

}  // namespace vw
