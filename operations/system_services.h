#pragma once

#include <string_view>

namespace vw {

// What the add and remove operations ask of the system around them, beside the window: whether a
// program is there, and telling the shell that the verbs of executables changed.
class SystemServices {
 public:
  virtual ~SystemServices() = default;

  // Whether a program is at this full path now.
  virtual bool ProgramExists(std::wstring_view program_path) = 0;
  // Tells the shell that the verbs of executables changed, so that Explorer reads them again.
  virtual void RegistryChanged() = 0;
};

}  // namespace vw
