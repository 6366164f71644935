#include "asn1/BerDecoder.h"

#include "quillog/Quillog.h"

#include <cstring>

// Nothing has been received yet: no byte can be read before SetSize.
CBerDecoder::CBerDecoder() : CBerBuffer(true) { m_size = 0; }

CBerDecoder::~CBerDecoder() = default;

bool CBerDecoder::SetSize(uint32_t length) {
  if (length == 0 || length > BER_BUFFER_SIZE) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerBuffer::CheckPointer() ==> new size %d is not correct", length);
    return false;
  }
  m_size = length;
  m_current = 0;
  return true;
}

bool CBerDecoder::Assign(const void* data, uint32_t length) {
  if (data == nullptr || length == 0 || length > BER_BUFFER_SIZE) return SetSize(data == nullptr ? 0 : length);
  std::memcpy(m_begin, data, length);
  return SetSize(length);
}
