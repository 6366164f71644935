// Inbound Response to a GetBulkRequest: the header and every variable
// binding, in order. An answer without bindings decodes (GetName and
// GetValue are then null).
#pragma once

#include "snmp/SnmpResponseIn.h"

#include <vector>

class CSnmpGetBulkResponseIn : public CSnmpResponseIn {
 public:
  CSnmpGetBulkResponseIn();
  ~CSnmpGetBulkResponseIn() override;
  bool Decode() override;

  // Binding names and values, in binding order (equal lengths).
  const std::vector<CAsn1Object*>& GetNames() const { return m_names; }
  const std::vector<CAsn1Object*>& GetValues() const { return m_values; }

 private:
  std::vector<CAsn1Object*> m_names;
  std::vector<CAsn1Object*> m_values;
};
