#pragma once

// The main window's design: every control's place and size in twips (1/1440 inch), written once
// and scaled to pixels for the window's DPI.

#include <array>
#include <string_view>

namespace vw {

enum class ControlId : int {
  kDrive1 = 101,
  kDir1,
  kFile1,
  kList1,
  kLabel1,
  kText1,
  kCommand2,
  kCommand3,
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

inline constexpr std::wstring_view kFormCaption = L"Verbwright by Quellbrin";

// What a screen reader calls the four lists, which have no label on the window.
inline constexpr wchar_t kDrive1Name[] = L"驱动器";
inline constexpr wchar_t kDir1Name[] = L"文件夹";
inline constexpr wchar_t kFile1Name[] = L"程序";
inline constexpr wchar_t kList1Name[] = L"右键菜单项";
inline constexpr int kClientWidthTwips = 5880;
inline constexpr int kClientHeightTwips = 3165;

// In tab order, which is also the order of creation. The label stands just before the caption
// box, which it names for screen readers; it takes no focus, so its place changes no tab stop.
inline constexpr std::array<ControlDesign, 8> kControls{{
    {ControlId::kCommand2, L"Command2", 3120, 2520, 1215, 495},
    {ControlId::kCommand3, L"Command3", 4440, 2520, 1215, 495},
    {ControlId::kDrive1, L"Drive1", 120, 120, 2055, 315},
    {ControlId::kDir1, L"Dir1", 120, 435, 2055, 1890},
    {ControlId::kLabel1, L"Label1", 120, 2520, 1095, 495},
    {ControlId::kText1, L"Text1", 1320, 2520, 1695, 495},
    {ControlId::kList1, L"List1", 4200, 120, 1455, 2175},
    {ControlId::kFile1, L"File1", 2400, 120, 1575, 2175},
}};

// Twips to pixels at `dpi`, rounded as MulDiv rounds (half away from zero).
int TwipsToPixels(int twips, int dpi) noexcept;
PixelRect ToPixels(const ControlDesign& design, int dpi) noexcept;
const ControlDesign& DesignOf(ControlId id) noexcept;

}  // namespace vw
