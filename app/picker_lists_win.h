#pragma once

// The drive, folder and file lists of the main window. Each list keeps its own state in its
// items; these functions fill and read them.
#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/list_box_win.h"

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

}  // namespace vw
