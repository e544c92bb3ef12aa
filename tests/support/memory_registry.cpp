#include "tests/support/memory_registry.h"

#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/case_fold.h"
#include "platform/system_error.h"
#include "registry/key_path.h"
#include "words/visible_names.h"

namespace vw {

namespace {

// One entry of an access list: it refuses `access` with `code`.
struct Denial {
  MemoryRegistry::Access access;
  std::uint32_t code;
  bool inheritable = false;
  bool fault = false;  // armed by a test, gone with ClearFaults
  // Whom it names: "" for everyone, else a SID; CREATOR OWNER, inherited by a new key, becomes
  // an entry for that key's owner.
  std::wstring who;
};

// A key's security descriptor.
struct Security {
  std::wstring owner{MemoryRegistry::kCaller};
  bool dacl_protected = false;
  std::vector<Denial> own;
  std::vector<Denial> inherited;  // copies of the inheritable entries above, as Windows keeps them
};

}  // namespace

struct MemoryRegistry::Node {
  std::wstring name;
  std::map<std::wstring, NamedValue> values;               // by folded name
  std::map<std::wstring, std::unique_ptr<Node>> children;  // by folded name
  Security security;
  std::wstring key_class;
  std::optional<KeyPath> link;  // a symbolic link's target
  bool is_volatile = false;

  // What a key below this one, owned by `owner`, inherits: the inheritable entries, and for each
  // CREATOR OWNER one an entry of the owner's, as Windows instantiates it.
  std::vector<Denial> Inheritable(std::wstring_view owner) const {
    std::vector<Denial> passed;
    for (const Denial& denial : security.own) {
      if (denial.inheritable) passed.push_back(denial);
    }
    for (const Denial& denial : security.inherited) {
      if (denial.inheritable) passed.push_back(denial);
    }
    const std::size_t count = passed.size();
    for (std::size_t index = 0; index < count; ++index) {
      if (passed[index].who != MemoryRegistry::kCreatorOwner) continue;
      Denial instance = passed[index];
      instance.inheritable = false;
      instance.who = owner;
      passed.push_back(std::move(instance));
    }
    return passed;
  }
};

namespace {

// Links that lead to links: the registry gives up after a few, as it does on a loop.
constexpr int kMaxLinkDepth = 8;

// The classes of the machine and of this user, under which the view's keys lie.
KeyPath Classes(std::uint32_t hive, const KeyPath& view_key) {
  KeyPath key{hive, {L"Software", L"Classes"}};
  key.names.insert(key.names.end(), view_key.names.begin(), view_key.names.end());
  return key;
}

// A security descriptor as bytes: the owner's units, the protection, then each list, an entry as
// its access, its error's four bytes and its flags.
void AppendText(std::wstring_view text, std::vector<std::uint8_t>& bytes) {
  bytes.push_back(static_cast<std::uint8_t>(text.size()));
  for (const wchar_t c : text) {
    const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  }
}

std::vector<std::uint8_t> Serialise(const Security& security) {
  std::vector<std::uint8_t> bytes;
  AppendText(security.owner, bytes);
  bytes.push_back(static_cast<std::uint8_t>(security.dacl_protected ? 1 : 0));
  for (const auto* list : {&security.own, &security.inherited}) {
    bytes.push_back(static_cast<std::uint8_t>(list->size()));
    for (const Denial& denial : *list) {
      bytes.push_back(static_cast<std::uint8_t>(denial.access));
      for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(denial.code >> shift));
      bytes.push_back(
          static_cast<std::uint8_t>((denial.inheritable ? 1 : 0) | (denial.fault ? 2 : 0)));
      AppendText(denial.who, bytes);
    }
  }
  return bytes;
}

// The descriptor Serialise made; nullopt for bytes it did not make.
std::optional<Security> Parse(const std::vector<std::uint8_t>& bytes) {
  Security security;
  std::size_t at = 0;
  const auto take = [&]() -> std::optional<std::uint8_t> {
    if (at >= bytes.size()) return std::nullopt;
    return bytes[at++];
  };
  const auto take_text = [&]() -> std::optional<std::wstring> {
    const auto length = take();
    if (!length) return std::nullopt;
    std::wstring text;
    for (std::size_t unit = 0; unit < *length; ++unit) {
      const auto low = take(), high = take();
      if (!low || !high) return std::nullopt;
      text += static_cast<wchar_t>(*low | (*high << 8));
    }
    return text;
  };
  const auto owner = take_text();
  if (!owner) return std::nullopt;
  security.owner = *owner;
  const auto protection = take();
  if (!protection) return std::nullopt;
  security.dacl_protected = *protection != 0;
  for (auto* list : {&security.own, &security.inherited}) {
    const auto count = take();
    if (!count) return std::nullopt;
    for (std::size_t index = 0; index < *count; ++index) {
      const auto access = take();
      std::uint32_t code = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const auto byte = take();
        if (!byte) return std::nullopt;
        code |= static_cast<std::uint32_t>(*byte) << shift;
      }
      const auto flags = take();
      const auto who = take_text();
      if (!access || !flags || !who) return std::nullopt;
      list->push_back({static_cast<MemoryRegistry::Access>(*access), code, (*flags & 1) != 0,
                       (*flags & 2) != 0, *who});
    }
  }
  if (at != bytes.size()) return std::nullopt;
  return security;
}

constexpr std::uint32_t kInvalidOwner = 1307;  // ERROR_INVALID_OWNER

[[noreturn]] void Fail(std::uint32_t code, Doing doing, const KeyPath& key) {
  throw SystemError(code, doing, KeyPathText(key));
}

void CheckValid(const KeyPath& key, Doing doing) {
  if (!IsValidKeyPath(key)) Fail(errc::kBadPathname, doing, key);
}

}  // namespace

MemoryRegistry::MemoryRegistry() {
  for (const std::uint32_t hive : {kHiveCurrentUser, kHiveLocalMachine, kHiveUsers}) {
    hives_[hive] = std::make_unique<Node>();
  }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Find(const KeyPath& location, bool follow_last,
                                           int depth) const {
  const auto root = hives_.find(location.hive);
  if (root == hives_.end() || depth > kMaxLinkDepth) return nullptr;
  Node* node = root->second.get();
  for (std::size_t index = 0; index < location.names.size(); ++index) {
    const auto child = node->children.find(FoldCase(location.names[index]));
    if (child == node->children.end()) return nullptr;
    node = child->second.get();
    const bool last = index + 1 == location.names.size();
    if (node->link && (!last || follow_last)) {
      node = Find(*node->link, true, depth + 1);
      if (node == nullptr) return nullptr;
    }
  }
  return node;
}

KeyPath MemoryRegistry::Resolve(const KeyPath& key) const {
  if (key.hive != kHiveClassesRoot) return key;
  KeyPath user = Classes(kHiveCurrentUser, key);
  if (Find(user) != nullptr) return user;
  return Classes(kHiveLocalMachine, key);
}

bool MemoryRegistry::CountCall(const KeyPath& key, bool deferrable) {
  if (action_at_ && *action_at_ == call_count_) {
    action_at_.reset();
    std::exchange(action_, nullptr)();
  }
  const std::size_t index = call_count_++;
  if (!fail_at_ || *fail_at_ != index) return false;
  fail_at_.reset();
  if (deferrable && fail_at_strike_ == Strike::kAfterCreatingKeys) return true;
  Fail(fail_at_code_, Doing::kReadingKey, key);
}

void MemoryRegistry::CheckAccess(Access access, const Node& node, const KeyPath& location) const {
  std::vector<Denial> effective = node.security.own;
  effective.insert(effective.end(), node.security.inherited.begin(), node.security.inherited.end());
  for (const Denial& denial : effective) {
    if (denial.access == access) {
      const Doing doing = access == Access::kSetValue ? Doing::kWritingKey
                          : access == Access::kDelete ? Doing::kDeletingKey
                                                      : Doing::kListingKey;
      Fail(denial.code, doing, location);
    }
  }
}

void MemoryRegistry::ForEachSubkey(const KeyPath& key, SubkeySink& sink) {
  CountCall(key);
  CheckValid(key, Doing::kListingKey);
  if (key.hive == kHiveClassesRoot) {
    const std::vector<std::wstring> merged = ViewSubkeys(key);
    sink.Expect(merged.size());
    for (const std::wstring& name : merged) sink.Take(name);
    return;
  }
  const Node* node = Find(key, true);
  if (node == nullptr) return;
  CheckAccess(Access::kEnumerate, *node, key);
  sink.Expect(node->children.size());
  for (const auto& [folded, child] : node->children) sink.Take(child->name);
}

KeyState MemoryRegistry::ReadKey(const KeyPath& key) {
  CountCall(key);
  CheckValid(key, Doing::kReadingKey);
  const Node* node = Find(Resolve(key));
  if (node == nullptr) return {};
  const auto value = node->values.find(L"");
  if (value == node->values.end()) return {true, std::nullopt};
  return {true, value->second.value};
}

void MemoryRegistry::CopyTree(const Node& node, const KeyPath& location, KeyTree& tree) const {
  CheckAccess(Access::kEnumerate, node, location);
  tree.name = node.name;
  tree.security = Serialise(node.security);
  tree.key_class = node.key_class;
  tree.link = node.link.has_value();
  tree.is_volatile = node.is_volatile;
  for (const auto& [folded, value] : node.values) tree.values.push_back(value);
  for (const auto& [folded, child] : node.children) {
    CopyTree(*child, location.Child(child->name), tree.subkeys.emplace_back());
  }
}

void MemoryRegistry::RefuseLinksOnTheWay(const KeyPath& key, bool refuse_key, Doing doing) const {
  if (key.hive == kHiveClassesRoot) return;  // the view follows its links, as Explorer's does
  const Node* node = hives_.at(key.hive).get();
  for (std::size_t index = 0; index < key.names.size(); ++index) {
    const auto child = node->children.find(FoldCase(key.names[index]));
    if (child == node->children.end()) return;
    node = child->second.get();
    if (node->link && (index + 1 < key.names.size() || refuse_key)) {
      KeyPath link{key.hive, {}};
      link.names.assign(key.names.begin(),
                        key.names.begin() + static_cast<std::ptrdiff_t>(index) + 1);
      throw LinkOnTheWay(doing, link);
    }
  }
}

std::optional<KeyTree> MemoryRegistry::ReadTree(const KeyPath& key) {
  CountCall(key);
  CheckValid(key, Doing::kReadingKey);
  RefuseLinksOnTheWay(key, false, Doing::kReadingKey);
  const KeyPath location = Resolve(key);
  const Node* node = Find(location);
  if (node == nullptr) return std::nullopt;
  KeyTree tree;
  if (key.hive == kHiveClassesRoot) {
    CopyViewTree(key, tree);
  } else {
    CopyTree(*node, location, tree);
  }
  return tree;
}

void MemoryRegistry::CopyViewTree(const KeyPath& key, KeyTree& tree) const {
  const KeyPath location = Resolve(key);
  const Node& node = *Find(location);
  tree.name = node.name;
  tree.security = Serialise(node.security);
  tree.key_class = node.key_class;
  tree.link = node.link.has_value();
  tree.is_volatile = node.is_volatile;
  for (const auto& [folded, value] : node.values) tree.values.push_back(value);
  if (node.link) return;
  for (const std::wstring& name : ViewSubkeys(key)) {
    CopyViewTree(key.Child(name), tree.subkeys.emplace_back());
  }
}

std::vector<std::wstring> MemoryRegistry::ViewSubkeys(const KeyPath& key) const {
  std::map<std::wstring, std::wstring> merged;  // folded name: name, the user's spelling last
  for (const std::uint32_t hive : {kHiveLocalMachine, kHiveCurrentUser}) {
    const KeyPath source = Classes(hive, key);
    const Node* node = Find(source, true);
    if (node == nullptr) continue;
    CheckAccess(Access::kEnumerate, *node, source);
    for (const auto& [folded, child] : node->children) merged[folded] = child->name;
  }
  std::vector<std::wstring> names;
  names.reserve(merged.size());
  for (const auto& [folded, name] : merged) names.push_back(name);
  return names;
}

MemoryRegistry::Node& MemoryRegistry::Create(const KeyPath& location) {
  Node* node = hives_.at(location.hive).get();
  for (const std::wstring& name : location.names) {
    auto& slot = node->children[FoldCase(name)];
    if (!slot) {
      slot = std::make_unique<Node>();
      slot->name = name;
      slot->security.owner = creator_;
      slot->security.inherited = node->Inheritable(creator_);
    }
    node = slot.get();
    if (node->link) {
      // Through a link, as the registry creates keys: a missing target is created where its
      // parent exists (as Wine does); past a missing parent the link leads nowhere.
      const KeyPath target = *node->link;
      node = Find(target, true);
      if (node == nullptr && Find(target.Parent(), true) != nullptr) node = &Create(target);
      if (node == nullptr) Fail(errc::kFileNotFound, Doing::kWritingKey, location);
    }
  }
  return *node;
}

void MemoryRegistry::CreateKey(const KeyPath& key, std::wstring_view key_class) {
  CountCall(key);
  CheckValid(key, Doing::kWritingKey);
  RefuseLinksOnTheWay(key, true, Doing::kWritingKey);
  const KeyPath location = Resolve(key);
  if (Find(location, true) != nullptr) return;
  Create(location).key_class = key_class;
}

void MemoryRegistry::WriteValue(const KeyPath& key, std::wstring_view value_name,
                                const std::optional<RegValue>& value) {
  const bool fail_late = CountCall(key, true);
  CheckValid(key, Doing::kWritingKey);
  RefuseLinksOnTheWay(key, true, Doing::kWritingKey);
  // Through the view, a value lands in the user's key only where that key exists already.
  const KeyPath location = Resolve(key);
  if (const Node* existing = Find(location, true))
    CheckAccess(Access::kSetValue, *existing, location);
  Node& node = Create(location);
  if (fail_late) Fail(fail_at_code_, Doing::kReadingKey, key);
  const std::wstring folded = FoldCase(value_name);
  if (!value) {
    node.values.erase(folded);
    return;
  }
  auto [slot, inserted] =
      node.values.try_emplace(folded, NamedValue{std::wstring(value_name), *value});
  if (!inserted) slot->second.value = *value;  // an existing value keeps its name's case
}

void MemoryRegistry::DeleteTree(Node& parent, const std::wstring& folded, const KeyPath& location) {
  Node& node = *parent.children.at(folded);
  CheckAccess(Access::kEnumerate, node, location);
  // Subkeys first, in order; those deleted before a failure stay deleted, as with RegDeleteTreeW.
  while (!node.children.empty()) {
    const auto& [child_folded, child] = *node.children.begin();
    DeleteTree(node, std::wstring(child_folded), location.Child(child->name));
  }
  CheckAccess(Access::kDelete, node, location);
  parent.children.erase(folded);
}

void MemoryRegistry::DeleteTree(const KeyPath& key) {
  CountCall(key);
  CheckValid(key, Doing::kDeletingKey);
  RefuseLinksOnTheWay(key, false, Doing::kDeletingKey);
  const KeyPath location = Resolve(key);
  Node* parent = Find(location.Parent(), true);
  const std::wstring folded = FoldCase(location.names.back());
  if (parent == nullptr || !parent->children.contains(folded)) return;
  DeleteTree(*parent, folded, location);
}

bool MemoryRegistry::SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept {
  return EqualsIgnoreCase(a, b);
}

void MemoryRegistry::SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) {
  CountCall(key);
  CheckValid(key, Doing::kWritingKey);
  RefuseLinksOnTheWay(key, false, Doing::kWritingKey);
  const KeyPath location = Resolve(key);
  Node* node = Find(location);
  if (node == nullptr) Fail(errc::kFileNotFound, Doing::kWritingKey, key);
  const std::optional<Security> wanted = Parse(descriptor);
  if (!wanted) Fail(errc::kInvalidParameter, Doing::kWritingKey, key);
  // Stored as given, in one set, as RegSetKeySecurity stores it: an owner other than the caller
  // only with the privilege; nothing recomputed from above, nothing passed down.
  if (wanted->owner != node->security.owner && wanted->owner != kCaller && !restore_privilege_) {
    Fail(kInvalidOwner, Doing::kWritingKey, key);
  }
  node->security = *wanted;
}

bool MemoryRegistry::CanRestoreSecurity(
    const std::vector<std::uint8_t>& descriptor) const noexcept {
  const std::optional<Security> security = Parse(descriptor);
  return security && (security->owner == kCaller || restore_privilege_);
}

void MemoryRegistry::Propagate(Node& node) {
  for (auto& [folded, child] : node.children) {
    if (!child->security.dacl_protected)
      child->security.inherited = node.Inheritable(child->security.owner);
    Propagate(*child);
  }
}

void MemoryRegistry::FailCallAfter(std::size_t calls_from_now, std::uint32_t code, Strike strike) {
  fail_at_ = call_count_ + calls_from_now;
  fail_at_code_ = code;
  fail_at_strike_ = strike;
}

template <typename Visit>
void MemoryRegistry::ForEachExistingKey(const KeyPath& key, Visit visit) {
  std::vector<KeyPath> locations;
  if (key.hive == kHiveClassesRoot) {
    for (const std::uint32_t hive : {kHiveCurrentUser, kHiveLocalMachine})
      locations.push_back(Classes(hive, key));
  } else {
    locations.push_back(key);
  }
  for (const KeyPath& location : locations) {
    if (Node* node = Find(location)) visit(*node);
  }
}

void MemoryRegistry::Deny(Access access, const KeyPath& key, std::uint32_t code, bool inheritable) {
  ForEachExistingKey(key, [&](Node& node) {
    node.security.own.push_back({access, code, inheritable, true, {}});
    Propagate(node);
  });
}

void MemoryRegistry::GiveOwnAccessList(const KeyPath& key) {
  ForEachExistingKey(key, [&](Node& node) {
    node.security.dacl_protected = true;
    node.security.inherited.clear();
    node.security.own.push_back({Access::kNotify, errc::kAccessDenied, true, false, {}});
    Propagate(node);
  });
}

void MemoryRegistry::GrantCreatorOwner(const KeyPath& key) {
  ForEachExistingKey(key, [&](Node& node) {
    node.security.own.push_back(
        {Access::kNotify, errc::kAccessDenied, true, false, std::wstring(kCreatorOwner)});
    Propagate(node);
  });
}

void MemoryRegistry::AtCall(std::size_t calls_from_now, std::function<void()> action) {
  action_at_ = call_count_ + calls_from_now;
  action_ = std::move(action);
}

void MemoryRegistry::SetOwner(const KeyPath& key, std::wstring_view owner) {
  ForEachExistingKey(key, [&](Node& node) { node.security.owner = owner; });
}

void MemoryRegistry::MakeLink(const KeyPath& key, const KeyPath& target,
                              std::wstring_view value_name) {
  Node* parent = &Create(key.Parent());
  auto& slot = parent->children[FoldCase(key.names.back())];
  slot = std::make_unique<Node>();
  slot->name = key.names.back();
  slot->security.owner = creator_;
  slot->security.inherited = parent->Inheritable(creator_);
  slot->link = target;
  // The target as the native API names it, without a terminating null.
  const std::wstring native = KeyPathText(target);
  RegValue data{kRegLink, {}};
  for (const wchar_t c : native) {
    data.data.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(c) & 0xFF));
    data.data.push_back(static_cast<std::uint8_t>((static_cast<std::uint32_t>(c) >> 8) & 0xFF));
  }
  slot->values.emplace(FoldCase(value_name), NamedValue{std::wstring(value_name), std::move(data)});
}

void MemoryRegistry::MakeVolatile(const KeyPath& key) {
  ForEachExistingKey(key, [](Node& node) { node.is_volatile = true; });
}

void MemoryRegistry::ClearFaults() {
  fail_at_.reset();
  action_at_.reset();
  action_ = nullptr;
  const auto clear = [](const auto& self, Node& node) -> void {
    std::erase_if(node.security.own, [](const Denial& denial) { return denial.fault; });
    for (auto& [folded, child] : node.children) self(self, *child);
  };
  for (auto& [hive, root] : hives_) {
    clear(clear, *root);
    Propagate(*root);
  }
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
      out += text::VisibleName(value.name);
      out += L"]=";
      out += std::to_wstring(value.value.type);
      out += L':';
      for (const std::uint8_t byte : value.value.data) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
      }
      out += L' ';
    }
    // A key's security, where it is not what a new key of the caller's gets from a plain parent.
    if (node.security.owner != kCaller || node.security.dacl_protected ||
        !node.security.own.empty() || !node.security.inherited.empty()) {
      out += L'#';
      for (const std::uint8_t byte : Serialise(node.security)) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
      }
    }
    if (!node.key_class.empty()) out += L" class=" + node.key_class;
    if (node.link) out += L" link";
    if (node.is_volatile) out += L" volatile";
    out += L'\n';
    for (const auto& [folded, child] : node.children) {
      const std::size_t length = path.size();
      path += L'\\';
      path += text::VisibleName(child->name);
      self(self, *child);
      path.resize(length);
    }
  };
  for (const auto& [hive, root] : hives_) {
    path = KeyPathText(KeyPath{hive, {}});
    dump(dump, *root);
  }
  return out;
}

}  // namespace vw
