#include "snmp/SnmpRequestBytes.h"

#include "asn1/Asn1Length.h"
#include "asn1/Asn1Type.h"
#include "asn1/BerContent.h"

bool CSnmpRequestBytes::_put(uint8_t byte) {
  if (m_start == 0) return false;
  m_bytes[--m_start] = byte;
  return true;
}

// The length of what was written since the position was `end`.
bool CSnmpRequestBytes::_put_length(uint32_t end) {
  uint8_t octets[9];
  const size_t count = BerLengthOctets(end - m_start, octets);
  for (size_t i = count; i > 0; --i) {
    if (!_put(octets[i - 1])) return false;
  }
  return true;
}

bool CSnmpRequestBytes::_put_integer(int64_t value) {
  const uint32_t end = m_start;
  return BerPutIntegerContent(value, false, [this](uint8_t octet) { return _put(octet); }) != 0 && _put_length(end) &&
         _put(ASN1_INTEGER);
}

bool CSnmpRequestBytes::_put_oid(const CAsn1Oid& oid) {
  if (oid.GetCount() < 2 || oid.GetAt(0) > 2 || oid.GetAt(1) > 39) return false;
  const uint32_t end = m_start;
  return BerPutOidContent(oid, [this](uint8_t octet) { return _put(octet); }) && _put_length(end) &&
         _put(ASN1_OBJECT_IDENTIFIER);
}

bool CSnmpRequestBytes::Write(const SnmpRequestFields& fields, const CAsn1Oid& oid) {
  m_start = BER_BUFFER_SIZE;
  const uint32_t message = m_start;
  if (!_put(0x00) || !_put(ASN1_NULL) || !_put_oid(oid)) return false;
  if (!_put_length(message) || !_put(ASN1_SEQUENCE)) return false;  // the binding
  if (!_put_length(message) || !_put(ASN1_SEQUENCE)) return false;  // the binding list
  if (!_put_integer(fields.error_index) || !_put_integer(fields.error_status) || !_put_integer(fields.request_id))
    return false;
  if (!_put_length(message) || !_put(fields.pdu_code)) return false;
  const uint32_t community = m_start;
  for (size_t i = fields.community.size(); i > 0; --i) {
    if (!_put(static_cast<uint8_t>(static_cast<uint32_t>(fields.community[i - 1]) & 0xFF))) return false;
  }
  if (!_put_length(community) || !_put(ASN1_OCTET_STRING)) return false;
  if (!_put_integer(fields.version)) return false;
  return _put_length(message) && _put(ASN1_SEQUENCE);
}
