#pragma once

#include <string>
#include <string_view>

#include "operations/entry_list.h"
#include "platform/system_error.h"

namespace vw {

// Message-box styles and answers, numbered as Windows numbers them.
namespace mb {
inline constexpr unsigned kOk = 0;
inline constexpr unsigned kOkCancel = 1;
inline constexpr unsigned kIconQuestion = 32;
inline constexpr unsigned kIconInformation = 64;
inline constexpr unsigned kDefaultButton2 = 256;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
}  // namespace mb

// The main window as the add and remove operations see it. Every read goes to the controls at
// the moment it is made; nothing is cached.
class Form {
 public:
  virtual ~Form() = default;

  virtual std::wstring FileName() = 0;     // the file chosen in the file list; "" when none
  virtual std::wstring DirPath() = 0;      // the folder the folder list has open
  virtual std::wstring CaptionText() = 0;  // the caption box
  virtual EntryList& Entries() = 0;        // the entry list
  // Whether a program is at this full path now.
  virtual bool ProgramExists(std::wstring_view program_path) = 0;
  // Reads the folder's programs again, so that the file list shows what is there now.
  virtual void ReadProgramsAgain() = 0;

  // A modal message box owned by the window; returns the button pressed (mb::kAnswer...), or
  // neither OK nor Cancel when the box went away unanswered, as when the window is closed.
  virtual int MsgBox(std::wstring_view prompt, std::wstring_view title, unsigned style) = 0;
  // Reports a failed system call with its number and description.
  virtual void ShowError(const SystemError& error) = 0;
  // Tells the shell that the verbs of executables changed.
  virtual void RegistryChanged() = 0;
};

}  // namespace vw
