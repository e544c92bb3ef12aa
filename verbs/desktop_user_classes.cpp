#include "verbs/desktop_user_classes.h"

#include <map>
#include <utility>

#include "verbs/case_fold.h"
#include "verbs/registry_path.h"

namespace vw {
namespace {

constexpr std::wstring_view kCurrentUserClasses = L"Software\\Classes";
constexpr std::wstring_view kMachineClasses = L"HKEY_LOCAL_MACHINE\\Software\\Classes\\";

// The part of `subkey` below `prefix`, with its leading '\'; nullopt when it is not under it.
std::optional<std::wstring_view> Below(std::wstring_view subkey, std::wstring_view prefix) {
  if (subkey.size() < prefix.size() || !EqualsIgnoreCase(subkey.substr(0, prefix.size()), prefix))
    return std::nullopt;
  const std::wstring_view rest = subkey.substr(prefix.size());
  if (!rest.empty() && rest.front() != L'\\') return std::nullopt;
  return rest;
}

std::wstring Under(std::wstring_view root, std::wstring_view rest) {
  std::wstring path(root);  // ends in '\'
  if (!rest.empty()) {
    path += rest.substr(1);
    path += L'\\';
  }
  return path;
}

}  // namespace

DesktopUserClasses::DesktopUserClasses(RegistryServices& inner, std::wstring user_classes)
    : inner_(inner), user_classes_(std::move(user_classes)) {}

std::wstring DesktopUserClasses::Map(std::wstring_view key_path) {
  const auto parsed = ParseKeyPath(key_path);
  if (!parsed) return std::wstring(key_path);
  if (parsed->hive == kHiveCurrentUser) {
    if (const auto rest = Below(parsed->subkey, kCurrentUserClasses))
      return Under(user_classes_, *rest);
  }
  if (parsed->hive == kHiveClassesRoot) {
    const std::wstring rest = L"\\" + parsed->subkey;
    const std::wstring user = Under(user_classes_, rest);
    return inner_.RegRead(user).exists ? user : Under(kMachineClasses, rest);
  }
  return std::wstring(key_path);
}

void DesktopUserClasses::EnumKey(std::uint32_t hive, std::wstring_view relative_path,
                                 std::vector<std::wstring>& names) {
  if (hive != kHiveClassesRoot) {
    inner_.EnumKey(hive, relative_path, names);
    return;
  }
  // The union, in the registry's order of upper-cased names; the user's spelling where both.
  std::map<std::wstring, std::wstring> merged;
  for (const std::wstring_view root : {kMachineClasses, std::wstring_view(user_classes_)}) {
    const auto parsed = ParseKeyPath(Under(root, L"\\" + std::wstring(relative_path)));
    if (!parsed) continue;
    std::vector<std::wstring> part;
    inner_.EnumKey(parsed->hive, parsed->subkey, part);
    for (std::wstring& name : part) merged[FoldCase(name)] = std::move(name);
  }
  names.reserve(names.size() + merged.size());
  for (auto& [folded, name] : merged) names.push_back(std::move(name));
}

KeyState DesktopUserClasses::RegRead(std::wstring_view key_path) {
  return inner_.RegRead(Map(key_path));
}

std::optional<KeyTree> DesktopUserClasses::ReadTree(std::wstring_view key_path) {
  return inner_.ReadTree(Map(key_path));
}

void DesktopUserClasses::WriteValue(std::wstring_view key_path, std::wstring_view value_name,
                                    const std::optional<RegValue>& value) {
  inner_.WriteValue(Map(key_path), value_name, value);
}

void DesktopUserClasses::RegDelete(std::wstring_view key_path) {
  inner_.RegDelete(Map(key_path));
}

void DesktopUserClasses::SetSecurity(std::wstring_view key_path,
                                     const std::vector<std::uint8_t>& descriptor) {
  inner_.SetSecurity(Map(key_path), descriptor);
}

bool DesktopUserClasses::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  return inner_.SameKeyName(a, b);
}

}  // namespace vw
