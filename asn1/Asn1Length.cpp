#include "asn1/Asn1Length.h"

#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "quillog/Quillog.h"

std::wstring CAsn1Length::GetText() const { return std::to_wstring(m_length); }

bool CAsn1Length::Decode(CBerDecoder& decoder) {
  m_length = 0;
  m_indefinite = false;
  uint8_t first = 0;
  if (!decoder.ReadByte(&first)) return false;
  if (first == 0x80) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Length ==> Undefined length should be uncorrectly supported");
    m_indefinite = true;
    return true;
  }
  if (first <= 0x7F) {
    m_length = first;
    return true;
  }
  const int count = first & 0x7F;
  if (count > 8) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Length ==> Length of length is greater than 8 bytes");
  }
  uint64_t length = 0;  // unsigned: shifting out the top bytes keeps the low 64 bits
  for (int i = 0; i < count; ++i) {
    uint8_t byte = 0;
    if (!decoder.ReadByte(&byte)) return false;
    length = (length << 8) | byte;
  }
  m_length = static_cast<int64_t>(length);
  return true;
}

size_t BerLengthOctets(uint64_t length, uint8_t (&out)[9]) {
  if (length <= 127) {
    out[0] = static_cast<uint8_t>(length);
    return 1;
  }
  size_t count = 0;
  for (uint64_t rest = length; rest != 0; rest >>= 8) ++count;
  out[0] = static_cast<uint8_t>(0x80 | count);
  for (size_t i = 0; i < count; ++i) out[count - i] = static_cast<uint8_t>(length >> (8 * i));
  return count + 1;
}

bool CAsn1Length::Encode(CBerEncoder& encoder) const {
  // A negative length goes out as its 64-bit pattern, in eight octets.
  uint8_t octets[9];
  const size_t count = BerLengthOctets(static_cast<uint64_t>(m_length), octets);
  for (size_t i = count; i > 0; --i) {  // the encoder writes backward
    if (!encoder.WriteByte(octets[i - 1])) return false;
  }
  return true;
}
