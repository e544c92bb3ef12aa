#include "app/picker_rules.h"

#include <algorithm>

#include "platform/case_fold.h"
#include "verbs/shell_verb_layout.h"
#include "words/texts.h"

namespace vw {

std::wstring CaptionSuggestion(std::wstring_view file_name) {
  // A menu takes '&' as the mark of an access key; "&&" shows one '&'.
  std::wstring name;
  for (const wchar_t c : EntryName(file_name)) {
    name += c;
    if (c == L'&') name += L'&';
  }
  return std::wstring(text::kSuggestionPrefix) + name + std::wstring(text::kSuggestionSuffix);
}

bool IsExecutableName(std::wstring_view file_name) noexcept {
  constexpr std::wstring_view kExtension = L".exe";
  return file_name.size() >= kExtension.size() &&
         EqualsIgnoreCase(file_name.substr(file_name.size() - kExtension.size()), kExtension);
}

void SortNames(std::vector<std::wstring>& names) {
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    const auto folded_less = [](wchar_t x, wchar_t y) { return FoldCase(x) < FoldCase(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded_less))
      return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded_less))
      return false;
    return a < b;
  });
}

std::size_t RootLength(std::wstring_view path) noexcept {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
  if (path.size() >= 2 && path[1] == L':') return 2;
  if (path.starts_with(L"\\\\")) {
    const std::size_t server_end = path.find(L'\\', 2);
    if (server_end == std::wstring_view::npos) return path.size();
    const std::size_t share_end = path.find(L'\\', server_end + 1);
    return share_end == std::wstring_view::npos ? path.size() : share_end + 1;
  }
  return 0;
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += name;
  return path;
}

int FolderIndent(int depth, int deepest, int step, int width, int content) noexcept {
  if (deepest <= 0) return 0;
  return depth * std::min(step, std::max(0, width - content) / deepest);
}

std::vector<FolderItem> FolderTree(std::wstring_view path,
                                   const std::vector<std::wstring>& subfolders) {
  std::vector<FolderItem> items;
  const std::size_t root = RootLength(path);
  items.push_back({std::wstring(path.substr(0, root)), 0, true});
  std::wstring_view rest = path.substr(root);
  int depth = 1;
  while (!rest.empty()) {
    const std::size_t slash = rest.find(L'\\');
    const std::wstring_view name = rest.substr(0, slash);
    if (!name.empty()) items.push_back({std::wstring(name), depth++, true});
    rest = slash == std::wstring_view::npos ? std::wstring_view() : rest.substr(slash + 1);
  }
  items.reserve(items.size() + subfolders.size());
  for (const std::wstring& name : subfolders) items.push_back({name, depth, false});
  return items;
}

}  // namespace vw
