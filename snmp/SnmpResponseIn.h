// Inbound Response frames: the header plus the first variable binding.
#pragma once

#include "snmp/SnmpFrameIn.h"

class CSnmpResponseIn : public CSnmpFrameIn {
 public:
  ~CSnmpResponseIn() override;
  bool Decode() override;

  CAsn1Object* GetRequestId() const { return m_request_id; }
  CAsn1Object* GetErrorStatus() const { return m_error_status; }
  CAsn1Object* GetErrorIndex() const { return m_error_index; }
  // The first binding's name (OID) and value.
  CAsn1Object* GetName() const { return m_name; }
  CAsn1Object* GetValue() const { return m_value; }

  using CSnmpBase::GetErrorStatusName;
  // Name of the error status; "Bad ErrorStatus type" before a Decode.
  const wchar_t* GetErrorStatusName() const;

 protected:
  CSnmpResponseIn();

  CAsn1Object* m_request_id = nullptr;
  CAsn1Object* m_error_status = nullptr;
  CAsn1Object* m_error_index = nullptr;
  CAsn1Object* m_name = nullptr;
  CAsn1Object* m_value = nullptr;
};

class CSnmpGetResponseIn : public CSnmpResponseIn {
 public:
  CSnmpGetResponseIn();
};

class CSnmpGetNextResponseIn : public CSnmpResponseIn {
 public:
  CSnmpGetNextResponseIn();
};

class CSnmpSetResponseIn : public CSnmpResponseIn {
 public:
  CSnmpSetResponseIn();
};
