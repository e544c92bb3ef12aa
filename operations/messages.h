#pragma once

// The texts of the add and remove operations' message boxes, character for character.

#include <optional>
#include <string>
#include <string_view>

#include "platform/system_error.h"

namespace vw::text {

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
// The confirmations: the sentence above as the first line, then the entry, its menu text and, for
// an add, what it will run; an add over an existing entry shows what it replaces.
std::wstring ConfirmAddText(std::wstring_view name, const EntryPreview& added,
                            const std::optional<EntryPreview>& replaced);
std::wstring ConfirmRemoveText(std::wstring_view name, const std::optional<EntryPreview>& entry);
// Ends an error box when putting back left nothing changed.
inline constexpr std::wstring_view kNothingChanged = L"这次没有做任何修改。";

// A path short enough for a message box: the middle of a long one becomes "…", keeping its root
// and as much of its end, the file name first, as fits in `max_units`.
std::wstring CompactPath(std::wstring_view path, std::size_t max_units = 72);

// Our own wording for names the registry layout cannot take.
std::wstring ReservedNameRefused(std::wstring_view name);
std::wstring SystemVerbNotRemoved(std::wstring_view name);
std::wstring PercentInPathRefused(std::wstring_view program_path);
std::wstring LongPathRefused(std::wstring_view program_path);
std::wstring MissingProgramRefused(std::wstring_view program_path);
// A key the change would delete but could not make again as it was (a link, a volatile key).
std::wstring UnrestorableKeyRefused(std::wstring_view key);
// A key the change might have to make again whose owner this process cannot give back.
std::wstring OwnerNotRestorableRefused(std::wstring_view key);
inline constexpr std::wstring_view kEmptyNameRefused =
    L"这个文件的名字去掉“.exe”后什么也不剩，不能用作右键菜单项的名字。请换一个程序。";
inline constexpr std::wstring_view kLongNameRefused =
    L"这个文件的名字太长：右键菜单项的名字最多 255 个字符。请换一个程序。";

// The error of putting a key back after a failed change; its subject is the key left changed.
SystemError UndoFailed(const SystemError& error);

}  // namespace vw::text
