#include "snmp/SnmpGetBulkRequestOut.h"

#include <memory>

namespace {

struct BulkNames {
  const std::wstring pdu{L"Pdu_GetBulkRequest"};
  const std::wstring pdu_end{L"End sequence Pdu_GetBulkRequest"};
  const std::wstring non_repeaters{L"NonRepeaters"};
  const std::wstring max_repetitions{L"MaxRepetitions"};
};

const BulkNames& TheBulkNames() {
  static const BulkNames names;
  return names;
}

// Where the error fields sit in every outbound list.
constexpr size_t kNonRepeatersAt = 5;
constexpr size_t kMaxRepetitionsAt = 6;

}  // namespace

CSnmpGetBulkRequestOut::CSnmpGetBulkRequestOut()
    : CSnmpFrameOut(ASN1_PDU_GET_BULK_REQUEST, &TheBulkNames().pdu, &TheBulkNames().pdu_end, false, false) {
  const BulkNames& n = TheBulkNames();
  m_elements[kNonRepeatersAt] = std::make_unique<CAsn1Object>(ASN1_INTEGER, &n.non_repeaters);
  m_elements[kMaxRepetitionsAt] = std::make_unique<CAsn1Object>(ASN1_INTEGER, &n.max_repetitions);
  SetInteger(n.non_repeaters, 0, false);
  SetInteger(n.max_repetitions, 0, false);
}
