#include "operations/add_entry.h"

#include "operations/messages.h"
#include "verbs/case_fold.h"
#include "verbs/shell_verb_layout.h"

namespace vw {
namespace {

std::wstring RefusalText(NameProblem problem, std::wstring_view name) {
  switch (problem) {
    case NameProblem::kReserved:
      return text::ReservedNameRefused(name);
    case NameProblem::kEmpty:
      return std::wstring(text::kEmptyNameRefused);
    case NameProblem::kTooLong:
      return std::wstring(text::kLongNameRefused);
    case NameProblem::kNone:
      break;
  }
  return {};
}

bool IsListed(const EntryList& entries, std::wstring_view name) {
  for (int index = 0; index < entries.Count(); ++index) {
    if (EqualsIgnoreCase(entries.Item(index), name)) return true;
  }
  return false;
}

// The two keys of an entry as they were before the add, and how to put them back.
struct EntryBefore {
  std::wstring verb_key;
  std::wstring command_key;
  KeyState verb;
  KeyState command;

  void Restore(RegistryServices& registry) const {
    if (!verb.exists) {
      registry.RegDelete(verb_key);  // takes a command subkey made since with it
      return;
    }
    registry.Restore(command_key, command);
    registry.Restore(verb_key, verb);
  }
};

}  // namespace

void AddEntry(Form& form, RegistryServices& registry) {
  const std::wstring file_name = form.FileName();
  if (file_name.empty()) {
    form.MsgBox(text::kNoFileChosen, text::kNoticeTitle, mb::kIconInformation);
    return;
  }
  const std::wstring name = EntryName(file_name);
  if (const NameProblem problem = CheckEntryName(name); problem != NameProblem::kNone) {
    form.MsgBox(RefusalText(problem, name), text::kNoticeTitle, mb::kIconInformation);
    return;
  }
  if (form.MsgBox(text::kConfirmAdd, text::kConfirmTitle, mb::kIconQuestion | mb::kOkCancel) ==
      mb::kAnswerCancel) {
    return;
  }

  const std::wstring program_path = ProgramPath(form.DirPath(), file_name);
  EntryBefore before{VerbKeyPath(name), CommandKeyPath(name), {}, {}};
  try {
    before.verb = registry.RegRead(before.verb_key);
    before.command = registry.RegRead(before.command_key);
  } catch (const SystemError& error) {
    form.ShowError(error);
    return;
  }
  try {
    registry.RegWrite(before.verb_key, form.CaptionText());
    registry.RegWrite(before.command_key, CommandLine(program_path));
  } catch (const SystemError& error) {
    form.ShowError(error);
    try {
      before.Restore(registry);
    } catch (const SystemError& undo_error) {
      form.ShowError(text::UndoFailed(undo_error));
    }
    return;
  }
  form.RegistryChanged();

  EntryList& entries = form.Entries();
  if (IsListed(entries, name)) return;  // an existing entry was updated in place
  entries.Append(name);
  form.MsgBox(text::kAdded, text::kDoneTitle, mb::kIconInformation);
}

}  // namespace vw
