// Pointer checks used throughout the kit.
#pragma once

#include <string>

// True for a null pointer; logs "Pointer is NULL" when log is true.
bool IsNull(const void* pointer, bool log = true);
// True for a null or empty wide text; logs "Pointer is NULL or Empty" when log is true.
bool IsNullOrEmpty(const wchar_t* text, bool log = true);
bool IsNullOrEmpty(const std::wstring& text, bool log = true);
