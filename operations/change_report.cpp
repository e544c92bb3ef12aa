#include "operations/change_report.h"

#include "words/texts.h"
#include "words/visible_names.h"

namespace vw {
namespace {

// A key the undo left changed, as its error box says it: what was found, and the keys below.
SystemError Reported(const LeftChanged& left) {
  SystemError error = text::UndoFailed(left.error);
  std::wstring detail = left.error.detail();
  const auto add = [&detail](std::wstring_view part) {
    if (!detail.empty()) detail += L"\n\n";
    detail += part;
  };
  switch (left.found) {
    case LeftChanged::Found::kFailed:
      break;
    case LeftChanged::Found::kUnreadable:
      add(text::kUnreadableAfterChange);
      break;
    case LeftChanged::Found::kLinkLeftAlone:
      add(text::kLinkLeftAlone);
      break;
    case LeftChanged::Found::kReadsOtherwise:
      add(text::kReadBackDiffers);
      break;
  }
  if (!left.keys_below.empty()) {
    std::wstring keys(text::kKeysLeftChanged);
    for (const std::wstring& key : left.keys_below) keys += L"\n" + text::VisibleKeyPath(key);
    add(keys);
  }
  error.WithDetail(std::move(detail));
  return error;
}

}  // namespace

bool ReportChange(Form& form, const ChangeOutcome& outcome) {
  if (outcome.refusal) {
    using Why = ChangeOutcome::Refusal::Why;
    const std::wstring& key = outcome.refusal->key;
    switch (outcome.refusal->why) {
      case Why::kNotRecreatable:
        form.Tell(text::UnrestorableKeyRefused(key), Telling::kNotice);
        break;
      case Why::kSecurity:
        form.Tell(text::OwnerNotRestorableRefused(key), Telling::kNotice);
        break;
      case Why::kAudit:
        form.Tell(text::AuditNotRestorableRefused(key), Telling::kNotice);
        break;
      case Why::kLinkOnTheWay:
        form.Tell(text::LinkOnTheWayRefused(key), Telling::kNotice);
        break;
      case Why::kUnknownUser:
        form.Tell(std::wstring(text::kUnknownDesktopUserRefused), Telling::kNotice);
        break;
    }
    // A link met by a step: what came before it was put back, or is reported here.
    for (const LeftChanged& left : outcome.undo_errors) form.ShowError(Reported(left));
    return false;
  }
  if (!outcome.error) return true;
  if (outcome.undo_errors.empty()) {
    // Everything that took effect was put back: the user should know that.
    SystemError error = *outcome.error;
    error.WithDetail(error.detail().empty()
                         ? std::wstring(text::kNothingChanged)
                         : error.detail() + L"\n\n" + std::wstring(text::kNothingChanged));
    form.ShowError(error);
    return false;
  }
  form.ShowError(*outcome.error);
  for (const LeftChanged& left : outcome.undo_errors) form.ShowError(Reported(left));
  return false;
}

}  // namespace vw
