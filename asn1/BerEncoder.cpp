#include "asn1/BerEncoder.h"

#include "quillog/Quillog.h"

CBerEncoder::CBerEncoder() : CBerBuffer(false, m_block, BER_BUFFER_SIZE) {}

CBerEncoder::~CBerEncoder() {
  m_mark_count = 0;
  m_more_marks.clear();
}

void CBerEncoder::Push() {
  if (m_mark_count < kInlineMarks) {
    m_marks[m_mark_count++] = m_current;
    return;
  }
  m_more_marks.push_back(m_current);
  ++m_mark_count;
}

bool CBerEncoder::Pop(int64_t* length) {
  if (m_mark_count == 0) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CBerEncoder::Pop() ==> Unable to pop because queue is empty");
    return false;
  }
  int64_t mark = 0;
  if (m_mark_count > kInlineMarks) {
    mark = m_more_marks.back();
    m_more_marks.pop_back();
  } else {
    mark = m_marks[m_mark_count - 1];
  }
  --m_mark_count;
  *length = mark - m_current;
  return true;
}

const uint8_t* CBerEncoder::GetData() const {
  if (m_current < 0 || m_current > static_cast<int64_t>(m_size)) return nullptr;
  return m_begin + m_current;
}
