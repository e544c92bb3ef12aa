#include "operations/remove_entry.h"

#include <iterator>

#include "operations/change_report.h"
#include "operations/read_entry.h"
#include "registry/change.h"
#include "registry/key_path.h"
#include "verbs/shell_verb_layout.h"
#include "words/texts.h"
#include "words/visible_names.h"

namespace vw {

void RemoveEntry(Form& form, SystemServices& system, RegistryServices& registry) {
  EntryList& entries = form.Entries();
  if (entries.SelectedIndex() == -1) return;
  const std::wstring asked = entries.Item(entries.SelectedIndex());
  if (IsSystemVerbKey(asked, registry)) {
    form.Tell(text::SystemVerbNotRemoved(asked), Telling::kNotice);
    return;
  }
  // Only an explicit OK goes on: a box closed with its window answers neither.
  if (!form.Confirm(text::ConfirmRemoveText(text::VisibleName(asked), ReadEntry(registry, asked)),
                    DefaultAnswer::kCancel)) {
    return;
  }
  // The selection is read again: only the entry the user confirmed goes.
  const int selected = entries.SelectedIndex();
  if (selected < 0 || entries.Item(selected) != asked) return;

  // Gone from the merged view only when gone from every store: the copies that hide others first.
  const std::wstring& name = asked;
  bool deleted = false;
  RegistryChange change(registry);
  const ChangeOutcome outcome =
      change.Run(EntryKeys(name), [&](const RegistryChange::Snapshot& before) {
        for (auto row = std::rbegin(kClassesStores); row != std::rend(kClassesStores); ++row) {
          if (!RecordOf(before, row->store)) continue;
          registry.DeleteTree(VerbKeyPath(row->store, name));
          deleted = true;
        }
      });
  if (!ReportChange(form, outcome)) return;
  if (deleted) system.RegistryChanged();
  entries.RemoveAt(selected);
}

}  // namespace vw
