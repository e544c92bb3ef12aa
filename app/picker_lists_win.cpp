#include "app/picker_lists_win.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

#include "app/dpi_win.h"
#include "app/picker_rules.h"
#include "platform/handles_win.h"
#include "platform/system_error.h"
#include "words/texts.h"

namespace vw {
namespace {

constexpr LPARAM kOpenFolder = 0x10000;  // item data: depth in the low word, this bit when open

// Every entry of `folder` that `keep` accepts, by name, sorted.
template <typename Keep>
std::vector<std::wstring> ReadFolder(const std::wstring& folder, DWORD search_flags, DWORD left_out,
                                     Keep keep) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  const std::wstring pattern = JoinPath(folder, L"*");
  const UniqueFind find =
      FindFirst(pattern.c_str(), FindExInfoBasic, data,
                static_cast<FINDEX_SEARCH_OPS>(search_flags), FIND_FIRST_EX_LARGE_FETCH);
  if (!find) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return names;  // empty root
    throw SystemError(error, Doing::kReadingFolder, folder);
  }
  do {
    if ((data.dwFileAttributes & left_out) == 0 && keep(data)) names.emplace_back(data.cFileName);
  } while (FindNextFileW(find.get(), &data));
  const DWORD error = GetLastError();
  if (error != ERROR_NO_MORE_FILES) throw SystemError(error, Doing::kReadingFolder, folder);
  SortNames(names);
  return names;
}

bool IsDirectory(const WIN32_FIND_DATAW& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

HFONT FontOf(HWND window) {
  return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

// How many levels down the deepest item of the folder list is: the open folder's subfolders, or
// the open folder itself when it has none. The open folders come first.
int DeepestLevel(HWND folder_list) {
  const auto count = static_cast<int>(SendMessageW(folder_list, LB_GETCOUNT, 0, 0));
  int open = 0;
  int depth = 0;
  for (; open < count; ++open) {
    const LRESULT data = SendMessageW(folder_list, LB_GETITEMDATA, static_cast<WPARAM>(open), 0);
    if ((data & kOpenFolder) == 0) break;
    depth = static_cast<int>(data & 0xFFFF);
  }
  return open < count ? depth + 1 : depth;
}

void DrawFolderGlyph(HDC dc, RECT box, bool open, UINT dpi) {
  const auto px = [dpi](int value) { return MulDiv(value, static_cast<int>(dpi), 96); };
  const int height = std::min<int>(box.bottom - box.top, px(16));
  const int top = box.top + (box.bottom - box.top - height) / 2 + px(2);
  const int left = box.left + px(1);
  const int right = box.left + px(15);
  const int bottom = top + height - px(4);
  const UniqueBrush back(CreateSolidBrush(RGB(0xD9, 0xA4, 0x1E)));
  const UniqueBrush front(CreateSolidBrush(open ? RGB(0xFF, 0xE0, 0x8A) : RGB(0xF5, 0xC8, 0x4C)));
  const RECT tab{left, top - px(1), left + px(6), top + px(1)};
  const RECT body{left, top, right, bottom};
  FillRect(dc, &tab, back.get());
  FillRect(dc, &body, back.get());
  const RECT flap{open ? left + px(2) : left, top + px(3), right, bottom};
  FillRect(dc, &flap, front.get());
}

}  // namespace

void FillDriveList(HWND drive_list) {
  SendMessageW(drive_list, CB_RESETCONTENT, 0, 0);
  const DWORD drives = GetLogicalDrives();
  for (int bit = 0; bit < 26; ++bit) {
    if ((drives & (1u << bit)) == 0) continue;
    const auto letter = static_cast<wchar_t>(L'A' + bit);
    const wchar_t text[] = {letter, L':', 0};
    SendMessageW(drive_list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
}

void AddDriveLabels(HWND drive_list, const DriveLabels& labels) {
  const auto selected = SendMessageW(drive_list, CB_GETCURSEL, 0, 0);
  const auto count = static_cast<int>(SendMessageW(drive_list, CB_GETCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    const auto length = SendMessageW(drive_list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length != 2) continue;  // labelled already
    wchar_t drive[3] = {};
    SendMessageW(drive_list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(drive));
    const auto label = labels.find(drive[0]);
    if (label == labels.end() || label->second.empty()) continue;
    const std::wstring text = std::wstring(drive, 2) + L" [" + label->second + L"]";
    SendMessageW(drive_list, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageW(drive_list, CB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.c_str()));
  }
  SendMessageW(drive_list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void ReadDriveLabels(unsigned long letters, DriveLabels& labels) {
  for (int bit = 0; bit < 26; ++bit) {
    if ((letters & (1ul << bit)) == 0) continue;
    const auto letter = static_cast<wchar_t>(L'A' + bit);
    const wchar_t root[] = {letter, L':', L'\\', 0};
    wchar_t label[MAX_PATH + 1] = {};
    if (GetDriveTypeW(root) == DRIVE_FIXED &&
        GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) {
      labels[letter] = label;
    } else {
      labels.erase(letter);
    }
  }
}

std::wstring SelectedDrive(HWND drive_list) {
  const auto index = static_cast<int>(SendMessageW(drive_list, CB_GETCURSEL, 0, 0));
  if (index < 0) return {};
  const auto length = SendMessageW(drive_list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
  SendMessageW(drive_list, CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  return text.size() >= 2 && text[1] == L':' ? text.substr(0, 2) : std::wstring();
}

void SelectDriveOf(HWND drive_list, std::wstring_view path) {
  auto found = static_cast<WPARAM>(-1);
  if (path.size() >= 2 && path[1] == L':') {
    const wchar_t prefix[] = {path[0], L':', 0};
    const LRESULT index = SendMessageW(drive_list, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(prefix));
    if (index != CB_ERR) found = static_cast<WPARAM>(index);
  }
  SendMessageW(drive_list, CB_SETCURSEL, found, 0);
}

std::wstring StartFolderOfDrive(std::wstring_view drive) {
  const std::wstring relative(drive.substr(0, 2));
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetFullPathNameW(relative.c_str(), MAX_PATH, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH) return relative + L"\\";
  std::wstring path(buffer, length);
  if (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

std::vector<std::wstring> ReadSubfolders(const std::wstring& folder) {
  return ReadFolder(folder, FindExSearchLimitToDirectories, FILE_ATTRIBUTE_HIDDEN,
                    [](const WIN32_FIND_DATAW& data) {
                      const std::wstring_view name = data.cFileName;
                      return IsDirectory(data) && name != L"." && name != L"..";
                    });
}

std::vector<std::wstring> ReadPrograms(const std::wstring& folder) {
  return ReadFolder(folder, FindExSearchNameMatch, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
                    [](const WIN32_FIND_DATAW& data) {
                      return !IsDirectory(data) && IsExecutableName(data.cFileName);
                    });
}

void SetFolderListPath(HWND folder_list, const std::wstring& path) {
  const std::vector<FolderItem> items = FolderTree(path, ReadSubfolders(path));
  const RedrawOff quiet(folder_list);
  SendMessageW(folder_list, LB_RESETCONTENT, 0, 0);
  SendMessageW(folder_list, LB_INITSTORAGE, items.size(), static_cast<LPARAM>(items.size() * 32));
  int current = 0;
  for (const FolderItem& item : items) {
    const auto index = static_cast<WPARAM>(AddListItem(folder_list, item.name));
    SendMessageW(folder_list, LB_SETITEMDATA, index, item.depth | (item.open ? kOpenFolder : 0));
    if (item.open) current = static_cast<int>(index);
  }
  SendMessageW(folder_list, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
}

std::wstring FolderListItemPath(HWND folder_list, int index) {
  std::wstring path;
  const auto count = static_cast<int>(SendMessageW(folder_list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const bool open =
        (SendMessageW(folder_list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0) & kOpenFolder) != 0;
    if (i == index || (open && i < index)) path = JoinPath(path, ListBoxItem(folder_list, i));
    if (i >= index) break;
  }
  return path;
}

void SelectOpenFolder(HWND folder_list) {
  const auto count = static_cast<int>(SendMessageW(folder_list, LB_GETCOUNT, 0, 0));
  int open = 0;
  for (int i = 0; i < count; ++i) {
    if ((SendMessageW(folder_list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0) & kOpenFolder) == 0)
      break;
    open = i;
  }
  SendMessageW(folder_list, LB_SETCURSEL, static_cast<WPARAM>(open), 0);
}

std::wstring FolderListPath(HWND folder_list) {
  std::wstring path;
  const auto count = static_cast<int>(SendMessageW(folder_list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if ((SendMessageW(folder_list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0) & kOpenFolder) == 0)
      break;
    path = JoinPath(path, ListBoxItem(folder_list, i));
  }
  return path;
}

int FolderItemHeight(HFONT font, UINT dpi) {
  const ScreenDc dc(font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.get(), &metrics);
  return std::max<int>(metrics.tmHeight + MulDiv(2, static_cast<int>(dpi), 96),
                       MulDiv(18, static_cast<int>(dpi), 96));
}

void DrawFolderItem(const DRAWITEMSTRUCT& item, UINT dpi) {
  // The focus rectangle only where keyboard cues are shown.
  const bool focus_cue =
      (item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0;
  if (item.itemID == static_cast<UINT>(-1)) {
    if ((item.itemAction & ODA_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0)
      DrawFocusRect(item.hDC, &item.rcItem);
    return;
  }
  // The DC goes back as it came: font, text colour and background mode.
  const SavedDc saved(item.hDC);
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const auto data = static_cast<LPARAM>(item.itemData);
  const int depth = static_cast<int>(data & 0xFFFF);
  const auto px = [dpi](int value) { return MulDiv(value, static_cast<int>(dpi), 96); };

  const std::wstring name = ListBoxItem(item.hwndItem, static_cast<int>(item.itemID));
  SelectObject(item.hDC, FontOf(item.hwndItem));
  const int margin = px(2);
  const int glyph_width = px(19);
  RECT glyph = item.rcItem;
  glyph.left += margin + FolderIndent(depth, DeepestLevel(item.hwndItem), px(8),
                                      item.rcItem.right - item.rcItem.left,
                                      2 * margin + glyph_width + px(40));
  DrawFolderGlyph(item.hDC, glyph, (data & kOpenFolder) != 0, dpi);

  RECT text = item.rcItem;
  text.left = glyph.left + glyph_width;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (focus_cue) DrawFocusRect(item.hDC, &item.rcItem);
}

void SetFileListPath(HWND file_list, const std::wstring& path) {
  FillListBox(file_list, ReadPrograms(path));
}

std::wstring SelectedFileName(HWND file_list) {
  const auto index = static_cast<int>(SendMessageW(file_list, LB_GETCURSEL, 0, 0));
  return index < 0 ? std::wstring() : ListBoxItem(file_list, index);
}

}  // namespace vw
