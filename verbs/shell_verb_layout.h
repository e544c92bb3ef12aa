#pragma once

// Where the right-click entries of executables live, and how an entry's parts are formed.
//
//   HKEY_CLASSES_ROOT\exefile\shell            the verb root
//     open, runas                              the system's verbs, never listed or touched
//     <entry name>       (default) = caption   the text the menu shows
//       command          (default) = "<program path>" "%1"
//
// The root is named as hive value + relative path for enumeration, and as a full path ending in
// '\' for writing and deleting. Nothing here talks to the registry.

#include <cstdint>
#include <string>
#include <string_view>

#include "verbs/registry_path.h"

namespace vw {

inline constexpr std::uint32_t kVerbRootHive = kHiveClassesRoot;
inline constexpr std::wstring_view kVerbRootRelative = L"exefile\\shell";
inline constexpr std::wstring_view kVerbRootKey = L"HKEY_CLASSES_ROOT\\exefile\\shell\\";

// The file name less its last four characters (the ".exe" the file list guarantees).
std::wstring EntryName(std::wstring_view file_name);

// Folder + "\" + file, or folder + file when the folder is a drive root such as "C:\" (three
// characters or fewer).
std::wstring ProgramPath(std::wstring_view folder, std::wstring_view file_name);

// "<program path>" "%1": both quoted, so that neither a space in the program's path nor one in
// the right-clicked file's path splits the command.
std::wstring CommandLine(std::wstring_view program_path);

std::wstring VerbKeyPath(std::wstring_view entry_name);
std::wstring CommandKeyPath(std::wstring_view entry_name);

// Text with leading and trailing spaces (U+0020 only) removed.
std::wstring_view TrimSpaces(std::wstring_view text) noexcept;

// The listing rule: a subkey whose trimmed name is exactly "open" or "runas" is a system verb.
bool IsReservedVerb(std::wstring_view subkey_name) noexcept;

enum class NameProblem {
  kNone,
  kEmpty,     // would name the verb root itself
  kReserved,  // would be the same key as the system's open or runas verb
  kTooLong,   // longer than a registry key name may be
};

// The rule for names we write or delete: as the registry compares key names, so without case.
NameProblem CheckEntryName(std::wstring_view entry_name) noexcept;

}  // namespace vw
