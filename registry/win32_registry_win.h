#pragma once

#include "platform/process_token_win.h"
#include "registry/key_calls_win.h"
#include "registry/services.h"

namespace vw {

// The registry services on the Win32 registry API and, for keys named by counted names, the
// native calls beneath it.
class Win32Registry final : public RegistryServices {
 public:
  // Through `calls`: the system's own, or a bench that checks each call.
  explicit Win32Registry(KeyCalls& calls = KeyCalls::System());

  void ForEachSubkey(const KeyPath& key, SubkeySink& sink) override;
  KeyState ReadKey(const KeyPath& key) override;
  std::optional<KeyTree> ReadTree(const KeyPath& key) override;
  void CreateKey(const KeyPath& key, std::wstring_view key_class) override;
  void WriteValue(const KeyPath& key, std::wstring_view value_name,
                  const std::optional<RegValue>& value) override;
  void DeleteTree(const KeyPath& key) override;
  void SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) override;
  bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept override;
  bool CanRestoreSecurity(const std::vector<std::uint8_t>& descriptor) const noexcept override;
  bool CanRestoreAudit() const noexcept override;

 private:
  KeyCalls& calls_;
  // This process's token, opened once: read for the owner, label and privileges a change needs,
  // and the privileges switched on through it.
  ProcessToken token_;
};

}  // namespace vw
