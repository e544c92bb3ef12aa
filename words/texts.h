#pragma once

// Every text the user reads, in one place: the window's, the message boxes' (the system's own
// sentences character for character), and the words that name what a failed call was doing.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system_error.h"

namespace vw::text {

// The window.
inline constexpr wchar_t kWindowCaption[] = L"Verbwright by Quellbrin";
inline constexpr wchar_t kCaptionLabel[] = L"输入你的个性菜单名字：";
inline constexpr wchar_t kCaptionHint[] = L"如：“用记事本打开”";
inline constexpr wchar_t kAddButton[] = L"添加到右键";
inline constexpr wchar_t kRemoveButton[] = L"从右键删除";
// What a screen reader calls the four lists, which have no label on the window.
inline constexpr wchar_t kDriveListName[] = L"驱动器";
inline constexpr wchar_t kFolderListName[] = L"文件夹";
inline constexpr wchar_t kFileListName[] = L"程序";
inline constexpr wchar_t kEntryListName[] = L"右键菜单项";
// The controls as an error names them.
inline constexpr wchar_t kAddButtonControl[] = L"添加按钮";
inline constexpr wchar_t kRemoveButtonControl[] = L"删除按钮";
inline constexpr wchar_t kDriveListControl[] = L"驱动器列表";
inline constexpr wchar_t kFolderListControl[] = L"文件夹列表";
inline constexpr wchar_t kCaptionLabelControl[] = L"菜单名字标签";
inline constexpr wchar_t kCaptionBoxControl[] = L"菜单名字框";
inline constexpr wchar_t kEntryListControl[] = L"右键菜单项列表";
inline constexpr wchar_t kFileListControl[] = L"程序列表";
// The caption suggested for a program: prefix + entry name + suffix.
inline constexpr std::wstring_view kSuggestionPrefix = L"用 ";
inline constexpr std::wstring_view kSuggestionSuffix = L" 打开";

// What a failed call was doing, as its error says.
std::wstring_view DoingText(Doing doing) noexcept;

// What putting back after a failed change found.
inline constexpr std::wstring_view kUnreadableAfterChange =
    L"无法读出这一项现在的内容，不能确认它已恢复原样：它可能仍留有未完成的修改。";
inline constexpr std::wstring_view kLinkLeftAlone =
    L"这里现在是一个注册表符号链接，而修改之前这里没有项。链接不是本程序建立的，"
    L"撤销时不会删除它。";
inline constexpr std::wstring_view kReadBackDiffers = L"恢复后读出的内容与修改之前不同。";
inline constexpr std::wstring_view kKeysLeftChanged = L"未能恢复原样的项：";

// The text a message box shows for a failed call, with its number and the system's description;
// a key it names shown with every name visible.
std::wstring ErrorReport(const SystemError& error);

inline constexpr std::wstring_view kNoticeTitle = L"提示";
inline constexpr std::wstring_view kConfirmTitle = L"确认";
inline constexpr std::wstring_view kDoneTitle = L"完成";
inline constexpr std::wstring_view kErrorTitle = L"错误";

inline constexpr std::wstring_view kNoFileChosen = L"请选择要加入右键菜单的文件啊，亲！";
inline constexpr std::wstring_view kConfirmAdd = L"你确定把该项添加到右键菜单吗？";
inline constexpr std::wstring_view kAdded = L"搞定了，亲！快去试试吧！";
inline constexpr std::wstring_view kConfirmRemove = L"你确定要从右键菜单删除该项吗？";

// What an entry shows and runs, as a confirmation names it.
struct EntryPreview {
  std::wstring caption;
  std::wstring command;
};
// The confirmations: the sentence above as the first line, then the entry (its name as shown, see
// VisibleName), its menu text and, for an add, what it will run; an add over an existing entry
// shows what it replaces.
std::wstring ConfirmAddText(std::wstring_view shown_name, const EntryPreview& added,
                            const std::optional<EntryPreview>& replaced);
std::wstring ConfirmRemoveText(std::wstring_view shown_name,
                               const std::optional<EntryPreview>& entry);
// What the menu shows for an empty menu text, on the 菜单文字 line of an add's confirmation.
inline constexpr std::wstring_view kEmptyCaptionShown =
    L"（空：右键菜单里会出现一个没有文字的空白项）";
// Ends an error box when putting back left nothing changed.
inline constexpr std::wstring_view kNothingChanged = L"这次没有做任何修改。";

// A path short enough for a message box: the middle of a long one becomes "…", keeping its root
// (a drive, a server's share, a registry hive) and as much of its end, the file name first, as
// fits in `max_units`.
std::wstring CompactPath(std::wstring_view path, std::size_t max_units = 72);
// A command line as a message box shows it: the program's path inside its quotes is shortened as
// a path, never the quotes or the arguments after them.
std::wstring CompactCommand(std::wstring_view command, std::size_t max_units = 72);

// A message box's text with every run it cannot wrap (characters other than spaces, line breaks
// and East Asian characters, which a box wraps between) shortened in the middle until it is no
// wider than `limit` as `width` measures it, so that the box stays on the screen: a long name, a
// path or a key path. A run that holds a '\' is shortened as a path.
std::wstring FitLongRuns(std::wstring_view text, const std::function<int(std::wstring_view)>& width,
                         int limit);

// Our own wording for names the registry layout cannot take.
std::wstring ReservedNameRefused(std::wstring_view name);
std::wstring SystemVerbNotRemoved(std::wstring_view name);
std::wstring PercentInPathRefused(std::wstring_view program_path);
std::wstring LongPathRefused(std::wstring_view program_path);
std::wstring MissingProgramRefused(std::wstring_view program_path);
// A key the change would delete but could not make again as it was (a link, a volatile key).
std::wstring UnrestorableKeyRefused(std::wstring_view key);
// A key the change might have to make again whose owner or label this process cannot give back.
std::wstring OwnerNotRestorableRefused(std::wstring_view key);
// An existing key the change may delete whose audit entries this process cannot read, and so
// could not give back.
std::wstring AuditNotRestorableRefused(std::wstring_view key);
// A symbolic link on the way to a key the change would write or delete.
std::wstring LinkOnTheWayRefused(std::wstring_view link);
// Elevated as another account, the desktop's user could not be found, or their classes are not
// loaded: a change would land on the administrator's entries instead of theirs.
inline constexpr std::wstring_view kUnknownDesktopUserRefused =
    L"找不到正在使用这个桌面的用户的帐户，或者他的注册表配置单元没有加载。"
    L"本程序是以另一个帐户的身份运行的，这样修改只会改到那个帐户的右键菜单，而不是你的。"
    L"请以你自己的帐户登录后再运行本程序。这次没有做任何修改。";
inline constexpr std::wstring_view kEmptyNameRefused =
    L"这个文件的名字去掉“.exe”后什么也不剩，不能用作右键菜单项的名字。请换一个程序。";
inline constexpr std::wstring_view kLongNameRefused =
    L"这个文件的名字太长：右键菜单项的名字最多 255 个字符。请换一个程序。";

// The error of putting a key back after a failed change; its subject is the key left changed.
SystemError UndoFailed(const SystemError& error);

}  // namespace vw::text
