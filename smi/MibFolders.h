// The three MIB folders and how a module's file is found in them.
//
//   personal  $XDG_DATA_HOME/Tavelo/Mibs     (~/.local/share/Tavelo/Mibs)
//   common    <first of $XDG_DATA_DIRS>/Tavelo/Mibs (/usr/local/share/...)
//   legacy    <program folder>/Mibs (<prefix>/share/tavelo/Mibs when the
//             program is installed in <prefix>/bin)
//
// A module NAME is kept in the file NAME.mib; the personal folder hides the
// common one, which hides the legacy one. Folders are derived again on every
// call (never cached) and never created here.
#pragma once

#include <string>
#include <vector>

std::wstring LegacyMibsFolder();
std::wstring CommonMibsFolder();
std::wstring PersonalMibsFolder();

// Full path of the module's file, or empty (after an Error line) when no
// folder holds it. An entry that exists but is a folder still counts.
std::wstring LocateModuleFile(const std::wstring& module_name);
// The same without the error log: empty when no folder holds the module.
std::wstring FindModuleFile(const std::wstring& module_name);

// True when a folder holds the module (nothing is logged).
bool ModuleFileExists(const std::wstring& module_name);

// The current module that replaced an old module name (RFC-1213 is kept as
// RFC1213-MIB, RFC1316-MIB as CHARACTER-MIB, ...); empty when none did.
// Used for an import whose module is in no folder under its own name.
std::wstring ModuleAlias(const std::wstring& module_name);

// Module names of a folder: every entry "*.mib" that is not a folder,
// named by its file name up to its first dot; sorted.
std::vector<std::wstring> ListFolderModules(const std::wstring& folder);

// Search folders used instead of the three MIB folders (in this order) by
// LocateModuleFile; an empty list restores the three folders. For the
// command-line program's module path option, tests and benchmarks.
void SetMibSearchFolders(const std::vector<std::wstring>& folders);
std::vector<std::wstring> MibSearchFolders();
