// Opening a MIB file in the user's text editor (ViewMibBrowser / TextEditor,
// "xdg-open" by default).
#pragma once

#include <string>

// Starts a program with one argument as a new process, without a shell and
// without waiting for it (it is reaped when it ends). 0, or the error code.
int StartDetached(const std::string& program, const std::string& argument);

// Starts the editor on the file as a new process, without a shell and
// without waiting for it. False (logged) when it cannot be started.
bool StartTextEditor(const std::wstring& file_path);
