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
// Keys are named by full paths ending in '\'. Nothing here talks to the registry.

#include <cstdint>
#include <string>
#include <string_view>

#include "verbs/registry_path.h"
#include "verbs/registry_services.h"

namespace vw {

inline constexpr std::uint32_t kVerbRootHive = kHiveClassesRoot;
inline constexpr std::wstring_view kVerbRootRelative = L"exefile\\shell";

// The two places an entry's keys are kept.
enum class ClassesHive { kMachine, kUser };

// The file name less its last four characters (the ".exe" the file list guarantees).
std::wstring EntryName(std::wstring_view file_name);

// Folder + "\" + file, or folder + file when the folder is a drive root such as "C:\" (three
// characters or fewer).
std::wstring ProgramPath(std::wstring_view folder, std::wstring_view file_name);

// "<program path>" "%1": both quoted, so that neither a space in the program's path nor one in
// the right-clicked file's path splits the command.
std::wstring CommandLine(std::wstring_view program_path);

// Explorer replaces %1, %L, %* and more anywhere in a command, with no escape: a program path
// holding '%' cannot be written into one.
bool BreaksCommandLine(std::wstring_view program_path) noexcept;

// The entry's keys in the merged view (as Explorer reads them) and in one hive.
std::wstring VerbKeyPath(std::wstring_view entry_name);
std::wstring CommandKeyPath(std::wstring_view entry_name);
std::wstring VerbKeyPath(ClassesHive hive, std::wstring_view entry_name);
std::wstring CommandKeyPath(ClassesHive hive, std::wstring_view entry_name);

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

// The rule for names we write or delete: compared as the registry compares key names.
NameProblem CheckEntryName(std::wstring_view entry_name, const RegistryServices& registry) noexcept;

}  // namespace vw
