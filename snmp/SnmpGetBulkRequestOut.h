// Outbound GetBulkRequest (SNMPv2c): the layout of the other requests, with
// "NonRepeaters" and "MaxRepetitions" where they have the error fields.
#pragma once

#include "snmp/SnmpFrameOut.h"

class CSnmpGetBulkRequestOut : public CSnmpFrameOut {
 public:
  // Both counts start at 0 and stay writable.
  CSnmpGetBulkRequestOut();
};
