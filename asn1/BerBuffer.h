// Fixed 2048-byte BER buffer with a bounds-checked position.
//
// Forward (decoder): reads from begin towards end. Backward (encoder): writes
// from end towards begin. The position is kept as an offset from begin, so a
// failed move never forms an out-of-range pointer.
#pragma once

#include <cstdint>

constexpr uint32_t BER_BUFFER_SIZE = 2048;

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
  explicit CBerBuffer(bool forward);

  uint8_t* m_begin = nullptr;
  uint32_t m_size = 0;
  int64_t m_current = 0;  // offset from begin
  bool m_forward = true;

 private:
  uint8_t m_block[BER_BUFFER_SIZE];
};
