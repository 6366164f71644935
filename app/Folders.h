// Folders the program derives from its executable and the environment.
//
//   executable    /proc/self/exe
//   install path  the executable's folder
//   program data  first entry of $XDG_DATA_DIRS (default /usr/local/share)
//   user data     $XDG_DATA_HOME (default $HOME/.local/share)
//   log folder    ${XDG_STATE_HOME:-$HOME/.local/state}/tavelo/log
//
// Every call reads the environment again; each result is logged at level
// Info with the GUI feature. Texts are wide; convert with
// quillog::WideToUtf8 before handing them to the system.
#pragma once

#include <string>

std::wstring ExecutablePath();
std::wstring InstallPath();
// The program's own data (legacy Mibs and Simulators, the demo): the
// install path, or <prefix>/share/tavelo when the program sits in <prefix>/bin.
std::wstring OwnDataPath();
// The same rule for a given install path.
std::wstring OwnDataPathOf(const std::wstring& install_path);
std::wstring ProgramDataPath();
std::wstring UserDataPath();
// Log folder; created when missing (empty when it cannot be created).
std::wstring LogFolderPath();

// Joins two path pieces with one "/".
std::wstring JoinPath(const std::wstring& left, const std::wstring& right);
