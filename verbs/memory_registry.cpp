#include "verbs/memory_registry.h"

#include <string_view>

#include "platform/system_error.h"
#include "verbs/case_fold.h"
#include "verbs/registry_path.h"

namespace vw {

struct MemoryRegistry::Node {
  struct Denial {
    Access access;
    std::uint32_t code;
  };
  std::wstring name;
  std::map<std::wstring, NamedValue> values;               // by folded name
  std::map<std::wstring, std::unique_ptr<Node>> children;  // by folded name
  std::vector<Denial> denials;                             // the key's own ACL
  bool link = false;
  bool is_volatile = false;
};

namespace {

constexpr std::wstring_view kClasses = L"Software\\Classes";

template <typename Visit>
void ForEachComponent(std::wstring_view path, Visit visit) {
  if (path.empty()) return;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find(L'\\', start), path.size());
    if (!visit(path.substr(start, end - start))) return;
    start = end + 1;
  }
}

std::wstring Join(std::wstring_view parent, std::wstring_view name) {
  std::wstring path(parent);
  if (!path.empty()) path += L'\\';
  path += name;
  return path;
}

// The denials as a security descriptor's bytes: the access, then the error, for each.
std::vector<std::uint8_t> Serialise(const auto& denials) {
  std::vector<std::uint8_t> bytes;
  for (const auto& denial : denials) {
    bytes.push_back(static_cast<std::uint8_t>(denial.access));
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<std::uint8_t>(denial.code >> shift));
  }
  return bytes;
}

KeyPath ParseOrThrow(std::wstring_view key_path, std::wstring_view doing) {
  auto parsed = ParseKeyPath(key_path);
  if (!parsed) throw SystemError(errc::kBadPathname, std::wstring(doing), DisplayKeyPath(key_path));
  return *parsed;
}

}  // namespace

MemoryRegistry::MemoryRegistry() {
  for (const std::uint32_t hive : {kHiveCurrentUser, kHiveLocalMachine, kHiveUsers}) {
    hives_[hive] = std::make_unique<Node>();
  }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Find(const Location& location) const {
  const auto root = hives_.find(location.hive);
  if (root == hives_.end()) return nullptr;
  Node* node = root->second.get();
  ForEachComponent(location.subkey, [&node](std::wstring_view name) {
    const auto child = node->children.find(FoldCase(name));
    node = child == node->children.end() ? nullptr : child->second.get();
    return node != nullptr;
  });
  return node;
}

MemoryRegistry::Location MemoryRegistry::Resolve(std::uint32_t hive,
                                                 std::wstring_view subkey) const {
  if (hive != kHiveClassesRoot) return {hive, std::wstring(subkey)};
  Location user{kHiveCurrentUser, Join(kClasses, subkey)};
  if (Find(user) != nullptr) return user;
  return {kHiveLocalMachine, Join(kClasses, subkey)};
}

bool MemoryRegistry::CountCall(std::wstring_view subject, bool deferrable) {
  const std::size_t index = call_count_++;
  if (!fail_at_ || *fail_at_ != index) return false;
  fail_at_.reset();
  if (deferrable && fail_at_strike_ == Strike::kAfterCreatingKeys) return true;
  throw SystemError(fail_at_code_, L"访问注册表项", std::wstring(subject));
}

void MemoryRegistry::CheckAccess(Access access, const Node& node, const Location& location) const {
  for (const Node::Denial& denial : node.denials) {
    if (denial.access == access) {
      const std::wstring_view doing = access == Access::kSetValue ? registry_action::kWriting
                                      : access == Access::kDelete ? registry_action::kDeleting
                                                                  : registry_action::kEnumerating;
      throw SystemError(denial.code, std::wstring(doing),
                        DisplayKeyPath(location.hive, location.subkey));
    }
  }
}

void MemoryRegistry::EnumKey(std::uint32_t hive, std::wstring_view relative_path,
                             std::vector<std::wstring>& names) {
  CountCall(DisplayKeyPath(hive, relative_path));
  if (!IsValidRelativePath(relative_path) || (hive != kHiveClassesRoot && !hives_.contains(hive))) {
    throw SystemError(errc::kBadPathname, std::wstring(registry_action::kEnumerating),
                      DisplayKeyPath(hive, relative_path));
  }
  if (hive == kHiveClassesRoot) {
    const std::vector<std::wstring> merged = ViewSubkeys(relative_path);
    names.insert(names.end(), merged.begin(), merged.end());
    return;
  }
  const Location location{hive, std::wstring(relative_path)};
  const Node* node = Find(location);
  if (node == nullptr) return;
  CheckAccess(Access::kEnumerate, *node, location);
  names.reserve(names.size() + node->children.size());
  for (const auto& [folded, child] : node->children) names.push_back(child->name);
}

KeyState MemoryRegistry::RegRead(std::wstring_view key_path) {
  CountCall(DisplayKeyPath(key_path));
  const KeyPath path = ParseOrThrow(key_path, registry_action::kReading);
  const Node* node = Find(Resolve(path.hive, path.subkey));
  if (node == nullptr) return {};
  const auto value = node->values.find(L"");
  if (value == node->values.end()) return {true, std::nullopt};
  return {true, value->second.value};
}

void MemoryRegistry::CopyTree(const Node& node, const Location& location, KeyTree& tree) const {
  CheckAccess(Access::kEnumerate, node, location);
  tree.name = node.name;
  tree.security = Serialise(node.denials);
  tree.link = node.link;
  tree.is_volatile = node.is_volatile;
  for (const auto& [folded, value] : node.values) tree.values.push_back(value);
  for (const auto& [folded, child] : node.children) {
    CopyTree(*child, {location.hive, Join(location.subkey, child->name)},
             tree.subkeys.emplace_back());
  }
}

std::optional<KeyTree> MemoryRegistry::ReadTree(std::wstring_view key_path) {
  CountCall(DisplayKeyPath(key_path));
  const KeyPath path = ParseOrThrow(key_path, registry_action::kReading);
  const Location location = Resolve(path.hive, path.subkey);
  const Node* node = Find(location);
  if (node == nullptr) return std::nullopt;
  KeyTree tree;
  if (path.hive == kHiveClassesRoot) {
    CopyViewTree(path.subkey, tree);
  } else {
    CopyTree(*node, location, tree);
  }
  return tree;
}

void MemoryRegistry::CopyViewTree(const std::wstring& subkey, KeyTree& tree) const {
  const Location location = Resolve(kHiveClassesRoot, subkey);
  const Node& node = *Find(location);
  tree.name = node.name;
  tree.security = Serialise(node.denials);
  tree.link = node.link;
  tree.is_volatile = node.is_volatile;
  for (const auto& [folded, value] : node.values) tree.values.push_back(value);
  for (const std::wstring& name : ViewSubkeys(subkey)) {
    CopyViewTree(Join(subkey, name), tree.subkeys.emplace_back());
  }
}

std::vector<std::wstring> MemoryRegistry::ViewSubkeys(std::wstring_view subkey) const {
  std::map<std::wstring, std::wstring> merged;  // folded name: name, the user's spelling last
  for (const std::uint32_t hive : {kHiveLocalMachine, kHiveCurrentUser}) {
    const Location source{hive, Join(kClasses, subkey)};
    const Node* node = Find(source);
    if (node == nullptr) continue;
    CheckAccess(Access::kEnumerate, *node, source);
    for (const auto& [folded, child] : node->children) merged[folded] = child->name;
  }
  std::vector<std::wstring> names;
  names.reserve(merged.size());
  for (const auto& [folded, name] : merged) names.push_back(name);
  return names;
}

void MemoryRegistry::WriteValue(std::wstring_view key_path, std::wstring_view value_name,
                                const std::optional<RegValue>& value) {
  const bool fail_late = CountCall(DisplayKeyPath(key_path), true);
  const KeyPath path = ParseOrThrow(key_path, registry_action::kWriting);
  // Through the view, a value lands in the user's key only where that key exists already.
  const Location location = Resolve(path.hive, path.subkey);
  if (const Node* existing = Find(location)) CheckAccess(Access::kSetValue, *existing, location);
  Node* node = hives_.at(location.hive).get();
  ForEachComponent(location.subkey, [&node](std::wstring_view name) {
    auto& slot = node->children[FoldCase(name)];
    if (!slot) {
      slot = std::make_unique<Node>();
      slot->name = std::wstring(name);
    }
    node = slot.get();
    return true;
  });
  if (fail_late) throw SystemError(fail_at_code_, L"访问注册表项", DisplayKeyPath(key_path));
  const std::wstring folded = FoldCase(value_name);
  if (!value) {
    node->values.erase(folded);
    return;
  }
  auto [slot, inserted] =
      node->values.try_emplace(folded, NamedValue{std::wstring(value_name), *value});
  if (!inserted) slot->second.value = *value;  // an existing value keeps its name's case
}

void MemoryRegistry::DeleteTree(Node& parent, const std::wstring& folded,
                                const Location& location) {
  Node& node = *parent.children.at(folded);
  CheckAccess(Access::kEnumerate, node, location);
  // Subkeys first, in order; those deleted before a failure stay deleted, as with RegDeleteTreeW.
  while (!node.children.empty()) {
    const auto& [child_folded, child] = *node.children.begin();
    DeleteTree(node, std::wstring(child_folded),
               {location.hive, Join(location.subkey, child->name)});
  }
  CheckAccess(Access::kDelete, node, location);
  parent.children.erase(folded);
}

void MemoryRegistry::RegDelete(std::wstring_view key_path) {
  CountCall(DisplayKeyPath(key_path));
  const KeyPath path = ParseOrThrow(key_path, registry_action::kDeleting);
  const Location location = Resolve(path.hive, path.subkey);
  const std::size_t slash = location.subkey.rfind(L'\\');
  const std::wstring name =
      slash == std::wstring::npos ? location.subkey : location.subkey.substr(slash + 1);
  Node* parent = slash == std::wstring::npos
                     ? hives_.at(location.hive).get()
                     : Find({location.hive, location.subkey.substr(0, slash)});
  if (parent == nullptr || !parent->children.contains(FoldCase(name))) return;
  DeleteTree(*parent, FoldCase(name), location);
}

bool MemoryRegistry::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  return EqualsIgnoreCase(a, b);
}

void MemoryRegistry::SetSecurity(std::wstring_view key_path,
                                 const std::vector<std::uint8_t>& descriptor) {
  CountCall(DisplayKeyPath(key_path));
  const KeyPath path = ParseOrThrow(key_path, registry_action::kWriting);
  Node* node = Find(Resolve(path.hive, path.subkey));
  if (node == nullptr) {
    throw SystemError(errc::kFileNotFound, std::wstring(registry_action::kWriting),
                      DisplayKeyPath(key_path));
  }
  node->denials.clear();
  for (std::size_t at = 0; at + 5 <= descriptor.size(); at += 5) {
    std::uint32_t code = 0;
    for (int byte = 0; byte < 4; ++byte)
      code |= static_cast<std::uint32_t>(descriptor[at + 1 + byte]) << (8 * byte);
    node->denials.push_back({static_cast<Access>(descriptor[at]), code});
  }
}

void MemoryRegistry::FailCallAfter(std::size_t calls_from_now, std::uint32_t code, Strike strike) {
  fail_at_ = call_count_ + calls_from_now;
  fail_at_code_ = code;
  fail_at_strike_ = strike;
}

template <typename Visit>
void MemoryRegistry::ForEachExistingKey(std::wstring_view key_path, Visit visit) {
  const auto parsed = ParseKeyPath(key_path);
  if (!parsed) return;
  std::vector<Location> locations;
  if (parsed->hive == kHiveClassesRoot) {
    for (const std::uint32_t hive : {kHiveCurrentUser, kHiveLocalMachine})
      locations.push_back({hive, Join(kClasses, parsed->subkey)});
  } else {
    locations.push_back({parsed->hive, parsed->subkey});
  }
  for (const Location& location : locations) {
    if (Node* node = Find(location)) visit(*node);
  }
}

void MemoryRegistry::Deny(Access access, std::wstring_view key_path, std::uint32_t code) {
  ForEachExistingKey(key_path, [&](Node& node) { node.denials.push_back({access, code}); });
}

void MemoryRegistry::MakeLink(std::wstring_view key_path) {
  ForEachExistingKey(key_path, [](Node& node) { node.link = true; });
}

void MemoryRegistry::MakeVolatile(std::wstring_view key_path) {
  ForEachExistingKey(key_path, [](Node& node) { node.is_volatile = true; });
}

void MemoryRegistry::ClearFaults() {
  fail_at_.reset();
  const auto clear = [](const auto& self, Node& node) -> void {
    node.denials.clear();
    for (auto& [folded, child] : node.children) self(self, *child);
  };
  for (auto& [hive, root] : hives_) clear(clear, *root);
}

std::wstring MemoryRegistry::Dump() const {
  std::wstring out;
  std::wstring path;  // grows and shrinks as the walk goes down and up
  const auto dump = [&out, &path](const auto& self, const Node& node) -> void {
    constexpr wchar_t kHex[] = L"0123456789abcdef";
    out += path;
    out += L'\t';
    for (const auto& [folded, value] : node.values) {
      out += L'[';
      out += value.name;
      out += L"]=";
      out += std::to_wstring(value.value.type);
      out += L':';
      for (const std::uint8_t byte : value.value.data) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
      }
      out += L' ';
    }
    for (const std::uint8_t byte : Serialise(node.denials)) {
      out += L'#';
      out += std::to_wstring(byte);
    }
    if (node.link) out += L" link";
    if (node.is_volatile) out += L" volatile";
    out += L'\n';
    for (const auto& [folded, child] : node.children) {
      const std::size_t length = path.size();
      path += L'\\';
      path += child->name;
      self(self, *child);
      path.resize(length);
    }
  };
  for (const auto& [hive, root] : hives_) {
    path = DisplayKeyPath(hive, L"");
    dump(dump, *root);
  }
  return out;
}

}  // namespace vw
