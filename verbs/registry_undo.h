#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_error.h"
#include "verbs/registry_services.h"

namespace vw {

// Makes the key at key_path hold exactly `before` again, or be absent when `before` is empty,
// touching only what differs from it now. A key it cannot put back does not stop the others;
// each is returned as an error whose subject is that key.
std::vector<SystemError> RestoreTree(RegistryServices& registry, std::wstring_view key_path,
                                     const std::optional<KeyTree>& before);

// A change to the registry in several steps that is undone as a whole: before each step, the
// keys it may touch are recorded whole; Undo puts back each recorded key, newest first, each on
// its own. A key the failed step never changed compares equal and is left alone, so undoing
// after a step that changed nothing reports nothing.
class RegistryChange {
 public:
  explicit RegistryChange(RegistryServices& registry) : registry_(registry) {}

  // Records the key's whole present state and says whether the key exists; throws SystemError
  // when it cannot be read.
  bool Record(std::wstring key_path);
  // Puts back what was recorded; the errors name the keys left changed.
  std::vector<SystemError> Undo();

 private:
  struct Recorded {
    std::wstring key_path;
    std::optional<KeyTree> before;
  };
  RegistryServices& registry_;
  std::vector<Recorded> recorded_;
};

}  // namespace vw
