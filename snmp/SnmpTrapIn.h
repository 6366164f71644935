// Inbound SNMPv1 and SNMPv2c traps, and SNMPv2c InformRequests (read as
// SNMPv2c traps).
#pragma once

#include "snmp/SnmpFrameIn.h"

#include <vector>

class CSnmpTrapIn : public CSnmpFrameIn {
 public:
  CSnmpTrapIn();
  ~CSnmpTrapIn() override;
  bool Decode() override;

  // SNMPv1 fields.
  CAsn1Object* GetEnterprise() const { return m_enterprise; }
  CAsn1Object* GetAgentAddress() const { return m_agent_address; }
  CAsn1Object* GetGenericTrap() const { return m_generic_trap; }
  CAsn1Object* GetSpecificTrap() const { return m_specific_trap; }
  CAsn1Object* GetTimeStamp() const { return m_time_stamp; }
  // SNMPv2c fields.
  CAsn1Object* GetRequestId() const { return m_request_id; }
  CAsn1Object* GetErrorStatus() const { return m_error_status; }
  CAsn1Object* GetErrorIndex() const { return m_error_index; }
  // Binding names and values, in binding order (equal lengths).
  const std::vector<CAsn1Object*>& GetNames() const { return m_names; }
  const std::vector<CAsn1Object*>& GetValues() const { return m_values; }

  // An SNMPv2c InformRequest, which the receiver acknowledges.
  bool IsInform() const;

  // "coldStart" ... "enterpriseSpecific", "unknownGeneric".
  const wchar_t* GetGenericTrapName() const;
  static const wchar_t* GenericTrapName(uint64_t generic);

 private:
  void _reset();
  bool _decode_fixed(size_t first, CAsn1Object** const targets[], size_t count);
  bool _decode_bindings(size_t start);

  CAsn1Object* m_enterprise = nullptr;
  CAsn1Object* m_agent_address = nullptr;
  CAsn1Object* m_generic_trap = nullptr;
  CAsn1Object* m_specific_trap = nullptr;
  CAsn1Object* m_time_stamp = nullptr;
  CAsn1Object* m_request_id = nullptr;
  CAsn1Object* m_error_status = nullptr;
  CAsn1Object* m_error_index = nullptr;
  std::vector<CAsn1Object*> m_names;
  std::vector<CAsn1Object*> m_values;
};
