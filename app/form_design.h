#pragma once

// The main window's design: every control's place and size in twips (1/1440 inch), written once
// and scaled to pixels for the window's DPI.

#include <array>
#include <string_view>

#include "words/texts.h"

namespace vw {

enum class ControlId : int {
  kDriveList = 101,
  kFolderList,
  kFileList,
  kEntryList,
  kCaptionLabel,
  kCaptionBox,
  kAddButton,
  kRemoveButton,
};

struct ControlDesign {
  ControlId id;
  std::wstring_view name;
  int left, top, width, height;  // twips
};

struct PixelRect {
  int left, top, width, height;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

inline constexpr int kClientWidthTwips = 5880;
inline constexpr int kClientHeightTwips = 3165;

// In tab order, which is also the order of creation. The label stands just before the caption
// box, which it names for screen readers; it takes no focus, so its place changes no tab stop.
inline constexpr std::array<ControlDesign, 8> kControls{{
    {ControlId::kAddButton, text::kAddButtonControl, 3120, 2520, 1215, 495},
    {ControlId::kRemoveButton, text::kRemoveButtonControl, 4440, 2520, 1215, 495},
    {ControlId::kDriveList, text::kDriveListControl, 120, 120, 2055, 315},
    {ControlId::kFolderList, text::kFolderListControl, 120, 435, 2055, 1890},
    {ControlId::kCaptionLabel, text::kCaptionLabelControl, 120, 2520, 1095, 495},
    {ControlId::kCaptionBox, text::kCaptionBoxControl, 1320, 2520, 1695, 495},
    {ControlId::kEntryList, text::kEntryListControl, 4200, 120, 1455, 2175},
    {ControlId::kFileList, text::kFileListControl, 2400, 120, 1575, 2175},
}};

// Twips to pixels at `dpi`, rounded as MulDiv rounds (half away from zero).
int TwipsToPixels(int twips, int dpi) noexcept;
PixelRect ToPixels(const ControlDesign& design, int dpi) noexcept;
const ControlDesign& DesignOf(ControlId id) noexcept;

}  // namespace vw
