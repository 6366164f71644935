#include "asn1/BerBuffer.h"

#include "quillog/Quillog.h"

#include <cstdint>

namespace {

// Positions outside the block are only ever printed, never dereferenced.
const void* Address(const uint8_t* base, int64_t offset) {
  return reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(base) + static_cast<uintptr_t>(offset));
}

}  // namespace

CBerBuffer::CBerBuffer(bool forward, uint8_t* block, uint32_t capacity)
    : m_begin(block), m_size(capacity), m_forward(forward) {
  m_current = forward ? 0 : static_cast<int64_t>(m_size);
}

CBerBuffer::~CBerBuffer() {
  m_begin = nullptr;
  m_size = 0;
  m_current = 0;
}

bool CBerBuffer::CheckPointer() const {
  if (m_begin == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerBuffer::CheckPointer() ==> begin > end (%p > %p)",
             static_cast<const void*>(m_begin), Address(m_begin, m_size));
    return false;
  }
  if (m_current < 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerBuffer::CheckPointer() ==> current < begin (%p > %p)",
             Address(m_begin, m_current), static_cast<const void*>(m_begin));
    return false;
  }
  if (m_current > static_cast<int64_t>(m_size)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerBuffer::CheckPointer() ==> current > end (%p > %p)",
             Address(m_begin, m_current), Address(m_begin, m_size));
    return false;
  }
  return true;
}

bool CBerBuffer::ReadByte(uint8_t* byte) {
  if (!m_forward) {
    --m_current;
    if (!CheckPointer()) return false;
    *byte = m_begin[m_current];
    return true;
  }
  if (!CheckPointer()) return false;
  // The check lets the position equal end; there is no byte there to read.
  if (m_current >= static_cast<int64_t>(m_size)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerBuffer::ReadByte() ==> no byte left to read (current == end %p)",
             Address(m_begin, m_current));
    return false;
  }
  *byte = m_begin[m_current++];
  return true;
}

bool CBerBuffer::WriteByte(uint8_t byte) {
  if (!m_forward) {
    --m_current;
    if (!CheckPointer()) return false;
    m_begin[m_current] = byte;
    return true;
  }
  if (!CheckPointer()) return false;
  if (m_current >= static_cast<int64_t>(m_size)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerBuffer::WriteByte() ==> no room left to write (current == end %p)",
             Address(m_begin, m_current));
    return false;
  }
  m_begin[m_current++] = byte;
  return true;
}

uint32_t CBerBuffer::GetUsedLength() const {
  const int64_t used = m_forward ? m_current : static_cast<int64_t>(m_size) - m_current;
  return static_cast<uint32_t>(used);
}

uint32_t CBerBuffer::GetRemaining() const {
  if (m_current < 0 || m_current > static_cast<int64_t>(m_size)) return 0;
  return m_forward ? m_size - static_cast<uint32_t>(m_current) : static_cast<uint32_t>(m_current);
}

bool CBerBuffer::ReadBlock(const uint8_t** data, uint32_t count) {
  if (!m_forward || !CheckPointer()) return false;
  if (count > GetRemaining()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerBuffer::ReadBlock() ==> %u bytes asked, %u left", count, GetRemaining());
    return false;
  }
  *data = m_begin + m_current;
  m_current += count;
  return true;
}
