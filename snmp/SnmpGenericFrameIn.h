// Any inbound message: version, community and PDU only (agent requests).
#pragma once

#include "snmp/SnmpFrameIn.h"

class CSnmpGenericFrameIn : public CSnmpFrameIn {
 public:
  CSnmpGenericFrameIn();
  ~CSnmpGenericFrameIn() override;
  bool Decode() override;
};
