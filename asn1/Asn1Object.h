// One ASN.1 element: type, length, value and a name.
#pragma once

#include "asn1/Asn1Length.h"
#include "asn1/Asn1Type.h"
#include "asn1/Asn1Value.h"

#include <cstdint>
#include <string>

class CAsn1Object {
 public:
  explicit CAsn1Object(uint8_t code = ASN1_NULL, std::wstring name = std::wstring());
  // A name that lives for the whole run (a constant list's names): shared,
  // not copied.
  CAsn1Object(uint8_t code, const std::wstring* static_name);
  virtual ~CAsn1Object() = default;
  CAsn1Object(const CAsn1Object&) = default;
  CAsn1Object& operator=(const CAsn1Object&) = default;

  CAsn1Type& GetType() { return m_type; }
  const CAsn1Type& GetType() const { return m_type; }
  CAsn1Length& GetLength() { return m_length; }
  const CAsn1Length& GetLength() const { return m_length; }
  CAsn1Value& GetValue() { return m_value; }
  const CAsn1Value& GetValue() const { return m_value; }
  const std::wstring& GetName() const { return m_static_name != nullptr ? *m_static_name : m_name; }
  void SetName(std::wstring name) {
    m_name = std::move(name);
    m_static_name = nullptr;
  }

  uint8_t GetCode() const { return m_type.GetCode(); }
  const std::wstring& GetText() const { return m_value.GetText(); }

  // The dump line: + <type>[, name="<name>"], length="<n>", value="<text>".
  std::wstring GetDumpText() const;
  // Logs the dump line at level Info when every bit of the mask is on.
  void Dump(uint32_t feature_mask) const;

 private:
  CAsn1Type m_type;
  CAsn1Length m_length;
  CAsn1Value m_value;
  std::wstring m_name;
  const std::wstring* m_static_name = nullptr;
};
