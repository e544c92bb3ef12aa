#include "operations/read_entry.h"

#include "verbs/shell_verb_layout.h"

namespace vw {

std::optional<text::EntryPreview> ReadEntry(RegistryServices& registry, std::wstring_view name) {
  try {
    const KeyState verb = registry.ReadKey(VerbKeyPath(name));
    if (!verb.exists) return std::nullopt;
    const KeyState command = registry.ReadKey(CommandKeyPath(name));
    const auto text = [](const KeyState& state) {
      return state.value ? TextOf(*state.value).value_or(L"") : std::wstring();
    };
    return text::EntryPreview{text(verb), text(command)};
  } catch (const SystemError&) {
    return std::nullopt;
  }
}

}  // namespace vw
