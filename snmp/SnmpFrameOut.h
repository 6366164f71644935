// Outbound messages: one variable binding each.
//
// Layout: "Sequence 1", "Version", "Community", the PDU, "RequestId",
// "ErrorStatus", "ErrorIndex", "Sequence 3", "Sequence 4", "Oid", "Null"
// (or "Value", an OCTET STRING, in a SetRequest), then the four end markers.
// ErrorStatus and ErrorIndex are 0: read only in the requests, writable in
// the Response.
#pragma once

#include "snmp/SnmpBase.h"

class CSnmpFrameOut : public CSnmpBase {
 public:
  ~CSnmpFrameOut() override;

 protected:
  // The PDU's name and its end marker's name live for the whole run.
  CSnmpFrameOut(uint8_t pdu_code, const std::wstring* pdu_name, const std::wstring* pdu_end_name, bool set_request,
                bool errors_read_only);
};

class CSnmpGetRequestOut : public CSnmpFrameOut {
 public:
  CSnmpGetRequestOut();
};

class CSnmpGetNextRequestOut : public CSnmpFrameOut {
 public:
  CSnmpGetNextRequestOut();
};

class CSnmpSetRequestOut : public CSnmpFrameOut {
 public:
  CSnmpSetRequestOut();
};

class CSnmpResponseOut : public CSnmpFrameOut {
 public:
  CSnmpResponseOut();
};
