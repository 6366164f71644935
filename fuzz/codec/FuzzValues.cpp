// Texts and values through the outbound path and back: a Response is filled
// with SetValue from arbitrary text, encoded, decoded, and must come back the
// same. Also the OID and dotted-address parsers.
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "asn1/IpAddress.h"
#include "snmp/SnmpFrameOut.h"
#include "snmp/SnmpResponseIn.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::wstring Latin1(const uint8_t* data, size_t size) { return std::wstring(data, data + size); }

void CheckOid(const std::wstring& text) {
  const CAsn1Oid oid{std::wstring_view(text)};
  const CAsn1Oid again{std::wstring_view(oid.GetText())};
  Require(again == oid);  // the text form parses back to the same arcs
}

void CheckAddress(const std::wstring& text) {
  const uint32_t address = IpAddress(text);
  if (address != IP_ADDRESS_FAILURE) Require(IpAddress(FormatIpAddress(address)) == address);
}

void CheckResponse(uint8_t code, const std::wstring& text) {
  CSnmpResponseOut out;
  Require(out.SetInteger(L"Version", 1, true));
  Require(out.SetText(L"Community", L"fuzz"));
  Require(out.SetInteger(L"RequestId", 77, true));
  Require(out.SetOid(CAsn1Oid(L"1.3.6.1.2.1.1.5.0")));
  if (!out.SetValue(code, text)) return;
  CBerEncoder encoder;
  if (!out.Encode(encoder)) return;
  Require(encoder.GetUsedLength() <= BER_BUFFER_SIZE);
  CBerDecoder decoder;
  Require(decoder.Assign(encoder.GetData(), encoder.GetUsedLength()));
  CSnmpGetResponseIn in;
  Require(DecodeDatagram(decoder, in));
  Require(decoder.GetUsedLength() == encoder.GetUsedLength());
  const CAsn1Value& sent = out.Find(L"Null")->GetValue();
  const CAsn1Value& got = in.GetValue()->GetValue();
  Require(in.GetValue()->GetCode() == code);
  switch (code) {
    case ASN1_INTEGER:
    case ASN1_COUNTER32:
    case ASN1_GAUGE32:
    case ASN1_TIMETICKS:
    case ASN1_COUNTER64:
      Require(got.GetInteger() == sent.GetInteger());
      Require(got.GetText() == sent.GetText());
      break;
    case ASN1_OBJECT_IDENTIFIER: Require(got.GetOid() == sent.GetOid()); break;
    case ASN1_IP_ADDRESS: Require(got.GetAddress() == sent.GetAddress()); break;
    case ASN1_BOOLEAN: Require(got.GetBoolean() == sent.GetBoolean()); break;
    default: break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return -1;
  const std::wstring text = Latin1(data + 1, size - 1);
  CheckOid(text);
  CheckAddress(text);
  CheckResponse(data[0], text);
  return 0;
}
