#include "kit/ZubPointer.h"

#include "quillog/Quillog.h"

bool IsNull(const void* pointer, bool log) {
  if (pointer != nullptr) return false;
  if (log) QuillogW(QUILLOG_ERROR, QLF_NONE, L"Pointer is NULL");
  return true;
}

bool IsNullOrEmpty(const wchar_t* text, bool log) {
  if (text != nullptr && text[0] != L'\0') return false;
  if (log) QuillogW(QUILLOG_ERROR, QLF_NONE, L"Pointer is NULL or Empty");
  return true;
}

bool IsNullOrEmpty(const std::wstring& text, bool log) { return IsNullOrEmpty(text.c_str(), log); }
