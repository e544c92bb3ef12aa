#include "verbs/shell_verb_layout.h"

#include <algorithm>
#include <iterator>

namespace vw {
namespace {

constexpr std::size_t kExtensionLength = 4;

constexpr std::wstring_view kCommand = L"command";

}  // namespace

std::wstring EntryName(std::wstring_view file_name) {
  if (file_name.size() <= kExtensionLength) return {};
  return std::wstring(file_name.substr(0, file_name.size() - kExtensionLength));
}

std::wstring ProgramPath(std::wstring_view folder, std::wstring_view file_name) {
  std::wstring path(folder);
  if (path.empty() || path.back() != L'\\') path += L'\\';
  path += file_name;
  return path;
}

std::wstring CommandLine(std::wstring_view program_path) {
  std::wstring command;
  command.reserve(program_path.size() + 7);
  command += L'"';
  command += program_path;
  command += L"\" \"%1\"";
  return command;
}

bool BreaksCommandLine(std::wstring_view program_path) noexcept {
  return program_path.find(L'%') != std::wstring_view::npos;
}

KeyPath VerbRoot() {
  return {kHiveClassesRoot, {L"exefile", L"shell"}};
}

KeyPath VerbKeyPath(std::wstring_view entry_name) {
  return VerbRoot().Child(entry_name);
}

KeyPath CommandKeyPath(std::wstring_view entry_name) {
  return VerbKeyPath(entry_name).Child(kCommand);
}

KeyPath VerbKeyPath(ClassesStore store, std::wstring_view entry_name) {
  const auto row =
      std::find_if(std::begin(kClassesStores), std::end(kClassesStores),
                   [store](const ClassesStoreRow& each) { return each.store == store; });
  return {row->hive, {L"Software", L"Classes", L"exefile", L"shell", std::wstring(entry_name)}};
}

std::vector<KeyPath> EntryKeys(std::wstring_view entry_name) {
  std::vector<KeyPath> keys;
  for (const ClassesStoreRow& row : kClassesStores)
    keys.push_back(VerbKeyPath(row.store, entry_name));
  return keys;
}

const std::optional<KeyTree>& RecordOf(const std::vector<std::optional<KeyTree>>& before,
                                       ClassesStore store) {
  const auto row =
      std::find_if(std::begin(kClassesStores), std::end(kClassesStores),
                   [store](const ClassesStoreRow& each) { return each.store == store; });
  return before[static_cast<std::size_t>(row - std::begin(kClassesStores))];
}

KeyPath CommandKeyPath(ClassesStore store, std::wstring_view entry_name) {
  return VerbKeyPath(store, entry_name).Child(kCommand);
}

std::wstring_view TrimSpaces(std::wstring_view text) noexcept {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring_view::npos) return {};
  const std::size_t last = text.find_last_not_of(L' ');
  return text.substr(first, last - first + 1);
}

bool IsReservedVerb(std::wstring_view subkey_name) noexcept {
  const std::wstring_view trimmed = TrimSpaces(subkey_name);
  return std::any_of(std::begin(kWindowsVerbs), std::end(kWindowsVerbs),
                     [trimmed](const WindowsVerbRow& verb) {
                       return verb.hidden_from_list && trimmed == verb.name;
                     });
}

bool IsSystemVerbKey(std::wstring_view subkey_name, const RegistryServices& registry) noexcept {
  return std::any_of(
      std::begin(kWindowsVerbs), std::end(kWindowsVerbs), [&](const WindowsVerbRow& verb) {
        return verb.protected_from_change && registry.SameKeyName(subkey_name, verb.name);
      });
}

NameProblem CheckEntryName(std::wstring_view entry_name,
                           const RegistryServices& registry) noexcept {
  if (entry_name.empty()) return NameProblem::kEmpty;
  if (IsSystemVerbKey(TrimSpaces(entry_name), registry)) return NameProblem::kReserved;
  if (Utf16Length(entry_name) > kMaxKeyNameLength) return NameProblem::kTooLong;
  return NameProblem::kNone;
}

}  // namespace vw
