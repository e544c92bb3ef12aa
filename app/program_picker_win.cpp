#include "app/program_picker_win.h"

#include <dbt.h>

#include <utility>
#include <vector>

#include "platform/case_fold.h"

namespace vw {
namespace {

// The folder the process runs in.
std::wstring CurrentFolder() {
  std::wstring current(MAX_PATH, L'\0');
  const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data());
  if (length > current.size()) {
    current.resize(length);
    current.resize(GetCurrentDirectoryW(length, current.data()));
  } else {
    current.resize(length);
  }
  return current;
}

}  // namespace

ProgramPicker::ProgramPicker(ControlSubclass& drive_list, HWND folder_list, HWND file_list,
                             Report report)
    : drives_(drive_list.control()),
      folders_(folder_list),
      files_(file_list),
      report_(std::move(report)) {
  drive_list.Add([this](const WindowMessage& message, const ControlSubclass::Next& next) {
    return OnDriveListMessage(message, next);
  });
}

void ProgramPicker::ReadLabels() {
  ReadDriveLabels(GetLogicalDrives(), labels_);
  AddDriveLabels(drives_, labels_);
}

void ProgramPicker::OnDeviceChange(WPARAM event, LPARAM data) {
  // A volume arrived or left (a USB stick, a mapped drive): the drive list follows. Only an
  // arriving volume's label is read; it has just spun up.
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  if (header != nullptr && header->dbch_devicetype == DBT_DEVTYP_VOLUME) {
    const DWORD units = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data)->dbcv_unitmask;
    if (event == DBT_DEVICEARRIVAL) {
      ReadDriveLabels(units, labels_);
    } else {
      for (int bit = 0; bit < 26; ++bit) {
        if ((units & (1ul << bit)) != 0) labels_.erase(static_cast<wchar_t>(L'A' + bit));
      }
    }
  }
  RefreshDriveList();
}

void ProgramPicker::OnDriveListCommand(int code) {
  // The dropped list is a place to look: a highlight chooses nothing, Enter or a click on an item
  // chooses, Esc or a click elsewhere puts back the drive that was shown.
  const bool dropped = SendMessageW(drives_, CB_GETDROPPEDSTATE, 0, 0) != 0;
  if (code == CBN_DROPDOWN) {
    RefreshDriveList();
  } else if (code == CBN_SELENDOK && dropped) {
    OnDriveSelected(false);
  } else if (code == CBN_SELENDCANCEL) {
    SelectDriveOf(drives_, FolderPath());
  } else if (code == CBN_SELCHANGE && !dropped) {
    OnDriveSelected(true);  // stepped to with the arrow keys in the closed box
  }
}

void ProgramPicker::ReadProgramsAgain() {
  SetFileListPath(files_, FolderPath());
  FitWholeRows(files_, files_frame_height_);
}

void ProgramPicker::SetFrameHeights(int folder_list, int file_list) {
  files_frame_height_ = file_list;
  FitWholeRows(folders_, folder_list);
  FitWholeRows(files_, file_list);
}

LRESULT ProgramPicker::OnDriveListMessage(const WindowMessage& message,
                                          const ControlSubclass::Next& next) {
  // A letter typed into the closed list names that drive: it is chosen, readable or not, as a
  // click would choose it; the arrow keys keep passing over unreadable drives.
  if (message.message != WM_CHAR || SendMessageW(drives_, CB_GETDROPPEDSTATE, 0, 0)) return next();
  const auto letter = static_cast<wchar_t>(message.wparam);
  if ((letter < L'a' || letter > L'z') && (letter < L'A' || letter > L'Z')) return next();
  const std::wstring drive{letter, L':'};
  const LRESULT index = SendMessageW(drives_, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(drive.c_str()));
  if (index != CB_ERR) {
    SendMessageW(drives_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    OnDriveSelected(false);
  }
  return 0;
}

void ProgramPicker::ShowCurrentFolder() {
  const HWND drives = drives_;
  FillDriveList(drives);
  try {
    OpenFolder(CurrentFolder());
  } catch (const SystemError& error) {
    report_(error);
  }
  SelectDriveOf(drives, FolderPath());
}

void ProgramPicker::RefreshDriveList() {
  const HWND drives = drives_;
  const std::wstring shown = FolderPath();
  FillDriveList(drives);
  AddDriveLabels(drives, labels_);
  SelectDriveOf(drives, shown);
  if (SendMessageW(drives, CB_GETCURSEL, 0, 0) != CB_ERR) return;
  // The drive shown has gone: back to the drive of the process's folder, or C:.
  const std::wstring fallbacks[] = {StartFolderOfDrive(CurrentFolder()), L"C:\\"};
  for (const std::wstring& folder : fallbacks) {
    try {
      OpenFolder(folder);
      break;
    } catch (const SystemError&) {  // NOLINT(bugprone-empty-catch): the next one is tried
    }
  }
  SelectDriveOf(drives, FolderPath());
}

void ProgramPicker::OnDriveSelected(bool stepped) {
  const HWND drives = drives_;
  const std::wstring shown = FolderPath();
  const std::wstring drive = SelectedDrive(drives);
  if (drive.empty() || EqualsIgnoreCase(drive, std::wstring_view(shown).substr(0, 2))) return;
  if (!stepped) {
    OnDriveChanged();
    return;
  }
  // The arrow keys pass over a drive that cannot be read (an empty card reader, a disc drive
  // without a disc) in the direction they were going, so every later drive stays in reach; at
  // the end of the list they stay where they were. Only a drive chosen from the list is reported.
  const auto chosen = static_cast<int>(SendMessageW(drives, CB_GETCURSEL, 0, 0));
  SelectDriveOf(drives, shown);
  const auto from = static_cast<int>(SendMessageW(drives, CB_GETCURSEL, 0, 0));
  const int step = chosen > from ? 1 : -1;
  const auto count = static_cast<int>(SendMessageW(drives, CB_GETCOUNT, 0, 0));
  const auto opens = [this] {
    try {
      OpenSelectedDrive();
      return true;
    } catch (const SystemError&) {
      return false;  // passed over, not reported
    }
  };
  std::vector<int> onwards;  // the drives from the one stepped to, in the direction of the step
  for (int index = chosen; index >= 0 && index < count; index += step) onwards.push_back(index);
  for (const int index : onwards) {
    SendMessageW(drives, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (opens()) return;
  }
  SelectDriveOf(drives, shown);
}

void ProgramPicker::OpenSelectedDrive() {
  OpenFolder(StartFolderOfDrive(SelectedDrive(drives_)));
}

void ProgramPicker::OpenFolder(const std::wstring& path) {
  const HWND folders = folders_;
  const std::wstring previous = FolderListPath(folders);
  try {
    SetFolderListPath(folders, path);  // reads before it changes the list
  } catch (const SystemError&) {
    SelectOpenFolder(folders);
    throw;
  }
  try {
    ReadProgramsAgain();
  } catch (const SystemError&) {
    // The file list could not follow: the folder list goes back to where the file list is.
    try {
      SetFolderListPath(folders, previous);
    } catch (const SystemError&) {  // NOLINT(bugprone-empty-catch)
      // Unreadable now as well: the folder list shows the new folder, the file list the old.
    }
    throw;
  }
}

void ProgramPicker::OpenSelectedFolder() {
  const auto index = static_cast<int>(SendMessageW(folders_, LB_GETCURSEL, 0, 0));
  if (index < 0) return;
  OpenFolder(FolderListItemPath(folders_, index));
}

void ProgramPicker::OnDriveChanged() {
  try {
    OpenSelectedDrive();
  } catch (const SystemError& error) {
    if (!report_(error)) return;  // closed while the box was open
    // Back to the drive the folder list shows.
    SelectDriveOf(drives_, FolderListPath(folders_));
  }
}

}  // namespace vw
