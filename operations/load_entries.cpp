#include "operations/load_entries.h"

#include <string>
#include <vector>

#include "verbs/shell_verb_layout.h"

namespace vw {

void LoadEntries(RegistryServices& registry, EntryList& entries) {
  std::vector<std::wstring> names;
  std::optional<SystemError> failure;  // thrown once what was read before it is listed
  try {
    registry.ListSubkeys(VerbRoot(), names);
  } catch (const SystemError& error) {
    failure = error;
  }
  {
    // The fill ends, and the list draws again, even when an append throws.
    struct Fill {
      EntryList& entries;
      explicit Fill(EntryList& list, std::size_t expected) : entries(list) {
        entries.BeginFill(expected);
      }
      ~Fill() {
        try {
          entries.EndFill();
        } catch (...) {  // NOLINT(bugprone-empty-catch): only a list's sideways extent is lost
        }
      }
      Fill(const Fill&) = delete;
      Fill& operator=(const Fill&) = delete;
    } fill(entries, names.size());
    for (const std::wstring& name : names) {
      if (!IsReservedVerb(name)) entries.Append(name);
    }
  }
  if (failure) throw *failure;
}

}  // namespace vw
