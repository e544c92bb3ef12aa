#include "operations/remove_entry.h"

#include "operations/change_report.h"
#include "operations/messages.h"
#include "verbs/registry_undo.h"
#include "verbs/shell_verb_layout.h"

namespace vw {

void RemoveEntry(Form& form, RegistryServices& registry) {
  EntryList& entries = form.Entries();
  if (entries.SelectedIndex() == -1) return;
  if (const std::wstring name = entries.Item(entries.SelectedIndex());
      IsSystemVerbKey(name, registry)) {
    form.MsgBox(text::SystemVerbNotRemoved(name), text::kNoticeTitle, mb::kIconInformation);
    return;
  }
  // Only an explicit OK goes on: a box closed with its window answers neither.
  if (form.MsgBox(text::kConfirmRemove, text::kConfirmTitle,
                  mb::kIconInformation | mb::kOkCancel | mb::kDefaultButton2) != mb::kAnswerOk) {
    return;
  }

  // Gone from the merged view only when gone from both hives.
  const std::wstring name = entries.Item(entries.SelectedIndex());
  constexpr ClassesHive kHives[] = {ClassesHive::kUser, ClassesHive::kMachine};
  bool deleted = false;
  RegistryChange change(registry);
  const ChangeOutcome outcome =
      change.Run({VerbKeyPath(kHives[0], name), VerbKeyPath(kHives[1], name)},
                 [&](const RegistryChange::Snapshot& before) {
                   for (std::size_t index = 0; index < std::size(kHives); ++index) {
                     if (!before[index]) continue;
                     registry.RegDelete(VerbKeyPath(kHives[index], name));
                     deleted = true;
                   }
                 });
  if (!ReportChange(form, outcome)) return;
  if (deleted) form.RegistryChanged();
  entries.RemoveAt(entries.SelectedIndex());
}

}  // namespace vw
