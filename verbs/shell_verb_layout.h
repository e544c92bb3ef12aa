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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/key_path.h"
#include "registry/services.h"

namespace vw {

// --- The domain's tables: a third store, or another verb of Windows', is a row here. ---------

// The stores of classes an entry's keys are kept in ("hive" is always a predefined root).
enum class ClassesStore { kMachine, kUser };
struct ClassesStoreRow {
  ClassesStore store;
  std::uint32_t hive;      // the predefined root its classes are under, at Software\Classes
  std::wstring_view name;  // what the code and the tests call it
  bool added_to_always;    // an add writes it even where it holds no copy of the entry yet
};
inline constexpr ClassesStoreRow kClassesStores[] = {
    // An entry for every user.
    {ClassesStore::kMachine, kHiveLocalMachine, L"machine", true},
    // This user's copy, which hides the machine's where it exists: kept in step only there.
    {ClassesStore::kUser, kHiveCurrentUser, L"user", false},
};

// Windows' own verbs of executables: whether the list hides one (its name trimmed of spaces and
// compared exactly, as the list has always shown them) and whether a change to one is refused
// (compared as the registry compares key names, untrimmed for a delete, trimmed for a name we
// would write).
struct WindowsVerbRow {
  std::wstring_view name;
  bool hidden_from_list;
  bool protected_from_change;
};
inline constexpr WindowsVerbRow kWindowsVerbs[] = {
    {L"open", true, true},
    {L"runas", true, true},
    // Windows 7 to 11 ship it too ("Run as different user"); Wine's prefix lacks it. Listed.
    {L"runasuser", false, true},
};

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
// The entry's keys in the merged view and in one store.
KeyPath VerbKeyPath(std::wstring_view entry_name);
KeyPath CommandKeyPath(std::wstring_view entry_name);
KeyPath VerbKeyPath(ClassesStore store, std::wstring_view entry_name);
KeyPath CommandKeyPath(ClassesStore store, std::wstring_view entry_name);

// The entry's verb key in every store, in the table's order: the keys a change of it records.
std::vector<KeyPath> EntryKeys(std::wstring_view entry_name);
// What a change recorded of the entry in `store`, from `before`, its record of EntryKeys.
const std::optional<KeyTree>& RecordOf(const std::vector<std::optional<KeyTree>>& before,
                                       ClassesStore store);

// Text with leading and trailing spaces (U+0020 only) removed.
std::wstring_view TrimSpaces(std::wstring_view text) noexcept;

// The listing rule: a subkey whose trimmed name is exactly that of a verb the list hides.
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

// Whether the key named `subkey_name` is itself one of the system's protected verbs, compared as
// the registry compares key names and not trimmed, as the registry does not trim: the rule for
// deleting.
bool IsSystemVerbKey(std::wstring_view subkey_name, const RegistryServices& registry) noexcept;

}  // namespace vw
