#pragma once

#include "verbs/registry_services.h"

namespace vw {

// The registry services on the Win32 registry API and, for keys named by counted names, the
// native calls beneath it.
class Win32Registry final : public RegistryServices {
 public:
  void ListSubkeys(const KeyPath& key, std::vector<std::wstring>& names) override;
  KeyState ReadKey(const KeyPath& key) override;
  std::optional<KeyTree> ReadTree(const KeyPath& key) override;
  void WriteValue(const KeyPath& key, std::wstring_view value_name,
                  const std::optional<RegValue>& value) override;
  void DeleteTree(const KeyPath& key) override;
  void SetSecurity(const KeyPath& key, const std::vector<std::uint8_t>& descriptor) override;
  bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept override;
  bool CanRestoreOwner(const std::vector<std::uint8_t>& descriptor) const noexcept override;
};

}  // namespace vw
