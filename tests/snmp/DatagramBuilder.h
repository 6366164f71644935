// Builds test datagrams as outbound element lists, encoded by the codec.
#pragma once

#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "snmp/SnmpBase.h"
#include "tests/asn1/CodecHelpers.h"

#include <string>

class DatagramBuilder {
 public:
  DatagramBuilder& Open(uint8_t code = ASN1_SEQUENCE) { return Add(new CAsn1Object(code)); }
  DatagramBuilder& Close() { return Add(new CAsn1Object(ASN1_SEQUENCE_END)); }
  DatagramBuilder& Int(int64_t value, uint8_t code = ASN1_INTEGER) {
    auto* o = new CAsn1Object(code);
    o->GetValue().SetInteger(value, true);
    return Add(o);
  }
  DatagramBuilder& Str(const std::wstring& text) {
    auto* o = new CAsn1Object(ASN1_OCTET_STRING);
    o->GetValue().SetText(text);
    return Add(o);
  }
  DatagramBuilder& Oid(const wchar_t* text) {
    auto* o = new CAsn1Object(ASN1_OBJECT_IDENTIFIER);
    o->GetValue().SetOid(CAsn1Oid(text));
    return Add(o);
  }
  DatagramBuilder& Ip(const wchar_t* text) {
    auto* o = new CAsn1Object(ASN1_IP_ADDRESS);
    o->GetValue().SetIpAddress(text);
    return Add(o);
  }
  DatagramBuilder& Null() { return Add(new CAsn1Object(ASN1_NULL)); }
  // Header of a message: SEQUENCE, version, community, PDU.
  DatagramBuilder& Header(int64_t version, const std::wstring& community, uint8_t pdu) {
    return Open().Int(version).Str(community).Open(pdu);
  }
  // One binding SEQUENCE with its name and an INTEGER value.
  DatagramBuilder& Binding(const wchar_t* oid, int64_t value) { return Open().Oid(oid).Int(value).Close(); }

  Bytes Encode() {
    CBerEncoder encoder;
    if (!m_list.Encode(encoder)) return {};
    return EncodedBytes(encoder);
  }

 private:
  DatagramBuilder& Add(CAsn1Object* object) {
    m_list.Add(object);
    return *this;
  }
  CSnmpBase m_list;
};

// Loads the bytes into a decoder and decodes them into the frame.
inline bool DecodeInto(const Bytes& bytes, CSnmpFrameIn& frame) {
  CBerDecoder decoder;
  if (!decoder.Assign(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
  return DecodeDatagram(decoder, frame);
}
