// BER length of one element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CBerEncoder;
class CBerDecoder;

// The one writer of BER length octets, in the fewest bytes: the short form
// below 128, else 0x80 | n followed by n big-endian bytes. Fills `out` in
// wire order and returns how many octets it holds (1 to 9).
size_t BerLengthOctets(uint64_t length, uint8_t (&out)[9]);

class CAsn1Length {
 public:
  CAsn1Length() = default;
  virtual ~CAsn1Length() = default;
  CAsn1Length(const CAsn1Length&) = default;
  CAsn1Length& operator=(const CAsn1Length&) = default;

  int64_t GetLength() const { return m_length; }
  void SetLength(int64_t length) { m_length = length; }
  bool IsIndefinite() const { return m_indefinite; }
  void SetIndefinite(bool indefinite) { m_indefinite = indefinite; }

  // The length in signed decimal.
  std::wstring GetText() const;

  // Reads the length octets (short, long or indefinite form).
  bool Decode(CBerDecoder& decoder);
  // Writes the length octets backward in the fewest bytes.
  bool Encode(CBerEncoder& encoder) const;

 private:
  int64_t m_length = 0;
  bool m_indefinite = false;
};
