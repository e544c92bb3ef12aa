#include "verbs/desktop_user_classes.h"

#include <map>
#include <utility>

#include "verbs/case_fold.h"

namespace vw {
namespace {

const KeyPath kCurrentUserClasses{kHiveCurrentUser, {L"Software", L"Classes"}};
const KeyPath kMachineClasses{kHiveLocalMachine, {L"Software", L"Classes"}};

// `key`'s names below `root`, put under `under`; nullopt when `key` is not under `root`.
std::optional<KeyPath> Moved(const KeyPath& key, const KeyPath& root, const KeyPath& under) {
  if (!root.Contains(
          key, [](std::wstring_view a, std::wstring_view b) { return EqualsIgnoreCase(a, b); })) {
    return std::nullopt;
  }
  KeyPath moved = under;
  moved.names.insert(moved.names.end(),
                     key.names.begin() + static_cast<std::ptrdiff_t>(root.names.size()),
                     key.names.end());
  return moved;
}

// A key of the view, under one classes root.
KeyPath Under(const KeyPath& root, const KeyPath& view_key) {
  KeyPath key = root;
  key.names.insert(key.names.end(), view_key.names.begin(), view_key.names.end());
  return key;
}

}  // namespace

std::optional<KeyPath> OtherUserClassesRoot(std::wstring_view session_user,
                                            std::wstring_view process_user) {
  if (session_user.empty() || process_user.empty() || EqualsIgnoreCase(session_user, process_user))
    return std::nullopt;
  KeyPath root{kHiveUsers, {std::wstring(session_user) + L"_Classes"}};
  if (!IsValidKeyPath(root)) return std::nullopt;
  return root;
}

DesktopUserClasses::DesktopUserClasses(RegistryServices& inner, KeyPath user_classes)
    : inner_(inner), user_classes_(std::move(user_classes)) {}

KeyPath DesktopUserClasses::Map(const KeyPath& key) {
  if (key.hive == kHiveCurrentUser) {
    if (auto moved = Moved(key, kCurrentUserClasses, user_classes_)) return *std::move(moved);
  }
  if (key.hive == kHiveClassesRoot && !key.names.empty()) {
    KeyPath user = Under(user_classes_, key);
    return inner_.ReadKey(user).exists ? user : Under(kMachineClasses, key);
  }
  return key;
}

void DesktopUserClasses::ListSubkeys(const KeyPath& key, std::vector<std::wstring>& names) {
  if (key.hive != kHiveClassesRoot) {
    inner_.ListSubkeys(key, names);
    return;
  }
  // The union, in the registry's order of upper-cased names; the user's spelling where both.
  std::map<std::wstring, std::wstring> merged;
  for (const KeyPath* root :
       std::initializer_list<const KeyPath*>{&kMachineClasses, &user_classes_}) {
    std::vector<std::wstring> part;
    inner_.ListSubkeys(Under(*root, key), part);
    for (std::wstring& name : part) merged[FoldCase(name)] = std::move(name);
  }
  names.reserve(names.size() + merged.size());
  for (auto& [folded, name] : merged) names.push_back(std::move(name));
}

KeyState DesktopUserClasses::ReadKey(const KeyPath& key) {
  return inner_.ReadKey(Map(key));
}

std::optional<KeyTree> DesktopUserClasses::ReadTree(const KeyPath& key) {
  return inner_.ReadTree(Map(key));
}

void DesktopUserClasses::WriteValue(const KeyPath& key, std::wstring_view value_name,
                                    const std::optional<RegValue>& value) {
  inner_.WriteValue(Map(key), value_name, value);
}

void DesktopUserClasses::DeleteTree(const KeyPath& key) {
  inner_.DeleteTree(Map(key));
}

void DesktopUserClasses::SetSecurity(const KeyPath& key,
                                     const std::vector<std::uint8_t>& descriptor) {
  inner_.SetSecurity(Map(key), descriptor);
}

bool DesktopUserClasses::CanRestoreOwner(
    const std::vector<std::uint8_t>& descriptor) const noexcept {
  return inner_.CanRestoreOwner(descriptor);
}

bool DesktopUserClasses::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  return inner_.SameKeyName(a, b);
}

}  // namespace vw
