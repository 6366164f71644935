#include "snmp/SnmpFrameOut.h"

#include <memory>

CSnmpFrameOut::CSnmpFrameOut(uint8_t pdu_code, const wchar_t* pdu_name, bool set_request, bool errors_read_only) {
  const std::wstring pdu(pdu_name);
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE, L"Sequence 1"));
  Add(std::make_unique<CAsn1Object>(ASN1_INTEGER, L"Version"));
  Add(std::make_unique<CAsn1Object>(ASN1_OCTET_STRING, L"Community"));
  Add(std::make_unique<CAsn1Object>(pdu_code, pdu));
  Add(std::make_unique<CAsn1Object>(ASN1_INTEGER, L"RequestId"));
  Add(std::make_unique<CAsn1Object>(ASN1_INTEGER, L"ErrorStatus"));
  Add(std::make_unique<CAsn1Object>(ASN1_INTEGER, L"ErrorIndex"));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE, L"Sequence 3"));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE, L"Sequence 4"));
  Add(std::make_unique<CAsn1Object>(ASN1_OBJECT_IDENTIFIER, L"Oid"));
  if (set_request) {
    Add(std::make_unique<CAsn1Object>(ASN1_OCTET_STRING, L"Value"));
  } else {
    Add(std::make_unique<CAsn1Object>(ASN1_NULL, L"Null"));
  }
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE_END, L"End sequence 4"));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE_END, L"End sequence 3"));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE_END, L"End sequence " + pdu));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE_END, L"End sequence 1"));
  SetInteger(L"ErrorStatus", 0, errors_read_only);
  SetInteger(L"ErrorIndex", 0, errors_read_only);
}

CSnmpFrameOut::~CSnmpFrameOut() = default;

CSnmpGetRequestOut::CSnmpGetRequestOut() : CSnmpFrameOut(ASN1_PDU_GET_REQUEST, L"Pdu_GetRequest", false, true) {}

CSnmpGetNextRequestOut::CSnmpGetNextRequestOut()
    : CSnmpFrameOut(ASN1_PDU_GET_NEXT_REQUEST, L"Pdu_GetNextRequest", false, true) {}

CSnmpSetRequestOut::CSnmpSetRequestOut() : CSnmpFrameOut(ASN1_PDU_SET_REQUEST, L"Pdu_SetRequest", true, true) {}

CSnmpResponseOut::CSnmpResponseOut() : CSnmpFrameOut(ASN1_PDU_RESPONSE, L"Pdu_Response", false, false) {}
