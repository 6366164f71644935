#include "asn1/BerDecoder.h"

#include "asn1/Asn1Type.h"
#include "quillog/Quillog.h"

#include <cstring>
#include <cwchar>

namespace {

// Constructed elements open at one time; an SNMP message nests five deep.
constexpr size_t kMaxDepth = 32;

struct Header {
  uint8_t code = 0;
  size_t content = 0;  // offset of the first content octet
  size_t end = 0;      // offset just past the content
};

// Identifier and length octets at *pos, all before limit. On failure *why
// says what is wrong.
bool ReadHeader(const uint8_t* data, size_t limit, size_t pos, Header* header, const wchar_t** why) {
  *why = L"cut short";
  if (pos >= limit) return false;
  header->code = data[pos++];
  if ((header->code & 0x1F) == 0x1F) {  // high tag number form: up to the octet with its top bit clear
    while (pos < limit && (data[pos] & 0x80) != 0) ++pos;
    if (pos++ >= limit) return false;
  }
  if (pos >= limit) return false;
  const uint8_t first = data[pos++];
  uint64_t length = first;
  if (first == 0x80) {
    *why = L"indefinite length";
    return false;
  }
  if (first > 0x80) {
    length = 0;
    for (uint8_t i = 0; i < (first & 0x7F); ++i) {
      if (pos >= limit) return false;
      length = (length << 8) | data[pos++];
      if (length > limit) return false;  // cannot fit whatever follows
    }
  }
  if (length > limit - pos) return false;
  header->content = pos;
  header->end = pos + static_cast<size_t>(length);
  return true;
}

bool Refuse(const wchar_t* why, size_t at, size_t size) {
  QuillogW(QUILLOG_WARNING, QLF_NONE,
           L"CBerDecoder::CheckLayout() ==> The BER lengths do not add up: %s (at byte %u of %u)", why,
           static_cast<uint64_t>(at), static_cast<uint64_t>(size));
  return false;
}

}  // namespace

// Nothing has been received yet: no byte can be read before SetSize.
CBerDecoder::CBerDecoder() : CBerBuffer(true, m_block, BER_DATAGRAM_SIZE) { m_size = 0; }

CBerDecoder::~CBerDecoder() = default;

bool CBerDecoder::SetSize(uint32_t length) {
  if (length == 0 || length > BER_DATAGRAM_SIZE) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerBuffer::CheckPointer() ==> new size %d is not correct", length);
    return false;
  }
  m_size = length;
  m_current = 0;
  return true;
}

bool CBerDecoder::Assign(const void* data, uint32_t length) {
  if (data == nullptr || length == 0 || length > BER_DATAGRAM_SIZE) return SetSize(data == nullptr ? 0 : length);
  std::memcpy(m_begin, data, length);
  return SetSize(length);
}

bool CBerDecoder::CheckLayout() const {
  const size_t size = m_size;
  const wchar_t* why = nullptr;
  Header header;
  if (!ReadHeader(m_begin, size, 0, &header, &why)) return Refuse(why, 0, size);
  if (header.end != size) return Refuse(L"trailing bytes after the message", header.end, size);
  size_t ends[kMaxDepth];  // ends of the constructed elements still open
  size_t depth = 0;
  size_t pos = 0;
  size_t limit = size;
  for (;;) {
    if ((header.code & ASN1_CONSTRUCTED_BIT) != 0) {
      if (depth == kMaxDepth) return Refuse(L"nested too deep", pos, size);
      ends[depth++] = header.end;
      pos = header.content;
    } else {
      if (!CarriesValue(header.code) && header.end != header.content)
        return Refuse(L"content under a type without value", pos, size);
      pos = header.end;
    }
    while (depth > 0 && pos == ends[depth - 1]) --depth;
    if (depth == 0) return true;
    limit = ends[depth - 1];
    if (!ReadHeader(m_begin, limit, pos, &header, &why)) {
      const bool inner = limit != size && std::wcscmp(why, L"cut short") == 0;
      return Refuse(inner ? L"an element goes past the one holding it" : why, pos, size);
    }
  }
}
