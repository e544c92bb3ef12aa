#include "operations/change_report.h"

#include "operations/messages.h"

namespace vw {

bool ReportChange(Form& form, const ChangeOutcome& outcome) {
  if (outcome.refusal) {
    const bool owner = outcome.refusal->why == ChangeOutcome::Refusal::Why::kOwner;
    form.MsgBox(owner ? text::OwnerNotRestorableRefused(outcome.refusal->key)
                      : text::UnrestorableKeyRefused(outcome.refusal->key),
                text::kNoticeTitle, mb::kIconInformation);
    return false;
  }
  if (!outcome.error) return true;
  form.ShowError(*outcome.error);
  for (const SystemError& left : outcome.undo_errors) form.ShowError(text::UndoFailed(left));
  return false;
}

}  // namespace vw
