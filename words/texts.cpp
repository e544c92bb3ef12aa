#include "words/texts.h"

#include <cstdint>
#include <type_traits>

#include "words/visible_names.h"

namespace vw::text {

std::wstring_view DoingText(Doing doing) noexcept {
  switch (doing) {
    case Doing::kListingKey:
      return L"列出注册表项";
    case Doing::kReadingKey:
      return L"读取注册表项";
    case Doing::kWritingKey:
      return L"写入注册表项";
    case Doing::kDeletingKey:
      return L"删除注册表项";
    case Doing::kChangingRegistry:
      return L"修改注册表";
    case Doing::kReadingFolder:
      return L"读取文件夹";
    case Doing::kAddingToList:
      return L"在列表中加入";
    case Doing::kRegisteringWindowClass:
      return L"注册窗口类";
    case Doing::kCreatingMainWindow:
      return L"创建主窗口";
    case Doing::kCreatingControl:
      return L"创建控件";
    case Doing::kHandlingMessage:
      return L"处理窗口消息";
  }
  return L"";
}

namespace {

// An error's subject as the user reads it: a key with every name visible, a list item quoted.
std::wstring SubjectText(const SystemError& error) {
  switch (error.doing()) {
    case Doing::kListingKey:
    case Doing::kReadingKey:
    case Doing::kWritingKey:
    case Doing::kDeletingKey:
      return VisibleKeyPath(error.subject());
    case Doing::kAddingToList:
      return L"“" + error.subject() + L"”";
    default:
      return error.subject();
  }
}

}  // namespace

std::wstring ErrorReport(const SystemError& error) {
  std::wstring text = error.undoing() ? L"撤销未完成的修改时" : L"";
  text += DoingText(error.doing());
  if (!error.subject().empty()) text += L" " + SubjectText(error) + L" ";
  text += L"失败。\n\n错误 " + std::to_wstring(error.code()) + L"：";
  text += error.description().empty() ? L"（系统没有给出说明）" : error.description();
  if (!error.detail().empty()) text += L"\n\n" + error.detail();
  return text;
}

namespace {

std::wstring Caption(std::wstring_view caption) {
  return caption.empty() ? std::wstring(L"（空）") : std::wstring(caption);
}

std::wstring Lines(std::wstring_view first, std::wstring_view name, const EntryPreview& entry,
                   std::wstring_view empty_caption) {
  std::wstring text(first);
  text += L"\n\n菜单项：";
  text += name;
  text += L"\n菜单文字：";
  text += entry.caption.empty() ? std::wstring(empty_caption) : entry.caption;
  if (!entry.command.empty()) {
    text += L"\n运行：";
    text += CompactCommand(entry.command);
  }
  return text;
}

}  // namespace

std::wstring ConfirmAddText(std::wstring_view shown_name, const EntryPreview& added,
                            const std::optional<EntryPreview>& replaced) {
  std::wstring text = Lines(kConfirmAdd, shown_name, added, kEmptyCaptionShown);
  if (replaced) {
    text += L"\n\n右键菜单里已经有这一项，添加会把它替换掉。它原来是：\n菜单文字：";
    text += Caption(replaced->caption);
    text += L"\n运行：";
    text += replaced->command.empty() ? std::wstring(L"（无）") : CompactCommand(replaced->command);
  }
  return text;
}

std::wstring ConfirmRemoveText(std::wstring_view shown_name,
                               const std::optional<EntryPreview>& entry) {
  return Lines(kConfirmRemove, shown_name, entry.value_or(EntryPreview{}), Caption(L""));
}

std::wstring CompactPath(std::wstring_view path, std::size_t max_units) {
  if (path.size() <= max_units) return std::wstring(path);
  constexpr std::wstring_view kEllipsis = L"…";
  // The root: "C:\", "\\server\share\" (up to the fourth backslash) or "HKEY_...\", where
  // there is one.
  std::size_t root = 0;
  if (path.size() >= 3 && path[1] == L':') {
    root = 3;
  } else if (path.starts_with(L"\\\\")) {
    for (int slashes = 0; root < path.size() && slashes < 4; ++root) {
      if (path[root] == L'\\') ++slashes;
    }
  } else if (path.starts_with(L"HKEY_") && path.find(L'\\') != std::wstring_view::npos) {
    root = path.find(L'\\') + 1;
  }
  if (root + kEllipsis.size() + 8 > max_units) root = 0;
  std::wstring_view tail = path.substr(path.size() - (max_units - root - kEllipsis.size()));
  // Never half a character: a tail that starts on the second unit of a pair drops it.
  const auto first =
      static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(tail[0]));
  if (first >= 0xDC00 && first <= 0xDFFF) tail.remove_prefix(1);
  return std::wstring(path.substr(0, root)) + std::wstring(kEllipsis) + std::wstring(tail);
}

std::wstring CompactCommand(std::wstring_view command, std::size_t max_units) {
  const std::size_t close =
      command.starts_with(L'"') ? command.find(L'"', 1) : std::wstring_view::npos;
  if (close == std::wstring_view::npos) return CompactPath(command, max_units);
  const std::wstring_view program = command.substr(1, close - 1);
  const std::wstring_view rest = command.substr(close + 1);
  const std::size_t frame = 2 + rest.size();
  return L"\"" + CompactPath(program, max_units > frame + 12 ? max_units - frame : 12) + L"\"" +
         std::wstring(rest);
}

namespace {

// Where a box may wrap a line: between spaces, and around East Asian characters and their
// quotation marks.
bool Wraps(wchar_t c) {
  const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
  return unit == L' ' || unit == L'\n' || unit == 0x201C || unit == 0x201D ||
         (unit >= 0x2E80 && unit <= 0xA4CF) || (unit >= 0xAC00 && unit <= 0xD7A3) ||
         (unit >= 0xF900 && unit <= 0xFAFF) || (unit >= 0xFE30 && unit <= 0xFE4F) ||
         (unit >= 0xFF00 && unit <= 0xFFEF);
}

// The run shortened in the middle, as a path where it holds a '\', to at most `units` units.
std::wstring ShortenRun(std::wstring_view run, std::size_t units) {
  // Quotes and brackets around a path stay where they are.
  std::size_t lead = 0, trail = 0;
  while (lead < run.size() && (run[lead] == L'"' || run[lead] == L'(')) ++lead;
  while (trail + lead < run.size() &&
         (run[run.size() - 1 - trail] == L'"' || run[run.size() - 1 - trail] == L')'))
    ++trail;
  const std::wstring_view core = run.substr(lead, run.size() - lead - trail);
  const std::size_t core_units = units > lead + trail + 1 ? units - lead - trail : 1;
  std::wstring shortened;
  if (core.find(L'\\') != std::wstring_view::npos) {
    shortened = CompactPath(core, core_units);
  } else if (core.size() <= core_units) {
    shortened = std::wstring(core);
  } else {
    const std::size_t head = (core_units - 1) / 2, tail = core_units - 1 - head;
    shortened =
        std::wstring(core.substr(0, head)) + L"…" + std::wstring(core.substr(core.size() - tail));
  }
  return std::wstring(run.substr(0, lead)) + shortened +
         std::wstring(run.substr(run.size() - trail));
}

}  // namespace

std::wstring FitLongRuns(std::wstring_view text, const std::function<int(std::wstring_view)>& width,
                         int limit) {
  std::wstring fitted;
  for (std::size_t at = 0; at < text.size();) {
    if (Wraps(text[at])) {
      fitted += text[at++];
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && !Wraps(text[end])) ++end;
    const std::wstring_view run = text.substr(at, end - at);
    std::wstring best(run);
    if (width(run) > limit) {
      // The longest shortening that fits; at the least a few units either side of the "…".
      std::size_t low = 8, high = run.size();
      best = ShortenRun(run, low);
      while (low < high) {
        const std::size_t middle = (low + high + 1) / 2;
        std::wstring candidate = ShortenRun(run, middle);
        if (width(candidate) <= limit) {
          low = middle;
          best = std::move(candidate);
        } else {
          high = middle - 1;
        }
      }
    }
    fitted += best;
    at = end;
  }
  return fitted;
}

// The system's own verbs of executables, as the Chinese Windows menu names them.
constexpr std::wstring_view kSystemVerbs = L"打开、以管理员身份运行、以其他用户身份运行";

std::wstring ReservedNameRefused(std::wstring_view name) {
  return L"“" + std::wstring(name) + L"”与 Windows 自带的右键命令（" + std::wstring(kSystemVerbs) +
         L"）同名，添加它会改掉所有程序的这个命令，所以不能添加。请换一个程序。";
}

std::wstring SystemVerbNotRemoved(std::wstring_view name) {
  return L"“" + std::wstring(name) + L"”是 Windows 自带的右键命令（" + std::wstring(kSystemVerbs) +
         L"），删除它会让所有程序的右键菜单失去这个命令，所以不能删除。";
}

std::wstring PercentInPathRefused(std::wstring_view program_path) {
  return L"程序的路径“" + CompactPath(program_path) +
         L"”中含有“%”。资源管理器运行右键命令时会把 % 和它后面的字符当作占位符替换掉，"
         L"这个程序将无法正确启动，所以不能添加。请把程序放到路径中没有 % 的文件夹里再添加。";
}

std::wstring LongPathRefused(std::wstring_view program_path) {
  return L"程序的完整路径“" + CompactPath(program_path) +
         L"”太长：Windows 只能启动路径不超过 259 "
         L"个字符的程序，这个右键命令将无法运行，所以不能添加。请把程序放到路径短一些的文件夹里再添"
         L"加。";
}

std::wstring MissingProgramRefused(std::wstring_view program_path) {
  return L"找不到程序“" + CompactPath(program_path) +
         L"”：它可能刚被删除、移走或改了名字，这个右键命令将无法运行，所以不能添加。请重新选择程序"
         L"。";
}

std::wstring UnrestorableKeyRefused(std::wstring_view key) {
  return L"注册表项“" + VisibleKeyPath(key) +
         L"”是符号链接、易失项或名字过长的项，删除后无法按原样恢复。为了不让注册表停在改了一半的状"
         L"态，"
         L"这次没有做任何修改。";
}

std::wstring LinkOnTheWayRefused(std::wstring_view link) {
  return L"注册表项“" + VisibleKeyPath(link) +
         L"”是一个符号链接，它指向别处。为了不把右键菜单项写到链接指向的地方，本程序不经过链接修改"
         L"注册表，"
         L"这次没有做任何修改。";
}

std::wstring OwnerNotRestorableRefused(std::wstring_view key) {
  return L"注册表项“" + VisibleKeyPath(key) +
         L"”属于另一个帐户或完整性级别更高，本程序没有把它的所有者和级别恢复原样的权限（需要以管理"
         L"员身份运行）。"
         L"为了不让注册表停在改了一半的状态，这次没有做任何修改。";
}

std::wstring AuditNotRestorableRefused(std::wstring_view key) {
  return L"本程序没有读取注册表项“" + VisibleKeyPath(key) +
         L"”的审核设置的权限（需要以管理员身份运行），万一出错就无法把它原样恢复。"
         L"为了不让注册表停在改了一半的状态，这次没有做任何修改。";
}

SystemError UndoFailed(const SystemError& error) {
  SystemError report = error;
  report.WhileUndoing();
  return report;
}

}  // namespace vw::text
