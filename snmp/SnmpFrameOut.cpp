#include "snmp/SnmpFrameOut.h"

#include <memory>

namespace {

// Element names shared by every outbound message (no copy per message).
struct Names {
  const std::wstring sequence1{L"Sequence 1"};
  const std::wstring version{L"Version"};
  const std::wstring community{L"Community"};
  const std::wstring request_id{L"RequestId"};
  const std::wstring error_status{L"ErrorStatus"};
  const std::wstring error_index{L"ErrorIndex"};
  const std::wstring sequence3{L"Sequence 3"};
  const std::wstring sequence4{L"Sequence 4"};
  const std::wstring oid{L"Oid"};
  const std::wstring null{L"Null"};
  const std::wstring value{L"Value"};
  const std::wstring end4{L"End sequence 4"};
  const std::wstring end3{L"End sequence 3"};
  const std::wstring end1{L"End sequence 1"};
};

const Names& TheNames() {
  static const Names names;
  return names;
}

struct PduNames {
  explicit PduNames(const wchar_t* pdu) : name(pdu), end(L"End sequence " + name) {}
  const std::wstring name;
  const std::wstring end;
};

}  // namespace

CSnmpFrameOut::CSnmpFrameOut(uint8_t pdu_code, const std::wstring* pdu_name, const std::wstring* pdu_end_name,
                             bool set_request, bool errors_read_only) {
  const Names& n = TheNames();
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE, &n.sequence1));
  Add(std::make_unique<CAsn1Object>(ASN1_INTEGER, &n.version));
  Add(std::make_unique<CAsn1Object>(ASN1_OCTET_STRING, &n.community));
  Add(std::make_unique<CAsn1Object>(pdu_code, pdu_name));
  Add(std::make_unique<CAsn1Object>(ASN1_INTEGER, &n.request_id));
  Add(std::make_unique<CAsn1Object>(ASN1_INTEGER, &n.error_status));
  Add(std::make_unique<CAsn1Object>(ASN1_INTEGER, &n.error_index));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE, &n.sequence3));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE, &n.sequence4));
  Add(std::make_unique<CAsn1Object>(ASN1_OBJECT_IDENTIFIER, &n.oid));
  if (set_request) {
    Add(std::make_unique<CAsn1Object>(ASN1_OCTET_STRING, &n.value));
  } else {
    Add(std::make_unique<CAsn1Object>(ASN1_NULL, &n.null));
  }
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE_END, &n.end4));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE_END, &n.end3));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE_END, pdu_end_name));
  Add(std::make_unique<CAsn1Object>(ASN1_SEQUENCE_END, &n.end1));
  SetInteger(n.error_status, 0, errors_read_only);
  SetInteger(n.error_index, 0, errors_read_only);
}

CSnmpFrameOut::~CSnmpFrameOut() = default;

namespace {
const PduNames& GetRequestNames() {
  static const PduNames names(L"Pdu_GetRequest");
  return names;
}
const PduNames& GetNextRequestNames() {
  static const PduNames names(L"Pdu_GetNextRequest");
  return names;
}
const PduNames& SetRequestNames() {
  static const PduNames names(L"Pdu_SetRequest");
  return names;
}
const PduNames& ResponseNames() {
  static const PduNames names(L"Pdu_Response");
  return names;
}
}  // namespace

CSnmpGetRequestOut::CSnmpGetRequestOut()
    : CSnmpFrameOut(ASN1_PDU_GET_REQUEST, &GetRequestNames().name, &GetRequestNames().end, false, true) {}

CSnmpGetNextRequestOut::CSnmpGetNextRequestOut()
    : CSnmpFrameOut(ASN1_PDU_GET_NEXT_REQUEST, &GetNextRequestNames().name, &GetNextRequestNames().end, false, true) {}

CSnmpSetRequestOut::CSnmpSetRequestOut()
    : CSnmpFrameOut(ASN1_PDU_SET_REQUEST, &SetRequestNames().name, &SetRequestNames().end, true, true) {}

CSnmpResponseOut::CSnmpResponseOut()
    : CSnmpFrameOut(ASN1_PDU_RESPONSE, &ResponseNames().name, &ResponseNames().end, false, false) {}
