// Value of one ASN.1 element, with its display text; written once.
//
// The value does not know its type: the owning object's type code says which
// field counts. Every setter marks the value read only (SetInteger and
// SetUnsigned only when asked to); from then on the setters and the decoders
// (but the hexadecimal one) refuse it.
#pragma once

#include "asn1/Asn1Oid.h"

#include <cstdint>
#include <string>

class CAsn1Type;
class CAsn1Length;
class CBerEncoder;
class CBerDecoder;

class CAsn1Value {
 public:
  CAsn1Value() = default;
  virtual ~CAsn1Value() = default;
  CAsn1Value(const CAsn1Value&) = default;
  CAsn1Value& operator=(const CAsn1Value&) = default;

  bool SetBoolean(bool value);
  // Text in signed decimal.
  bool SetInteger(int64_t value, bool read_only);
  // Same field as SetInteger (the 64-bit pattern); text in unsigned decimal.
  // For Counter32, Gauge32, TimeTicks and Counter64.
  bool SetUnsigned(uint64_t value, bool read_only);
  // Refuses (logged) an OID that fails Check.
  bool SetOid(const CAsn1Oid& oid);
  // Dotted address; a text that does not parse stores 0xFFFFFFFF and still succeeds.
  bool SetIpAddress(const std::wstring& text);
  bool SetText(const std::wstring& text);

  const std::wstring& GetText() const { return m_text; }
  // The content octets of a decoded OCTET STRING, Opaque or other value shown
  // in hexadecimal, as received (the text may show them as hexadecimal);
  // empty for every other value.
  std::string GetOctets() const;
  bool IsReadOnly() const { return m_read_only; }
  int64_t GetInteger() const { return m_integer; }
  uint64_t GetUnsigned() const { return static_cast<uint64_t>(m_integer); }
  bool IsIntegerSet() const { return m_integer_set; }
  const CAsn1Oid& GetOid() const { return m_oid; }
  bool IsOidSet() const { return m_oid_set; }
  bool GetBoolean() const { return m_boolean; }
  bool IsBooleanSet() const { return m_boolean_set; }
  uint32_t GetAddress() const { return m_address; }
  bool IsAddressSet() const { return m_address_set; }

  // Writes the content octets for the type backward and stores their count
  // into length.
  bool Build(const CAsn1Type& type, CAsn1Length& length, CBerEncoder& encoder) const;
  // Reads length's number of content octets and fills the value and its text.
  bool Build(const CAsn1Type& type, const CAsn1Length& length, CBerDecoder& decoder);

 private:
  bool _refuse_read_only() const;
  bool _build_boolean(CBerEncoder& encoder, CAsn1Length& length) const;
  bool _build_integer(uint8_t code, CBerEncoder& encoder, CAsn1Length& length) const;
  bool _build_text(CBerEncoder& encoder, CAsn1Length& length) const;
  bool _build_object_identifier(CBerEncoder& encoder, CAsn1Length& length) const;
  bool _build_ip_address(CBerEncoder& encoder, CAsn1Length& length) const;

  bool _build_boolean(CBerDecoder& decoder, int64_t length);
  bool _build_integer(uint8_t code, CBerDecoder& decoder, int64_t length);
  bool _build_octet_string(CBerDecoder& decoder, int64_t length);
  bool _build_object_identifier(CBerDecoder& decoder, int64_t length);
  bool _build_ip_address(CBerDecoder& decoder, int64_t length);
  bool _build_hexadecimal(uint8_t code, CBerDecoder& decoder, int64_t length);

  bool m_read_only = false;
  int64_t m_integer = 0;
  bool m_integer_set = false;
  CAsn1Oid m_oid;
  bool m_oid_set = false;
  bool m_boolean = false;
  bool m_boolean_set = false;
  uint32_t m_address = 0;
  bool m_address_set = false;
  std::wstring m_text;
  // Decoded octet contents: the text holds them one per character, or
  // (m_hex_text) shows them in hexadecimal and m_octets keeps them.
  bool m_has_octets = false;
  bool m_hex_text = false;
  std::string m_octets;
};
