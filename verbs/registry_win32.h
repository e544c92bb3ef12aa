#pragma once

#include "verbs/registry_services.h"

namespace vw {

// The registry services on the Win32 registry API.
class Win32Registry final : public RegistryServices {
 public:
  void EnumKey(std::uint32_t hive, std::wstring_view relative_path,
               std::vector<std::wstring>& names) override;
  KeyState RegRead(std::wstring_view key_path) override;
  void RegWriteValue(std::wstring_view key_path, const std::optional<RegValue>& value) override;
  void RegDelete(std::wstring_view key_path) override;
};

}  // namespace vw
