#include "snmp/SnmpResponseIn.h"

#include "quillog/Quillog.h"

CSnmpResponseIn::CSnmpResponseIn() = default;

CSnmpResponseIn::~CSnmpResponseIn() = default;

bool CSnmpResponseIn::Decode() {
  m_request_id = m_error_status = m_error_index = m_name = m_value = nullptr;
  if (!_decode_header(true)) return false;
  if (m_pdu->GetCode() != ASN1_PDU_RESPONSE) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Request identifier %d is not correct in GetNextResponse",
             static_cast<int>(m_pdu->GetCode()));
    return false;
  }
  // Bindings after the first stay in the list, unused.
  CAsn1Object** targets[] = {&m_request_id, &m_error_status, &m_error_index, &m_name, &m_value};
  const size_t indexes[] = {4, 5, 6, 9, 10};
  for (size_t i = 0; i < 5; ++i) {
    CAsn1Object* element = _element_or_log(indexes[i]);
    if (element == nullptr) return false;
    *targets[i] = element;
  }
  return true;
}

const wchar_t* CSnmpResponseIn::GetErrorStatusName() const {
  if (m_error_status == nullptr) return L"Bad ErrorStatus type";
  return CSnmpBase::GetErrorStatusName(*m_error_status);
}

CSnmpGetResponseIn::CSnmpGetResponseIn() = default;

CSnmpGetNextResponseIn::CSnmpGetNextResponseIn() = default;

CSnmpSetResponseIn::CSnmpSetResponseIn() = default;
