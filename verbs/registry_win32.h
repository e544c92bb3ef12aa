#pragma once

#include "verbs/registry_services.h"

namespace vw {

// The registry services on the Win32 registry API.
class Win32Registry final : public RegistryServices {
 public:
  void EnumKey(std::uint32_t hive, std::wstring_view relative_path,
               std::vector<std::wstring>& names) override;
  KeyState RegRead(std::wstring_view key_path) override;
  std::optional<KeyTree> ReadTree(std::wstring_view key_path) override;
  void WriteValue(std::wstring_view key_path, std::wstring_view value_name,
                  const std::optional<RegValue>& value) override;
  void RegDelete(std::wstring_view key_path) override;
  void SetSecurity(std::wstring_view key_path,
                   const std::vector<std::uint8_t>& descriptor) override;
  bool SameKeyName(std::wstring_view a, std::wstring_view b) const noexcept override;
};

}  // namespace vw
