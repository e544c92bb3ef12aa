#include "operations/remove_entry.h"

#include "operations/messages.h"
#include "verbs/registry_undo.h"
#include "verbs/shell_verb_layout.h"

namespace vw {

void RemoveEntry(Form& form, RegistryServices& registry) {
  EntryList& entries = form.Entries();
  if (entries.SelectedIndex() == -1) return;
  if (const std::wstring name = entries.Item(entries.SelectedIndex());
      CheckEntryName(name, registry) == NameProblem::kReserved) {
    form.MsgBox(text::SystemVerbNotRemoved(name), text::kNoticeTitle, mb::kIconInformation);
    return;
  }
  if (form.MsgBox(text::kConfirmRemove, text::kConfirmTitle,
                  mb::kIconInformation | mb::kOkCancel | mb::kDefaultButton2) ==
      mb::kAnswerCancel) {
    return;
  }

  // Gone from the merged view only when gone from both hives. Each copy is read whole first, so
  // that whatever a failed delete took can be put back.
  const std::wstring name = entries.Item(entries.SelectedIndex());
  RegistryChange change(registry);
  struct Copy {
    ClassesHive hive;
    bool exists;
  };
  Copy copies[] = {{ClassesHive::kUser, false}, {ClassesHive::kMachine, false}};
  try {
    for (Copy& copy : copies) copy.exists = change.Record(VerbKeyPath(copy.hive, name));
  } catch (const SystemError& error) {
    form.ShowError(error);
    return;
  }
  bool deleted = false;
  try {
    for (const Copy& copy : copies) {
      if (!copy.exists) continue;
      registry.RegDelete(VerbKeyPath(copy.hive, name));
      deleted = true;
    }
  } catch (const SystemError& error) {
    form.ShowError(error);
    for (const SystemError& left : change.Undo()) form.ShowError(text::UndoFailed(left));
    return;
  }
  if (deleted) form.RegistryChanged();
  entries.RemoveAt(entries.SelectedIndex());
}

}  // namespace vw
