#include "operations/add_entry.h"

#include "operations/messages.h"
#include "verbs/registry_undo.h"
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

bool IsListed(const EntryList& entries, std::wstring_view name, const RegistryServices& registry) {
  for (int index = 0; index < entries.Count(); ++index) {
    if (registry.SameKeyName(entries.Item(index), name)) return true;
  }
  return false;
}

void WriteEntry(RegistryServices& registry, ClassesHive hive, std::wstring_view name,
                std::wstring_view caption, std::wstring_view command) {
  registry.RegWrite(VerbKeyPath(hive, name), caption);
  registry.RegWrite(CommandKeyPath(hive, name), command);
}

}  // namespace

void AddEntry(Form& form, RegistryServices& registry) {
  const std::wstring file_name = form.FileName();
  if (file_name.empty()) {
    form.MsgBox(text::kNoFileChosen, text::kNoticeTitle, mb::kIconInformation);
    return;
  }
  const std::wstring name = EntryName(file_name);
  if (const NameProblem problem = CheckEntryName(name, registry); problem != NameProblem::kNone) {
    form.MsgBox(RefusalText(problem, name), text::kNoticeTitle, mb::kIconInformation);
    return;
  }
  const std::wstring program_path = ProgramPath(form.DirPath(), file_name);
  if (BreaksCommandLine(program_path)) {
    form.MsgBox(text::PercentInPathRefused(program_path), text::kNoticeTitle, mb::kIconInformation);
    return;
  }
  if (form.MsgBox(text::kConfirmAdd, text::kConfirmTitle, mb::kIconQuestion | mb::kOkCancel) ==
      mb::kAnswerCancel) {
    return;
  }

  // For every user; and into this user's copy where one exists, which would otherwise hide it.
  RegistryChange change(registry);
  bool user_copy = false;
  try {
    change.Record(VerbKeyPath(ClassesHive::kMachine, name));
    user_copy = change.Record(VerbKeyPath(ClassesHive::kUser, name));
  } catch (const SystemError& error) {
    form.ShowError(error);
    return;
  }
  try {
    const std::wstring caption = form.CaptionText();
    const std::wstring command = CommandLine(program_path);
    WriteEntry(registry, ClassesHive::kMachine, name, caption, command);
    if (user_copy) WriteEntry(registry, ClassesHive::kUser, name, caption, command);
  } catch (const SystemError& error) {
    form.ShowError(error);
    for (const SystemError& left : change.Undo()) form.ShowError(text::UndoFailed(left));
    return;
  }
  form.RegistryChanged();

  EntryList& entries = form.Entries();
  if (IsListed(entries, name, registry)) return;  // an existing entry was updated in place
  entries.Append(name);
  form.MsgBox(text::kAdded, text::kDoneTitle, mb::kIconInformation);
}

}  // namespace vw
