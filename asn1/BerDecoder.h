// Forward BER reader over one received datagram.
#pragma once

#include "asn1/BerBuffer.h"

#include <cstdint>

class CBerDecoder : public CBerBuffer {
 public:
  CBerDecoder();
  ~CBerDecoder() override;

  // Storage to receive a datagram into (GetCapacity() bytes).
  uint8_t* GetBuffer() { return m_begin; }
  static constexpr uint32_t GetCapacity() { return BER_DATAGRAM_SIZE; }
  // Accepts 1..GetCapacity() received bytes and rewinds.
  bool SetSize(uint32_t length);
  // Copies the bytes into the buffer and runs SetSize.
  bool Assign(const void* data, uint32_t length);

  // Whether the BER lengths of the received bytes add up: one element that
  // spans them all, each constructed element exactly filled by the elements
  // in it, definite lengths only, no content under a type that carries no
  // value. Logs (Warning) why not. Reads nothing: the position stays.
  bool CheckLayout() const;

 private:
  uint8_t m_block[BER_DATAGRAM_SIZE];
};
