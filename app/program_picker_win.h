#pragma once

// The drive, folder and file lists of the main window. Each list keeps its own state in its
// items; these functions fill and read them.
#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vw {

// The drive list, a drop-down list: "C:" for each drive, then AddDriveLabels makes it "C: [label]"
// from labels read before. A label is read for a fixed drive only, so that nothing waits for a
// network, a disc or a floppy; and only once, when the window is first shown or the drive
// arrives, since reading it can wake a sleeping disk.
using DriveLabels = std::map<wchar_t, std::wstring>;  // by drive letter, upper case
void FillDriveList(HWND drive_list);
void AddDriveLabels(HWND drive_list, const DriveLabels& labels);
// Reads the labels of the fixed drives among `letters` (bit 0 for A:) into `labels`.
void ReadDriveLabels(unsigned long letters, DriveLabels& labels);
// "C:" for the selected drive; "" when none is selected.
std::wstring SelectedDrive(HWND drive_list);
// Selects the drive of `path`; selects nothing when the path has no drive letter.
void SelectDriveOf(HWND drive_list, std::wstring_view path);
// The folder to open for a drive: its current folder for this process, else its root.
std::wstring StartFolderOfDrive(std::wstring_view drive);

// Names of the subfolders of `folder`, sorted, hidden ones left out as Explorer leaves them out
// (a folder marked System alone is shown). Throws SystemError when the folder cannot be read.
std::vector<std::wstring> ReadSubfolders(const std::wstring& folder);
// Names of the programs in `folder` (long name ends in .exe), sorted, hidden and system files
// left out. Throws SystemError when the folder cannot be read.
std::vector<std::wstring> ReadPrograms(const std::wstring& folder);

// The folder list, an owner-drawn list box whose items are folder names. Reads the folder before
// touching the list, so a failure leaves the list as it was.
void SetFolderListPath(HWND folder_list, const std::wstring& path);
std::wstring FolderListPath(HWND folder_list);
// Highlights the folder that is open, as after SetFolderListPath.
void SelectOpenFolder(HWND folder_list);
// The folder the item at `index` stands for.
std::wstring FolderListItemPath(HWND folder_list, int index);
void DrawFolderItem(const DRAWITEMSTRUCT& item, UINT dpi);
int FolderItemHeight(HFONT font, UINT dpi);

// The file list: the programs of one folder.
void SetFileListPath(HWND file_list, const std::wstring& path);
// The selected file's name; "" when none is selected.
std::wstring SelectedFileName(HWND file_list);

// Appends an item to a list box and gives its index; a list that is out of room throws.
int AddListItem(HWND list, const std::wstring& text);

// Reads and writes a control's text.
std::wstring WindowText(HWND window);
// The text of a list box item.
std::wstring ListBoxItem(HWND list, int index);

// Fills a list box quickly: redraw off and storage reserved for the whole run; then lets it scroll
// sideways as far as its widest item.
void FillListBox(HWND list, const std::vector<std::wstring>& items);

// Lets a list box (with WS_HSCROLL) scroll sideways as far as the widest of `items`, each shown
// as `shown` makes it. Only the likeliest widest are measured (the longest, a wide character
// counting twice), so that a long list costs little. WidenHorizontalExtent takes one more item.
void FitHorizontalExtent(HWND list, const std::vector<std::wstring>& items,
                         std::wstring (*shown)(std::wstring_view) = nullptr);
void WidenHorizontalExtent(HWND list, std::wstring_view shown_item);
// The same for the items a list box holds now, as after a change of font.
void RefitHorizontalExtent(HWND list);

}  // namespace vw
