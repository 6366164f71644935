// The program's string table (compiled in, kit/ZubResStrings.cpp) and
// formatted loading of its strings.
#pragma once

#include "quillog/Quillog.h"

#include <cstdint>
#include <string>

struct ZubResEntry {
  uint32_t id;
  const wchar_t* text;
};

class CZubRes {
 public:
  // Loads string `id` and formats it with the arguments (printf-style,
  // type-safe). A missing string gives "String not loaded".
  template <typename... Args>
  static std::wstring String(uint32_t id, const Args&... args) {
    try {
      std::wstring text;
      if (!_load(id, &text)) return text;
      return QuillogFormat(text.c_str(), args...);
    } catch (...) {
      _failed(id);
      return std::wstring();
    }
  }

  // Adds or replaces a string at run time (a library's own strings).
  static void AddString(uint32_t id, const wchar_t* text);
  // The raw text of string `id`, false when there is none.
  static bool Find(uint32_t id, std::wstring* text);

 private:
  static bool _load(uint32_t id, std::wstring* text);
  static void _failed(uint32_t id);
};
