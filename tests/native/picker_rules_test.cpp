#include "app/picker_rules.h"

#include <gtest/gtest.h>

#include "app/form_design.h"

namespace vw {
namespace {

using Names = std::vector<std::wstring>;

TEST(PickerRules, SuggestsOpenWithTheEntryName) {
  EXPECT_EQ(CaptionSuggestion(L"notepad.exe"), L"用 notepad 打开");
  EXPECT_EQ(CaptionSuggestion(L"记事本.exe"), L"用 记事本 打开");
  EXPECT_EQ(CaptionSuggestion(L"My Tool.EXE"), L"用 My Tool 打开");
  // A menu would take '&' as an access key's mark: doubled, it shows as itself.
  EXPECT_EQ(CaptionSuggestion(L"Tom&Jerry.exe"), L"用 Tom&&Jerry 打开");
}

TEST(PickerRules, ShowsOnlyLongNamesEndingInExe) {
  struct Case {
    std::wstring_view name;
    bool shown;
  };
  const Case cases[] = {
      {L"a.exe", true},          {L"B.EXE", true},      {L"c.Exe", true},
      {L"记事本.exe", true},     {L"a.exe.txt", false}, {L"LONGNA~1.EXE", true},
      {L"longname.exec", false}, {L"exe", false},       {L".exe", true},
      {L"a.ex", false},          {L"a exe", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsExecutableName(c.name), c.shown) << "case " << (&c - cases);
}

TEST(PickerRules, SortsWithoutRegardToCase) {
  Names names{L"b.exe", L"A.EXE", L"a.exe", L"记事本.exe", L"C.exe", L"_x.exe"};
  SortNames(names);
  EXPECT_EQ(names, (Names{L"A.EXE", L"a.exe", L"b.exe", L"C.exe", L"_x.exe", L"记事本.exe"}));
}

TEST(PickerRules, BuildsTheFolderTreeOfAPath) {
  EXPECT_EQ(FolderTree(L"C:\\", {L"Program Files", L"Windows"}),
            (std::vector<FolderItem>{
                {L"C:\\", 0, true}, {L"Program Files", 1, false}, {L"Windows", 1, false}}));
  EXPECT_EQ(FolderTree(L"D:\\工具\\新 建", {L"sub"}),
            (std::vector<FolderItem>{
                {L"D:\\", 0, true}, {L"工具", 1, true}, {L"新 建", 2, true}, {L"sub", 3, false}}));
  EXPECT_EQ(FolderTree(L"\\\\srv\\share\\a", {}),
            (std::vector<FolderItem>{{L"\\\\srv\\share\\", 0, true}, {L"a", 1, true}}));
}

TEST(PickerRules, JoinsAndSplitsPaths) {
  EXPECT_EQ(RootLength(L"C:\\Windows"), 3u);
  EXPECT_EQ(RootLength(L"C:\\"), 3u);
  EXPECT_EQ(RootLength(L"\\\\srv\\share\\x"), 12u);
  EXPECT_EQ(RootLength(L"\\\\srv\\share"), 11u);
  EXPECT_EQ(RootLength(L"relative"), 0u);
  EXPECT_EQ(JoinPath(L"C:\\", L"Windows"), L"C:\\Windows");
  EXPECT_EQ(JoinPath(L"C:\\Windows", L"System32"), L"C:\\Windows\\System32");
  EXPECT_EQ(JoinPath(L"", L"C:\\"), L"C:\\");
}

TEST(PickerRules, IndentationGrowsWithDepthAndKeepsTheDeepestInView) {
  struct Case {
    int depth, deepest, width, content, indent;
  };
  const Case cases[] = {
      {0, 3, 133, 60, 0},    {1, 3, 133, 60, 8},    {3, 3, 133, 60, 24},  // room: a level a step
      {12, 13, 133, 60, 60}, {13, 13, 133, 60, 65},                       // deep: smaller steps
      {2, 3, 133, 200, 0},   {0, 0, 133, 60, 0},                          // no room, or no depth
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderIndent(c.depth, c.deepest, 8, c.width, c.content), c.indent)
        << "case " << (&c - cases);
  }
  // Twelve folders deep with a child: every level further right than its parent, the child a
  // step further than the open folder, the child's glyph and the start of its name in view.
  for (int depth = 1; depth <= 13; ++depth) {
    EXPECT_GT(FolderIndent(depth, 13, 8, 133, 60), FolderIndent(depth - 1, 13, 8, 133, 60));
  }
  EXPECT_LE(FolderIndent(13, 13, 8, 133, 60) + 60, 133);
}

TEST(FormDesign, TwipsBecomeThePixelTableAtAnyDpi) {
  struct Case {
    int twips, dpi, pixels;
  };
  const Case cases[] = {{120, 96, 8},    {1440, 144, 144}, {2055, 96, 137},  {315, 144, 32},
                        {5880, 96, 392}, {3165, 96, 211},  {3165, 120, 264}, {7, 96, 0},
                        {8, 96, 1},      {-8, 96, -1},     {435, 192, 58}};
  for (const Case& c : cases)
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << "@" << c.dpi;

  const std::pair<ControlId, PixelRect> at96[] = {
      {ControlId::kDriveList, {8, 8, 137, 21}},     {ControlId::kFolderList, {8, 29, 137, 126}},
      {ControlId::kFileList, {160, 8, 105, 145}},   {ControlId::kEntryList, {280, 8, 97, 145}},
      {ControlId::kCaptionLabel, {8, 168, 73, 33}}, {ControlId::kCaptionBox, {88, 168, 113, 33}},
      {ControlId::kAddButton, {208, 168, 81, 33}},  {ControlId::kRemoveButton, {296, 168, 81, 33}},
  };
  for (const auto& [id, rect] : at96)
    EXPECT_EQ(ToPixels(DesignOf(id), 96), rect) << static_cast<int>(id);
}

}  // namespace
}  // namespace vw
