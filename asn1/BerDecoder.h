// Forward BER reader over one received datagram.
#pragma once

#include "asn1/BerBuffer.h"

#include <cstdint>

class CBerDecoder : public CBerBuffer {
 public:
  CBerDecoder();
  ~CBerDecoder() override;

  // Storage to receive a datagram into (BER_BUFFER_SIZE bytes).
  uint8_t* GetBuffer() { return m_begin; }
  static constexpr uint32_t GetCapacity() { return BER_BUFFER_SIZE; }
  // Accepts 1..2048 received bytes and rewinds.
  bool SetSize(uint32_t length);
  // Copies the bytes into the buffer and runs SetSize.
  bool Assign(const void* data, uint32_t length);
};
