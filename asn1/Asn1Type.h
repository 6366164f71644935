// ASN.1 type codes, the type table and the identifier octet.
//
// A type code is the whole BER identifier octet (class bits and constructed
// bit included); it is never split into class and tag number.
#pragma once

#include <cstdint>
#include <string_view>

class CBerEncoder;
class CBerDecoder;

constexpr uint8_t ASN1_BOOLEAN = 0x01;
constexpr uint8_t ASN1_INTEGER = 0x02;
constexpr uint8_t ASN1_BIT_STRING = 0x03;
constexpr uint8_t ASN1_OCTET_STRING = 0x04;
constexpr uint8_t ASN1_NULL = 0x05;
constexpr uint8_t ASN1_OBJECT_IDENTIFIER = 0x06;
constexpr uint8_t ASN1_SET = 0x11;
constexpr uint8_t ASN1_SEQUENCE = 0x30;
constexpr uint8_t ASN1_IP_ADDRESS = 0x40;
constexpr uint8_t ASN1_COUNTER32 = 0x41;
constexpr uint8_t ASN1_GAUGE32 = 0x42;
constexpr uint8_t ASN1_TIMETICKS = 0x43;
constexpr uint8_t ASN1_OPAQUE = 0x44;
constexpr uint8_t ASN1_NSAP_ADDRESS = 0x45;
constexpr uint8_t ASN1_COUNTER64 = 0x46;
constexpr uint8_t ASN1_NO_SUCH_OBJECT = 0x80;
constexpr uint8_t ASN1_NO_SUCH_INSTANCE = 0x81;
constexpr uint8_t ASN1_END_OF_MIB_VIEW = 0x82;
constexpr uint8_t ASN1_PDU_GET_REQUEST = 0xA0;
constexpr uint8_t ASN1_PDU_GET_NEXT_REQUEST = 0xA1;
constexpr uint8_t ASN1_PDU_RESPONSE = 0xA2;
constexpr uint8_t ASN1_PDU_SET_REQUEST = 0xA3;
constexpr uint8_t ASN1_PDU_TRAP_V1 = 0xA4;
constexpr uint8_t ASN1_PDU_GET_BULK_REQUEST = 0xA5;
constexpr uint8_t ASN1_PDU_INFORM = 0xA6;
constexpr uint8_t ASN1_PDU_TRAP_V2 = 0xA7;
constexpr uint8_t ASN1_PDU_REPORT = 0xA8;
// Marks the end of a constructed element in an outbound list; never on the wire.
constexpr uint8_t ASN1_SEQUENCE_END = 0xFF;

constexpr uint8_t ASN1_CONSTRUCTED_BIT = 0x20;

// Display name of a code; "Unknown type" (logged) for a code the table lacks.
// The text is constant for the whole run.
const wchar_t* GetTypeName(uint8_t code);
// Code of a display name (exact, case-sensitive); 0 (logged) when unknown.
uint8_t GetTypeCode(std::wstring_view name);
uint8_t GetTypeCode(const wchar_t* name);
// False for constructed codes, otherwise the table's flag; true for unknown codes.
bool CarriesValue(uint8_t code);
// List image index of a value type; 0 (logged) for types without an image.
int GetTypeIcon(uint8_t code);
// True for the SNMP types whose value is an unsigned number
// (Counter32, Gauge32, TimeTicks, Counter64).
bool IsUnsignedType(uint8_t code);

class CAsn1Type {
 public:
  explicit CAsn1Type(uint8_t code = ASN1_NULL) : m_code(code) {}
  virtual ~CAsn1Type() = default;
  CAsn1Type(const CAsn1Type&) = default;
  CAsn1Type& operator=(const CAsn1Type&) = default;

  uint8_t GetCode() const { return m_code; }
  void SetCode(uint8_t code) { m_code = code; }
  bool IsConstructed() const { return (m_code & ASN1_CONSTRUCTED_BIT) != 0; }

  // Reads one identifier octet (the high-tag-number form is logged and skipped).
  bool Decode(CBerDecoder& decoder);
  // Writes the code byte (backward).
  bool Encode(CBerEncoder& encoder) const;

 private:
  uint8_t m_code;
};
