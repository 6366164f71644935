// One variable handed by the walk, Get and Set workers to the walker view
// (MSG_VIEW_WALKER DATA codes). Made on the heap by the worker; the view
// that receives it owns it.
#pragma once

#include "asn1/Asn1Object.h"
#include "asn1/Asn1Oid.h"

#include <cstdint>

class CWalkerResult {
 public:
  CWalkerResult(uint32_t row, const CAsn1Oid& oid, const CAsn1Object& object)
      : m_row(row), m_oid(oid), m_object(object) {}

  uint32_t GetRow() const { return m_row; }
  const CAsn1Oid& GetOid() const { return m_oid; }
  const CAsn1Object& GetObject() const { return m_object; }

 private:
  uint32_t m_row;        // the walk's running number, or the view row of a Get / Set
  CAsn1Oid m_oid;        // the variable's OID
  CAsn1Object m_object;  // its type, length and value
};
