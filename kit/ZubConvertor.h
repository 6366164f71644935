// Wide text to multibyte text. Short results live in an inline buffer,
// longer ones in a heap block (Alloc/Free).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr uint32_t ZUB_CP_ACP = 0;  // the "ANSI" code page: Latin-1 here
inline constexpr uint32_t ZUB_CP_UTF8 = 65001;

// True when the octets are well-formed UTF-8 (no overlong forms, surrogates
// or code points above U+10FFFF) with no control character but tab, line
// feed and carriage return (C0, DEL and C1 all refused): text a person can read.
bool IsReadableUtf8(const std::string& octets);

class CZubConvertor {
 public:
  static constexpr size_t kInlineSize = 1024;  // at most 1023 bytes of text and the zero

  CZubConvertor() = default;
  ~CZubConvertor();
  CZubConvertor(const CZubConvertor&) = delete;
  CZubConvertor& operator=(const CZubConvertor&) = delete;

  // Converts `text` (length -1: zero-terminated, otherwise that many wide
  // characters) to `code_page` (65001 UTF-8, or 0 Latin-1). *result points
  // into the convertor and stays valid until its next conversion or its
  // destruction. Invalid code points become U+FFFD ('?' in Latin-1).
  bool Unicode2Utf8(const wchar_t* text, const char** result, int length = -1, uint32_t code_page = ZUB_CP_UTF8);

  const char* GetResult() const { return m_result; }
  size_t GetResultLength() const { return m_result_length; }
  bool IsResultInline() const { return m_result == m_inline; }

 private:
  bool _encode(const wchar_t* text, size_t count, uint32_t code_page, char* out, size_t capacity, size_t* needed);

  char m_inline[kInlineSize] = {};
  char* m_heap = nullptr;
  const char* m_result = m_inline;
  size_t m_result_length = 0;
};
