#pragma once

#include "operations/system_services.h"

namespace vw {

// The system's answers: the file system for a program, the shell's change notification.
class Win32SystemServices final : public SystemServices {
 public:
  bool ProgramExists(std::wstring_view program_path) override;
  void RegistryChanged() override;
};

}  // namespace vw
