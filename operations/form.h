#pragma once

#include <string>
#include <string_view>

#include "operations/entry_list.h"
#include "platform/system_error.h"

namespace vw {

// Which answer a confirmation offers first, for Enter.
enum class DefaultAnswer { kOk, kCancel };
// What the user is told: why nothing was done, or that it is done.
enum class Telling { kNotice, kDone };

// The main window as the add and remove operations see it, and nothing else (the system around
// it is SystemServices). Every read goes to the controls at
// the moment it is made; nothing is cached.
class Form {
 public:
  virtual ~Form() = default;

  virtual std::wstring FileName() = 0;  // the file chosen in the file list; "" when none
  virtual std::wstring DirPath() = 0;   // the folder the folder list has open
  virtual std::wstring MenuText() = 0;  // the caption box: the menu text typed or suggested
  virtual EntryList& Entries() = 0;     // the entry list
  // Reads the folder's programs again, so that the file list shows what is there now.
  virtual void ReadProgramsAgain() = 0;

  // Asks the user to confirm `text`; true only for an explicit OK: Cancel, or a box that went away
  // unanswered (its window closed), is no.
  virtual bool Confirm(std::wstring_view text, DefaultAnswer default_answer) = 0;
  // Tells the user `text` and waits for OK.
  virtual void Tell(std::wstring_view text, Telling telling) = 0;
  // Reports a failed system call with its number and description.
  virtual void ShowError(const SystemError& error) = 0;
};

}  // namespace vw
