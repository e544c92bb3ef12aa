#include "operations/remove_entry.h"

#include "operations/messages.h"
#include "verbs/shell_verb_layout.h"

namespace vw {

void RemoveEntry(Form& form, RegistryServices& registry) {
  EntryList& entries = form.Entries();
  if (entries.SelectedIndex() == -1) return;
  if (const std::wstring name = entries.Item(entries.SelectedIndex());
      CheckEntryName(name) == NameProblem::kReserved) {
    form.MsgBox(text::SystemVerbNotRemoved(name), text::kNoticeTitle, mb::kIconInformation);
    return;
  }
  if (form.MsgBox(text::kConfirmRemove, text::kConfirmTitle,
                  mb::kIconInformation | mb::kOkCancel | mb::kDefaultButton2) ==
      mb::kAnswerCancel) {
    return;
  }

  const std::wstring name = entries.Item(entries.SelectedIndex());
  const std::wstring command_key = CommandKeyPath(name);
  KeyState command_before;
  try {
    command_before = registry.RegRead(command_key);
    registry.RegDelete(command_key);
  } catch (const SystemError& error) {
    form.ShowError(error);
    return;
  }
  try {
    registry.RegDelete(VerbKeyPath(name));
  } catch (const SystemError& error) {
    form.ShowError(error);
    try {
      registry.Restore(command_key, command_before);
    } catch (const SystemError& undo_error) {
      form.ShowError(text::UndoFailed(undo_error));
    }
    return;
  }
  form.RegistryChanged();
  entries.RemoveAt(entries.SelectedIndex());
}

}  // namespace vw
