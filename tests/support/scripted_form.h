#pragma once

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "operations/form.h"
#include "operations/system_services.h"
#include "tests/support/vector_entry_list.h"

namespace vw::testing {

// The main window as a script: the test sets what the controls hold and queues the answers to
// message boxes; the form records every box it was asked to show.
class ScriptedForm final : public Form, public SystemServices {
 public:
  struct Box {
    enum class Kind { kConfirm, kNotice, kDone } kind;
    std::wstring prompt;
    DefaultAnswer default_answer = DefaultAnswer::kOk;  // of a confirmation
  };

  std::wstring file_name, dir_path = L"C:\\Windows", caption = L"如：“用记事本打开”";
  VectorEntryList entries;
  std::deque<bool> answers;  // to confirmations, true for OK; empty: OK
  std::vector<Box> boxes;
  std::vector<SystemError> errors;
  int registry_changes = 0;
  int programs_read_again = 0;
  std::set<std::wstring> missing_programs;  // full paths; every other program exists
  std::function<void()> on_box;             // called as each box, error boxes too, appears

  std::wstring FileName() override { return file_name; }
  std::wstring DirPath() override { return dir_path; }
  std::wstring MenuText() override { return caption; }
  EntryList& Entries() override { return entries; }
  bool ProgramExists(std::wstring_view program_path) override {
    return !missing_programs.contains(std::wstring(program_path));
  }
  bool Confirm(std::wstring_view text, DefaultAnswer default_answer) override {
    if (on_box) on_box();
    boxes.push_back({Box::Kind::kConfirm, std::wstring(text), default_answer});
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void Tell(std::wstring_view text, Telling telling) override {
    if (on_box) on_box();
    boxes.push_back(
        {telling == Telling::kDone ? Box::Kind::kDone : Box::Kind::kNotice, std::wstring(text)});
  }
  void ShowError(const SystemError& error) override {
    if (on_box) on_box();
    errors.push_back(error);
  }
  void RegistryChanged() override { ++registry_changes; }
  void ReadProgramsAgain() override { ++programs_read_again; }
};

}  // namespace vw::testing
