#include "operations/load_entries.h"

#include <string>
#include <vector>

#include "verbs/shell_verb_layout.h"

namespace vw {

std::optional<SystemError> LoadEntries(RegistryServices& registry, EntryList& entries) {
  std::vector<std::wstring> names;
  std::optional<SystemError> failure;
  try {
    registry.ListSubkeys(VerbRoot(), names);
  } catch (const SystemError& error) {
    failure = error;
  }
  entries.BeginFill(names.size());
  for (const std::wstring& name : names) {
    if (!IsReservedVerb(name)) entries.Append(name);
  }
  entries.EndFill();
  return failure;
}

}  // namespace vw
