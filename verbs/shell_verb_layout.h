#pragma once

// Where the right-click entries of executables live, and how an entry's parts are formed.
//
//   HKEY_CLASSES_ROOT\exefile\shell            the verb root as Explorer sees it: the merged view
//                                              of the machine's and this user's classes
//     open, runas, runasuser                   the system's verbs, never written or deleted
//     <entry name>       (default) = caption   the text the menu shows
//       command          (default) = "<program path>" "%1"
//
//   HKEY_LOCAL_MACHINE\Software\Classes\exefile\shell\<entry name>   an entry for every user
//   HKEY_CURRENT_USER\Software\Classes\exefile\shell\<entry name>    this user's copy, which
//                                              hides the machine's from this user where it exists
//
// The list is read from the view; entries are written and deleted in the two hives themselves.
// Nothing here talks to the registry.

#include <cstdint>
#include <string>
#include <string_view>

#include "registry/key_path.h"
#include "registry/services.h"

namespace vw {

// The two places an entry's keys are kept.
enum class ClassesHive { kMachine, kUser };

// The file name less its last four characters (the ".exe" the file list guarantees).
std::wstring EntryName(std::wstring_view file_name);

// Folder and file joined by exactly one backslash, whatever the folder's form ("C:\",
// "C:\Windows", "\\server\share\").
std::wstring ProgramPath(std::wstring_view folder, std::wstring_view file_name);

// The longest full path of a program Windows will start (MAX_PATH less its terminating null).
inline constexpr std::size_t kMaxProgramPathLength = 259;

// "<program path>" "%1": both quoted, so that neither a space in the program's path nor one in
// the right-clicked file's path splits the command.
std::wstring CommandLine(std::wstring_view program_path);

// Explorer replaces %1, %L, %* and more anywhere in a command, with no escape: a program path
// holding '%' cannot be written into one.
bool BreaksCommandLine(std::wstring_view program_path) noexcept;

// The verb root in the merged view, as Explorer reads it.
KeyPath VerbRoot();
// The entry's keys in the merged view and in one hive.
KeyPath VerbKeyPath(std::wstring_view entry_name);
KeyPath CommandKeyPath(std::wstring_view entry_name);
KeyPath VerbKeyPath(ClassesHive hive, std::wstring_view entry_name);
KeyPath CommandKeyPath(ClassesHive hive, std::wstring_view entry_name);

// Text with leading and trailing spaces (U+0020 only) removed.
std::wstring_view TrimSpaces(std::wstring_view text) noexcept;

// The listing rule: a subkey whose trimmed name is exactly "open" or "runas" is a system verb.
bool IsReservedVerb(std::wstring_view subkey_name) noexcept;

enum class NameProblem {
  kNone,
  kEmpty,     // would name the verb root itself
  kReserved,  // would be the same key as the system's open, runas or runasuser verb
  kTooLong,   // longer than a registry key name may be
};

// The rule for names we write: compared as the registry compares key names, after trimming, since
// a name that trims to a system verb would be hidden from the list at the next start.
NameProblem CheckEntryName(std::wstring_view entry_name, const RegistryServices& registry) noexcept;

// Whether the key named `subkey_name` is itself one of the system's verbs, compared as the registry
// compares key names and not trimmed, as the registry does not trim: the rule for deleting.
bool IsSystemVerbKey(std::wstring_view subkey_name, const RegistryServices& registry) noexcept;

}  // namespace vw
