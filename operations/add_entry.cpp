#include "operations/add_entry.h"

#include "operations/change_report.h"
#include "operations/read_entry.h"
#include "registry/change.h"
#include "registry/key_path.h"
#include "verbs/shell_verb_layout.h"
#include "words/texts.h"
#include "words/visible_names.h"

namespace vw {
namespace {

// Why `name` cannot be an entry's key; nullopt when it can.
std::optional<std::wstring> NameRefusal(std::wstring_view name, const RegistryServices& registry) {
  switch (CheckEntryName(name, registry)) {
    case NameProblem::kReserved:
      return text::ReservedNameRefused(name);
    case NameProblem::kEmpty:
      return std::wstring(text::kEmptyNameRefused);
    case NameProblem::kTooLong:
      return std::wstring(text::kLongNameRefused);
    case NameProblem::kNone:
      break;
  }
  return std::nullopt;
}

// Why the program cannot become an entry that runs; nullopt when it can.
std::optional<std::wstring> ProgramRefusal(SystemServices& system,
                                           const std::wstring& program_path) {
  if (BreaksCommandLine(program_path)) return text::PercentInPathRefused(program_path);
  if (Utf16Length(program_path) > kMaxProgramPathLength) return text::LongPathRefused(program_path);
  if (!system.ProgramExists(program_path)) return text::MissingProgramRefused(program_path);
  return std::nullopt;
}

// Refuses a program that cannot become an entry that runs, and returns whether it did. One that
// has gone is no longer listed afterwards.
bool RefuseProgram(Form& form, SystemServices& system, const std::wstring& program_path) {
  const auto refusal = ProgramRefusal(system, program_path);
  if (!refusal) return false;
  form.Tell(*refusal, Telling::kNotice);
  if (!system.ProgramExists(program_path)) form.ReadProgramsAgain();
  return true;
}

// The index of the item that is the key `name`; -1 when none.
int ListedAt(const EntryList& entries, std::wstring_view name, const RegistryServices& registry) {
  for (int index = 0; index < entries.Count(); ++index) {
    if (registry.SameKeyName(entries.Item(index), name)) return index;
  }
  return -1;
}

// Removes from an existing key what is not `keep`: its named values and its subkeys.
void ClearKey(RegistryServices& registry, const KeyPath& key, const KeyTree& tree,
              std::wstring_view keep) {
  for (const KeyTree& subkey : tree.subkeys) {
    if (keep.empty() || !registry.SameKeyName(subkey.name, keep)) {
      registry.DeleteTree(key.Child(subkey.name));
    }
  }
  for (const NamedValue& value : tree.values) {
    if (!value.name.empty()) registry.WriteValue(key, value.name, std::nullopt);
  }
}

// Writes the entry into one store. What another program left on an existing entry (MUIVerb,
// LegacyDisable, Extended, a DelegateExecute under command, ...) would override the caption or
// the command, so it goes; the verb key and its command key themselves stay, with their security:
// a command key that refuses writes refuses the add.
void WriteEntry(RegistryServices& registry, ClassesStore store, std::wstring_view name,
                const std::optional<KeyTree>& before, std::wstring_view caption,
                std::wstring_view command) {
  const KeyPath verb = VerbKeyPath(store, name);
  const KeyPath command_key = CommandKeyPath(store, name);
  if (before) {
    ClearKey(registry, verb, *before, command_key.names.back());
    for (const KeyTree& subkey : before->subkeys) {
      if (registry.SameKeyName(subkey.name, command_key.names.back())) {
        ClearKey(registry, command_key, subkey, L"");
      }
    }
  }
  registry.WriteDefault(verb, caption);
  registry.WriteDefault(command_key, command);
}

}  // namespace

void AddEntry(Form& form, SystemServices& system, RegistryServices& registry) {
  const std::wstring file_name = form.FileName();
  if (file_name.empty()) {
    form.Tell(text::kNoFileChosen, Telling::kNotice);
    return;
  }
  const std::wstring name = EntryName(file_name);
  if (const auto refusal = NameRefusal(name, registry)) {
    form.Tell(*refusal, Telling::kNotice);
    return;
  }
  const std::wstring program_path = ProgramPath(form.DirPath(), file_name);
  if (RefuseProgram(form, system, program_path)) return;
  const std::wstring caption = form.MenuText();
  const std::wstring command = CommandLine(program_path);
  // Only an explicit OK goes on: a box closed with its window answers neither.
  if (!form.Confirm(text::ConfirmAddText(text::VisibleName(name), {caption, command},
                                         ReadEntry(registry, name)),
                    DefaultAnswer::kOk)) {
    return;
  }
  // The program may have gone while the box was open.
  if (RefuseProgram(form, system, program_path)) return;

  // For every user; and into this user's copy where one exists, which would otherwise hide it.
  RegistryChange change(registry);
  const ChangeOutcome outcome =
      change.Run(EntryKeys(name), [&](const RegistryChange::Snapshot& before) {
        for (const ClassesStoreRow& row : kClassesStores) {
          const std::optional<KeyTree>& recorded = RecordOf(before, row.store);
          if (row.added_to_always || recorded)
            WriteEntry(registry, row.store, name, recorded, caption, command);
        }
      });
  if (!ReportChange(form, outcome)) return;
  system.RegistryChanged();

  EntryList& entries = form.Entries();
  if (const int listed = ListedAt(entries, name, registry); listed >= 0) {
    entries.Select(listed);  // an existing entry was updated in place
    return;
  }
  entries.Append(name);
  entries.Select(entries.Count() - 1);
  form.Tell(text::kAdded, Telling::kDone);
}

}  // namespace vw
