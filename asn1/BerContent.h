// Content octets of INTEGER and OBJECT IDENTIFIER values, written last octet
// first through `put` (a bool(uint8_t) that refuses when out of room): BER
// messages are built from their end.
#pragma once

#include "asn1/Asn1Oid.h"

#include <cstddef>
#include <cstdint>

// Two's complement in the fewest octets whose first top bit is the sign; an
// unsigned type whose top bit is set gets a leading 0x00. Returns the count
// of octets, 0 when `put` refused one.
template <typename Put>
size_t BerPutIntegerContent(int64_t value, bool is_unsigned, Put&& put) {
  uint64_t rest = static_cast<uint64_t>(value);
  const uint64_t fill = (!is_unsigned && value < 0) ? ~uint64_t{0} : 0;
  size_t count = 0;
  uint8_t last = 0;
  do {
    last = static_cast<uint8_t>(rest & 0xFF);
    if (!put(last)) return 0;
    ++count;
    rest = (rest >> 8) | (fill << 56);
  } while (count < 8 && !(rest == fill && ((last & 0x80) != 0) == (fill != 0)));
  if (is_unsigned && (last & 0x80) != 0) {
    if (!put(uint8_t{0x00})) return 0;
    ++count;
  }
  return count;
}

// Seven bits an octet per arc, the first two arcs in one octet. The caller
// has checked that there are at least two arcs and that they are valid.
template <typename Put>
bool BerPutOidContent(const CAsn1Oid& oid, Put&& put) {
  for (size_t i = oid.GetCount(); i > 2; --i) {
    uint64_t arc = oid.GetAt(i - 1);
    uint8_t more = 0x00;  // an arc's last group has its top bit clear
    do {
      if (!put(static_cast<uint8_t>((arc & 0x7F) | more))) return false;
      more = 0x80;
      arc >>= 7;
    } while (arc != 0);
  }
  return put(static_cast<uint8_t>(40 * oid.GetAt(0) + oid.GetAt(1)));
}
