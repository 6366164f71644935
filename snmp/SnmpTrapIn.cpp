#include "snmp/SnmpTrapIn.h"

#include "quillog/Quillog.h"

CSnmpTrapIn::CSnmpTrapIn() = default;

CSnmpTrapIn::~CSnmpTrapIn() {
  m_names.clear();
  m_values.clear();
}

void CSnmpTrapIn::_reset() {
  m_enterprise = m_agent_address = m_generic_trap = m_specific_trap = m_time_stamp = nullptr;
  m_request_id = m_error_status = m_error_index = nullptr;
  m_names.clear();
  m_values.clear();
}

bool CSnmpTrapIn::_decode_fixed(size_t first, CAsn1Object** const targets[], size_t count) {
  for (size_t i = 0; i < count; ++i) {
    CAsn1Object* element = _element_or_log(first + i);
    if (element == nullptr) return false;
    *targets[i] = element;
  }
  return true;
}

// Bindings come in threes: the binding SEQUENCE, its name, its value.
bool CSnmpTrapIn::_decode_bindings(size_t start) {
  const size_t count = m_elements.size();
  size_t i = start;
  while (count > i) {
    if (count - i < 3) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad10 number (%d) of ASN.1 objects in trap", static_cast<int64_t>(count));
      return false;
    }
    m_names.push_back(m_elements[i + 1].get());
    m_values.push_back(m_elements[i + 2].get());
    i += 3;
  }
  if (i != count) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Bad10 number (%d) of ASN.1 objects in trap", static_cast<int64_t>(count));
    return false;
  }
  return true;
}

bool CSnmpTrapIn::Decode() {
  _reset();
  if (!_decode_header(true)) return false;
  const uint8_t code = m_pdu->GetCode();
  if (code != ASN1_PDU_TRAP_V1 && code != ASN1_PDU_TRAP_V2 && code != ASN1_PDU_INFORM) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Request identifier %d is not correct in trap", static_cast<int>(code));
    return false;
  }
  // The layout follows the version, not the PDU code.
  const int64_t version = m_version->GetValue().GetInteger();
  // An InformRequest exists only from SNMPv2c on.
  if (code == ASN1_PDU_INFORM && version != 1) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"An InformRequest in version %d", version);
    return false;
  }
  if (version == 0) {
    CAsn1Object** const fields[] = {&m_enterprise, &m_agent_address, &m_generic_trap, &m_specific_trap, &m_time_stamp};
    if (!_decode_fixed(4, fields, 5)) return false;
    if (!_decode_bindings(10)) return false;
    return true;
  }
  if (version == 1) {
    CAsn1Object** const fields[] = {&m_request_id, &m_error_status, &m_error_index};
    if (!_decode_fixed(4, fields, 3)) return false;
    return _decode_bindings(8);
  }
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unknown trap version (%d)", version);
  return false;
}

bool CSnmpTrapIn::IsInform() const { return m_pdu != nullptr && m_pdu->GetCode() == ASN1_PDU_INFORM; }

const wchar_t* CSnmpTrapIn::GenericTrapName(uint64_t generic) {
  static const wchar_t* const kNames[] = {
      L"coldStart",       L"warmStart",         L"linkDown", L"linkUp", L"authenticationFailure",
      L"egpNeighborLoss", L"enterpriseSpecific"};
  if (generic > 6) return L"unknownGeneric";
  return kNames[generic];
}

const wchar_t* CSnmpTrapIn::GetGenericTrapName() const {
  if (m_generic_trap == nullptr) return L"unknownGeneric";
  return GenericTrapName(m_generic_trap->GetValue().GetUnsigned());
}
