#include "kit/ZubConvertor.h"

#include "kit/ZubException.h"
#include "kit/ZubMemory.h"
#include "quillog/Quillog.h"

#include <cstring>
#include <cwchar>

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

namespace {

// Length of the UTF-8 sequence at octets[i] (1 to 4), 0 when there is none.
size_t Utf8SequenceLength(const std::string& octets, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(octets[k]); };
  const unsigned char first = byte(i);
  if (first < 0x80) return 1;
  size_t n = 0;
  uint32_t code = 0;
  if (first >= 0xC2 && first <= 0xDF) {
    n = 2;
    code = first & 0x1F;
  } else if (first >= 0xE0 && first <= 0xEF) {
    n = 3;
    code = first & 0x0F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    n = 4;
    code = first & 0x07;
  } else {
    return 0;
  }
  if (i + n > octets.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLeast[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  // C1 controls (U+0080 to U+009F).
  if (code < 0xA0) return 0;
  return n;
}

}  // namespace

bool IsReadableUtf8(const std::string& octets) {
  for (size_t i = 0; i < octets.size();) {
    const unsigned char b = static_cast<unsigned char>(octets[i]);
    if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) return false;
    const size_t n = Utf8SequenceLength(octets, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}
