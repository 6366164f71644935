#include "kit/ZubConvertor.h"

#include <cstring>
#include <cwchar>

#include "kit/ZubException.h"
#include "kit/ZubMemory.h"
#include "quillog/Quillog.h"

namespace {

constexpr uint32_t kErrorInvalidParameter = 87;

bool IsValidCodePoint(uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Writes one code point as UTF-8 into `out` when it fits; returns its size.
size_t Utf8Encode(uint32_t c, char* out, size_t room) {
  if (!IsValidCodePoint(c)) c = 0xFFFD;
  char bytes[4];
  size_t size;
  if (c < 0x80) {
    bytes[0] = static_cast<char>(c);
    size = 1;
  } else if (c < 0x800) {
    bytes[0] = static_cast<char>(0xC0 | (c >> 6));
    bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
    size = 2;
  } else if (c < 0x10000) {
    bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
    size = 3;
  } else {
    bytes[0] = static_cast<char>(0xF0 | (c >> 18));
    bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
    size = 4;
  }
  if (out != nullptr && size <= room) std::memcpy(out, bytes, size);
  return size;
}

}  // namespace

CZubConvertor::~CZubConvertor() {
  if (m_heap == nullptr) return;
  try {
    Free(m_heap);
  } catch (CZubException* e) {
    delete e;
  }
}

// Encodes `count` characters; returns false when they do not fit in
// `capacity` bytes (then *needed holds the size required).
bool CZubConvertor::_encode(const wchar_t* text, size_t count, uint32_t code_page, char* out, size_t capacity,
                            size_t* needed) {
  size_t used = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t c = static_cast<uint32_t>(text[i]);
    if (code_page == ZUB_CP_UTF8) {
      used += Utf8Encode(c, used < capacity ? out + used : nullptr, capacity > used ? capacity - used : 0);
    } else {
      if (used < capacity) out[used] = c <= 0xFF ? static_cast<char>(c) : '?';
      ++used;
    }
  }
  *needed = used;
  return used <= capacity;
}

bool CZubConvertor::Unicode2Utf8(const wchar_t* text, const char** result, int length, uint32_t code_page) {
  m_inline[0] = '\0';
  m_result = m_inline;
  m_result_length = 0;
  if (result != nullptr) *result = m_result;
  if (text == nullptr || length < -1) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad parameter in CZubConvertor::Unicode2Utf8()");
    return false;
  }
  if (code_page != ZUB_CP_UTF8 && code_page != ZUB_CP_ACP) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error 0x%.8x in CZubConvertor::Unicode2Utf8()", kErrorInvalidParameter);
    return false;
  }
  const size_t count = length == -1 ? std::wcslen(text) : static_cast<size_t>(length);
  size_t needed = 0;
  if (_encode(text, count, code_page, m_inline, kInlineSize - 1, &needed)) {
    m_inline[needed] = '\0';
    m_result_length = needed;
    return true;
  }
  if (m_heap != nullptr) {
    Free(m_heap);
    m_heap = nullptr;
  }
  try {
    m_heap = static_cast<char*>(Alloc(needed + 1));
  } catch (CZubException* e) {
    delete e;
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Memory allocation error");
    return false;
  }
  _encode(text, count, code_page, m_heap, needed, &needed);
  m_heap[needed] = '\0';
  m_result = m_heap;
  m_result_length = needed;
  if (result != nullptr) *result = m_result;
  return true;
}
