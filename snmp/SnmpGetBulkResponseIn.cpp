#include "snmp/SnmpGetBulkResponseIn.h"

#include "quillog/Quillog.h"

namespace {

// The binding list's SEQUENCE, then each binding as SEQUENCE, name, value.
constexpr size_t kListAt = 7;
constexpr size_t kFirstBindingAt = 8;

}  // namespace

CSnmpGetBulkResponseIn::CSnmpGetBulkResponseIn() = default;

CSnmpGetBulkResponseIn::~CSnmpGetBulkResponseIn() = default;

bool CSnmpGetBulkResponseIn::Decode() {
  m_request_id = m_error_status = m_error_index = m_name = m_value = nullptr;
  m_names.clear();
  m_values.clear();
  if (!_decode_header(true)) return false;
  if (m_pdu->GetCode() != ASN1_PDU_RESPONSE) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Request identifier %d is not correct in GetBulkResponse",
             static_cast<int>(m_pdu->GetCode()));
    return false;
  }
  CAsn1Object** targets[] = {&m_request_id, &m_error_status, &m_error_index};
  for (size_t i = 0; i < 3; ++i) {
    *targets[i] = _element_or_log(4 + i);
    if (*targets[i] == nullptr) return false;
  }
  const CAsn1Object* list = _element_or_log(kListAt);
  if (list == nullptr) return false;
  if (list->GetCode() != ASN1_SEQUENCE) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad variable binding list in GetBulkResponse");
    return false;
  }
  const size_t count = m_elements.size();
  for (size_t i = kFirstBindingAt; i < count; i += 3) {
    if (count - i < 3 || m_elements[i]->GetCode() != ASN1_SEQUENCE ||
        m_elements[i + 1]->GetCode() != ASN1_OBJECT_IDENTIFIER) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad variable binding at ASN.1 object %d of %d in GetBulkResponse",
               static_cast<int64_t>(i + 1), static_cast<int64_t>(count));
      m_names.clear();
      m_values.clear();
      return false;
    }
    m_names.push_back(m_elements[i + 1].get());
    m_values.push_back(m_elements[i + 2].get());
  }
  if (!m_names.empty()) {
    m_name = m_names.front();
    m_value = m_values.front();
  }
  return true;
}
