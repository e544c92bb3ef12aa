#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "verbs/registry_services.h"

namespace vw {

// A registry held in memory, for tests and benchmarks. It keeps the real registry's rules: key
// names compare without regard to case and keep the case they were created with, subkeys
// enumerate in the order of their upper-cased names, a new hive holds nothing, and paths are
// checked as the Win32 services check them. Any call can be made to fail with a chosen error.
class MemoryRegistry final : public RegistryServices {
 public:
  enum class Call { kEnumKey, kRegRead, kRegWriteValue, kRegDelete };

  MemoryRegistry();
  ~MemoryRegistry() override;

  void EnumKey(std::uint32_t hive, std::wstring_view relative_path,
               std::vector<std::wstring>& names) override;
  KeyState RegRead(std::wstring_view key_path) override;
  void RegWriteValue(std::wstring_view key_path, const std::optional<RegValue>& value) override;
  void RegDelete(std::wstring_view key_path) override;

  // The call made `calls_from_now` calls after this one (0: the next) fails once with `code`.
  void FailCallAfter(std::size_t calls_from_now, std::uint32_t code);
  // Every `call` on `key_path` (compared without case; for kEnumKey the relative path) fails
  // with `code` until ClearFaults.
  void FailAlways(Call call, std::wstring_view key_path, std::uint32_t code);
  void ClearFaults();
  // Calls made so far, failed ones included.
  std::size_t call_count() const { return call_count_; }

  // Every key and default value as text, in enumeration order, for comparing whole states.
  std::wstring Dump() const;

 private:
  struct Node;
  Node* Find(std::uint32_t hive, std::wstring_view subkey) const;
  void CountCall(Call call, std::wstring_view path);

  std::map<std::uint32_t, std::unique_ptr<Node>> hives_;
  std::size_t call_count_ = 0;
  std::optional<std::size_t> fail_at_;
  std::uint32_t fail_at_code_ = 0;
  struct PathFault {
    Call call;
    std::wstring folded_path;
    std::uint32_t code;
  };
  std::vector<PathFault> path_faults_;
};

}  // namespace vw
