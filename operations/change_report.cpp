#include "operations/change_report.h"

#include "platform/texts.h"
#include "verbs/shell_verb_layout.h"

namespace vw {

void ShowRefusal(Form& form, const Refusal& refusal) {
  form.MsgBox(refusal.text, text::kNoticeTitle, mb::kIconInformation);
}

bool ReportChange(Form& form, const ChangeOutcome& outcome) {
  if (outcome.refusal) {
    using Why = ChangeOutcome::Refusal::Why;
    const std::wstring& key = outcome.refusal->key;
    switch (outcome.refusal->why) {
      case Why::kNotRecreatable:
        ShowRefusal(form, {text::UnrestorableKeyRefused(key)});
        break;
      case Why::kSecurity:
        ShowRefusal(form, {text::OwnerNotRestorableRefused(key)});
        break;
      case Why::kLinkOnTheWay:
        ShowRefusal(form, {text::LinkOnTheWayRefused(key)});
        break;
      case Why::kUnknownUser:
        ShowRefusal(form, {std::wstring(text::kUnknownDesktopUserRefused)});
        break;
    }
    // A link met by a step: what came before it was put back, or is reported here.
    for (const SystemError& left : outcome.undo_errors) form.ShowError(text::UndoFailed(left));
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
  for (const SystemError& left : outcome.undo_errors) form.ShowError(text::UndoFailed(left));
  return false;
}

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
