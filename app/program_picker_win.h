#pragma once

// The program picker: the drive, folder and file lists of the main window as one part, kept in
// step. It owns what only they need: the drive labels, the letters typed into the drive list, and
// following drives as they arrive and leave.
#include <windows.h>

#include <functional>
#include <string>

#include "app/picker_lists_win.h"
#include "app/window_procedure_win.h"
#include "platform/system_error.h"

namespace vw {

class ProgramPicker {
 public:
  // Shows an error to the user; false when the window went away while it was shown.
  using Report = std::function<bool(const SystemError& error)>;

  // The drive list comes subclassed: the picker adds its handler of typed letters.
  ProgramPicker(ControlSubclass& drive_list, HWND folder_list, HWND file_list, Report report);
  ProgramPicker(const ProgramPicker&) = delete;
  ProgramPicker& operator=(const ProgramPicker&) = delete;

  // The process's current drive and folder, at start; an unreadable folder is reported.
  void ShowCurrentFolder();
  // Reads the drive labels, once the window is up: opening the list later never waits on a disk.
  void ReadLabels();
  // WM_DEVICECHANGE: a volume arrived or left, and the drive list follows.
  void OnDeviceChange(WPARAM event, LPARAM data);
  // A notification of the drive list (CBN_...).
  void OnDriveListCommand(int code);
  // The folder selected in the folder list opened (Enter, a double click); throws when it cannot
  // be read, both lists then showing what they showed before.
  void OpenSelectedFolder();
  // Reads the open folder's programs again.
  void ReadProgramsAgain();
  // The heights the folder and file lists may take, in pixels: each shows the most whole rows
  // that fit, the file list also when its sideways scroll bar comes or goes.
  void SetFrameHeights(int folder_list, int file_list);

  std::wstring FileName() const { return SelectedFileName(files_); }
  std::wstring FolderPath() const { return FolderListPath(folders_); }

 private:
  LRESULT OnDriveListMessage(const WindowMessage& message, const ControlSubclass::Next& next);
  // Fills the drive list anew, keeping the drive shown; if that drive has gone, the lists go back
  // to the drive of the process's folder, or C:.
  void RefreshDriveList();
  // A drive chosen in the drive list: from its list, or stepped to with the arrow keys.
  void OnDriveSelected(bool stepped);
  // Opens the selected drive in the folder list, and through it the file list; throws when it
  // cannot be read.
  void OpenSelectedDrive();
  // Opens a folder in the folder list, and through it the file list; on failure, thrown, both show
  // what they showed before.
  void OpenFolder(const std::wstring& path);
  void OnDriveChanged();

  HWND drives_;
  HWND folders_;
  HWND files_;
  int files_frame_height_ = 0;
  Report report_;
  DriveLabels labels_;  // read once a drive, never while the list drops down
};

}  // namespace vw
