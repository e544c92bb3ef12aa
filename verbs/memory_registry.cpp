#include "verbs/memory_registry.h"

#include <string_view>

#include "platform/system_error.h"
#include "verbs/case_fold.h"
#include "verbs/registry_path.h"

namespace vw {

struct MemoryRegistry::Node {
  std::wstring name;
  std::optional<RegValue> value;
  std::map<std::wstring, std::unique_ptr<Node>> children;  // by folded name
};

namespace {

template <typename Visit>
void ForEachComponent(std::wstring_view path, Visit visit) {
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find(L'\\', start), path.size());
    if (!visit(path.substr(start, end - start), end == path.size())) return;
    start = end + 1;
  }
}

KeyPath ParseOrThrow(std::wstring_view key_path, std::wstring_view doing) {
  auto parsed = ParseKeyPath(key_path);
  if (!parsed) throw SystemError(errc::kBadPathname, std::wstring(doing) + std::wstring(key_path));
  return *parsed;
}

}  // namespace

MemoryRegistry::MemoryRegistry() {
  for (const std::uint32_t hive : {kHiveClassesRoot, kHiveCurrentUser, kHiveLocalMachine}) {
    hives_[hive] = std::make_unique<Node>();
  }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node* MemoryRegistry::Find(std::uint32_t hive, std::wstring_view subkey) const {
  const auto root = hives_.find(hive);
  if (root == hives_.end()) return nullptr;
  Node* node = root->second.get();
  ForEachComponent(subkey, [&node](std::wstring_view name, bool) {
    const auto child = node->children.find(FoldCase(name));
    node = child == node->children.end() ? nullptr : child->second.get();
    return node != nullptr;
  });
  return node;
}

void MemoryRegistry::CountCall(Call call, std::wstring_view path) {
  const std::size_t index = call_count_++;
  if (fail_at_ && *fail_at_ == index) {
    fail_at_.reset();
    throw SystemError(fail_at_code_, std::wstring(L"访问注册表项 ") + std::wstring(path));
  }
  const std::wstring folded = FoldCase(path);
  for (const PathFault& fault : path_faults_) {
    if (fault.call == call && fault.folded_path == folded) {
      throw SystemError(fault.code, std::wstring(L"访问注册表项 ") + std::wstring(path));
    }
  }
}

void MemoryRegistry::EnumKey(std::uint32_t hive, std::wstring_view relative_path,
                             std::vector<std::wstring>& names) {
  CountCall(Call::kEnumKey, relative_path);
  if (!IsValidRelativePath(relative_path) || !hives_.contains(hive)) {
    throw SystemError(errc::kBadPathname, L"列出注册表项 " + std::wstring(relative_path));
  }
  const Node* node = Find(hive, relative_path);
  if (node == nullptr) return;
  names.reserve(names.size() + node->children.size());
  for (const auto& [folded, child] : node->children) names.push_back(child->name);
}

KeyState MemoryRegistry::RegRead(std::wstring_view key_path) {
  CountCall(Call::kRegRead, key_path);
  const KeyPath path = ParseOrThrow(key_path, L"读取注册表项 ");
  const Node* node = Find(path.hive, path.subkey);
  if (node == nullptr) return {};
  return {true, node->value};
}

void MemoryRegistry::RegWriteValue(std::wstring_view key_path,
                                   const std::optional<RegValue>& value) {
  CountCall(Call::kRegWriteValue, key_path);
  const KeyPath path = ParseOrThrow(key_path, L"写入注册表项 ");
  Node* node = hives_.at(path.hive).get();
  ForEachComponent(path.subkey, [&node](std::wstring_view name, bool) {
    auto& slot = node->children[FoldCase(name)];
    if (!slot) {
      slot = std::make_unique<Node>();
      slot->name = std::wstring(name);
    }
    node = slot.get();
    return true;
  });
  node->value = value;
}

void MemoryRegistry::RegDelete(std::wstring_view key_path) {
  CountCall(Call::kRegDelete, key_path);
  const KeyPath path = ParseOrThrow(key_path, L"删除注册表项 ");
  const std::size_t slash = path.subkey.rfind(L'\\');
  const std::wstring_view parent_path = slash == std::wstring::npos
                                            ? std::wstring_view()
                                            : std::wstring_view(path.subkey).substr(0, slash);
  const std::wstring_view name =
      std::wstring_view(path.subkey).substr(slash == std::wstring::npos ? 0 : slash + 1);
  Node* parent = parent_path.empty() ? hives_.at(path.hive).get() : Find(path.hive, parent_path);
  if (parent != nullptr) parent->children.erase(FoldCase(name));
}

void MemoryRegistry::FailCallAfter(std::size_t calls_from_now, std::uint32_t code) {
  fail_at_ = call_count_ + calls_from_now;
  fail_at_code_ = code;
}

void MemoryRegistry::FailAlways(Call call, std::wstring_view key_path, std::uint32_t code) {
  path_faults_.push_back({call, FoldCase(key_path), code});
}

void MemoryRegistry::ClearFaults() {
  fail_at_.reset();
  path_faults_.clear();
}

std::wstring MemoryRegistry::Dump() const {
  std::wstring out;
  const auto dump = [&out](const auto& self, const Node& node, const std::wstring& path) -> void {
    out += path;
    if (node.value) {
      constexpr wchar_t kHex[] = L"0123456789abcdef";
      out += L" = " + std::to_wstring(node.value->type) + L":";
      for (const std::uint8_t byte : node.value->data) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
      }
    }
    out += L'\n';
    for (const auto& [folded, child] : node.children)
      self(self, *child, path + L"\\" + child->name);
  };
  for (const auto& [hive, root] : hives_) dump(dump, *root, std::to_wstring(hive));
  return out;
}

}  // namespace vw
