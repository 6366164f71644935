// The bytes of a request whose one binding has a NULL value (Get, GetNext,
// GetBulk), written straight from its fields: the bytes the frame classes
// encode, without building their element list. A walk sends one per
// variable.
#pragma once

#include "asn1/Asn1Oid.h"
#include "asn1/BerBuffer.h"

#include <array>
#include <cstdint>
#include <string_view>

struct SnmpRequestFields {
  uint8_t pdu_code = 0;
  int64_t version = 0;
  std::wstring_view community;  // each character's low 8 bits
  int32_t request_id = 0;
  int64_t error_status = 0;  // non-repeaters in a GetBulk
  int64_t error_index = 0;   // max-repetitions in a GetBulk
};

class CSnmpRequestBytes {
 public:
  // False, without a log line, for an OID the frame classes refuse (fewer
  // than 2 arcs, first above 2, second above 39) and for a message longer
  // than their 2,048 bytes.
  bool Write(const SnmpRequestFields& fields, const CAsn1Oid& oid);

  const uint8_t* GetData() const { return m_bytes.data() + m_start; }
  uint32_t GetLength() const { return BER_BUFFER_SIZE - m_start; }

 private:
  bool _put(uint8_t byte);
  bool _put_length(uint32_t end);
  bool _put_integer(int64_t value);
  bool _put_oid(const CAsn1Oid& oid);

  std::array<uint8_t, BER_BUFFER_SIZE> m_bytes{};
  uint32_t m_start = BER_BUFFER_SIZE;  // the bytes are written backward
};
