// Backward BER writer with a stack of marks for constructed lengths.
#pragma once

#include "asn1/BerBuffer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CBerEncoder : public CBerBuffer {
 public:
  CBerEncoder();
  ~CBerEncoder() override;

  // Puts the current position on top of the marks.
  void Push();
  // Takes the top mark; length := bytes written since it was pushed.
  bool Pop(int64_t* length);

  // The encoded bytes: GetUsedLength() bytes starting here (null when the
  // position left the buffer).
  const uint8_t* GetData() const;

 private:
  uint8_t m_block[BER_BUFFER_SIZE];
  static constexpr size_t kInlineMarks = 16;
  int64_t m_marks[kInlineMarks];
  size_t m_mark_count = 0;
  std::vector<int64_t> m_more_marks;  // beyond the inline ones
};
