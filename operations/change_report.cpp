#include "operations/change_report.h"

#include "operations/messages.h"

namespace vw {

bool ReportChange(Form& form, const ChangeOutcome& outcome) {
  if (outcome.unrestorable_key) {
    form.MsgBox(text::UnrestorableKeyRefused(*outcome.unrestorable_key), text::kNoticeTitle,
                mb::kIconInformation);
    return false;
  }
  if (!outcome.error) return true;
  form.ShowError(*outcome.error);
  for (const SystemError& left : outcome.undo_errors) form.ShowError(text::UndoFailed(left));
  return false;
}

}  // namespace vw
