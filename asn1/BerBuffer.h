// Fixed-size BER buffer with a bounds-checked position.
//
// Forward (decoder): reads from begin towards end. Backward (encoder): writes
// from end towards begin. The position is kept as an offset from begin, so a
// failed move never forms an out-of-range pointer. The block belongs to the
// derived class: 2048 bytes to encode into, a whole UDP datagram to decode.
#pragma once

#include <cstdint>

// Largest message the encoder writes.
constexpr uint32_t BER_BUFFER_SIZE = 2048;
// Largest UDP payload over IPv4 (65,535 - 20 IP - 8 UDP header bytes): the
// largest datagram a decoder takes.
constexpr uint32_t BER_DATAGRAM_SIZE = 65507;

class CBerBuffer {
 public:
  virtual ~CBerBuffer();
  CBerBuffer(const CBerBuffer&) = delete;
  CBerBuffer& operator=(const CBerBuffer&) = delete;

  // Bounds check of the current position (end itself passes).
  bool CheckPointer() const;
  // Forward: check, read, advance; a read at end is refused (no byte there).
  // Backward: step back, check, read.
  bool ReadByte(uint8_t* byte);
  bool WriteByte(uint8_t byte);
  // Forward: bytes read so far; backward: bytes written so far.
  uint32_t GetUsedLength() const;

  uint32_t GetSize() const { return m_size; }
  bool IsForward() const { return m_forward; }
  const uint8_t* GetBegin() const { return m_begin; }
  // Bytes left before end (forward) or before begin (backward); 0 when out of range.
  uint32_t GetRemaining() const;
  // Forward only: hands out the next count bytes in place and moves past them;
  // refused (logged) when fewer than count bytes are left.
  bool ReadBlock(const uint8_t** data, uint32_t count);

 protected:
  // block: capacity bytes owned by the derived object.
  CBerBuffer(bool forward, uint8_t* block, uint32_t capacity);

  uint8_t* m_begin = nullptr;
  uint32_t m_size = 0;
  int64_t m_current = 0;  // offset from begin
  bool m_forward = true;
};
