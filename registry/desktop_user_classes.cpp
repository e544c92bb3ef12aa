#include "registry/desktop_user_classes.h"

#include <map>
#include <utility>

#include "platform/case_fold.h"

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

UserClasses FindUserClasses(const SessionAccount& session, std::wstring_view process_user,
                            const AccountLookup& lookup) {
  using Whose = UserClasses::Whose;
  if (!session.answered) return {Whose::kUnknown, {}};
  if (session.user.empty()) return {};
  if (session.domain.empty()) return {Whose::kUnknown, {}};
  const std::optional<FoundAccount> found = lookup(session.domain + L"\\" + session.user);
  if (!found || !found->is_user || found->sid.empty()) return {Whose::kUnknown, {}};
  if (EqualsIgnoreCase(found->sid, process_user)) return {};
  KeyPath root{kHiveUsers, {found->sid + L"_Classes"}};
  if (!IsValidKeyPath(root)) return {Whose::kUnknown, {}};
  return {Whose::kOtherUser, std::move(root)};
}

DesktopUserClasses::DesktopUserClasses(RegistryServices& inner, std::optional<KeyPath> user_classes)
    : inner_(inner), user_classes_(std::move(user_classes)) {}

KeyPath DesktopUserClasses::Map(const KeyPath& key) {
  if (!user_classes_) return key;
  if (key.hive == kHiveCurrentUser) {
    if (auto moved = Moved(key, kCurrentUserClasses, *user_classes_)) return *std::move(moved);
  }
  if (key.hive == kHiveClassesRoot && !key.names.empty()) {
    KeyPath user = Under(*user_classes_, key);
    return inner_.ReadKey(user).exists ? user : Under(kMachineClasses, key);
  }
  return key;
}

void DesktopUserClasses::ForEachSubkey(const KeyPath& key, SubkeySink& sink) {
  if (key.hive != kHiveClassesRoot || !user_classes_) {
    inner_.ForEachSubkey(Map(key), sink);
    return;
  }
  // The union, in the registry's order of upper-cased names; the user's spelling where both.
  std::map<std::wstring, std::wstring> merged;
  for (const KeyPath* root :
       std::initializer_list<const KeyPath*>{&kMachineClasses, &*user_classes_}) {
    std::vector<std::wstring> part;
    inner_.ListSubkeys(Under(*root, key), part);
    for (std::wstring& name : part) merged[FoldCase(name)] = std::move(name);
  }
  sink.Expect(merged.size());
  for (const auto& [folded, name] : merged) sink.Take(name);
}

KeyState DesktopUserClasses::ReadKey(const KeyPath& key) {
  return inner_.ReadKey(Map(key));
}

std::optional<KeyTree> DesktopUserClasses::ReadTree(const KeyPath& key) {
  return inner_.ReadTree(Map(key));
}

void DesktopUserClasses::CreateKey(const KeyPath& key, std::wstring_view key_class) {
  inner_.CreateKey(Map(key), key_class);
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

bool DesktopUserClasses::CanRestoreSecurity(
    const std::vector<std::uint8_t>& descriptor) const noexcept {
  return inner_.CanRestoreSecurity(descriptor);
}

bool DesktopUserClasses::CanRestoreAudit() const noexcept {
  return inner_.CanRestoreAudit();
}

bool DesktopUserClasses::CanChange() const noexcept {
  return user_classes_.has_value() && inner_.CanChange();
}

bool DesktopUserClasses::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  return inner_.SameKeyName(a, b);
}

}  // namespace vw
