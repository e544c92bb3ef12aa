#pragma once

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "operations/form.h"
#include "tests/support/vector_entry_list.h"

namespace vw::testing {

// The main window as a script: the test sets what the controls hold and queues the answers to
// message boxes; the form records every box it was asked to show.
class ScriptedForm final : public Form {
 public:
  struct Box {
    std::wstring prompt, title;
    unsigned style;
  };

  std::wstring file_name, dir_path = L"C:\\Windows", caption = L"如：“用记事本打开”";
  VectorEntryList entries;
  std::deque<int> answers;  // empty: OK
  std::vector<Box> boxes;
  std::vector<SystemError> errors;
  int registry_changes = 0;
  int programs_read_again = 0;
  std::set<std::wstring> missing_programs;  // full paths; every other program exists
  std::function<void()> on_box;             // called as each box, error boxes too, appears

  std::wstring FileName() override { return file_name; }
  std::wstring DirPath() override { return dir_path; }
  std::wstring CaptionText() override { return caption; }
  EntryList& Entries() override { return entries; }
  bool ProgramExists(std::wstring_view program_path) override {
    return !missing_programs.contains(std::wstring(program_path));
  }
  int MsgBox(std::wstring_view prompt, std::wstring_view title, unsigned style) override {
    if (on_box) on_box();
    boxes.push_back({std::wstring(prompt), std::wstring(title), style});
    if (answers.empty()) return mb::kAnswerOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowError(const SystemError& error) override {
    if (on_box) on_box();
    errors.push_back(error);
  }
  void RegistryChanged() override { ++registry_changes; }
  void ReadProgramsAgain() override { ++programs_read_again; }
};

}  // namespace vw::testing
