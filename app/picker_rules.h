#pragma once

// What the drive, folder and file lists show, as plain rules on names and paths.

#include <string>
#include <string_view>
#include <vector>

namespace vw {

// "用 " + entry name + " 打开": the caption suggested for a chosen file, with each '&' doubled so
// that the menu shows it rather than taking it as an access key.
std::wstring CaptionSuggestion(std::wstring_view file_name);

// Whether the file list shows a file: its long name ends in ".exe", in any case. (A "*.exe"
// search also matches 8.3 short names, so names are checked again.)
bool IsExecutableName(std::wstring_view file_name) noexcept;

// Sorts names as the lists show them: without regard to case, ties broken exactly.
void SortNames(std::vector<std::wstring>& names);

// Length of the root of a full folder path: 3 for "C:\...", the "\\server\share\" part of a
// UNC path, 0 when there is none.
std::size_t RootLength(std::wstring_view path) noexcept;

// Folder + name, with one backslash between them ("C:\" + "x" is "C:\x").
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// One line of the folder list: the folder's own name (the root keeps its backslash), how deep it
// is, and whether it is open (the current folder and its ancestors) or a subfolder.
struct FolderItem {
  std::wstring name;
  int depth = 0;
  bool open = false;
  friend bool operator==(const FolderItem&, const FolderItem&) = default;
};

// How far the folder list indents an item `depth` levels down, in a list whose deepest item is
// `deepest` levels down: `step` a level, or less, the same for every level, where the deepest
// would otherwise leave less than `content` (its glyph and the start of its name) of `width`.
// Each level is indented further than its parent, never less; a name too long is cut, not moved.
int FolderIndent(int depth, int deepest, int step, int width, int content) noexcept;

// The folder list for `path`: root, ancestors and the folder itself, open; then its subfolders.
std::vector<FolderItem> FolderTree(std::wstring_view path,
                                   const std::vector<std::wstring>& subfolders);

}  // namespace vw
