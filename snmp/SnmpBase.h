// An SNMP message held as a flat list of named ASN.1 elements.
//
// Constructed elements (SEQUENCE, PDUs) are followed by their children; in an
// outbound list each one's end is marked by an element of code 0xFF. The
// message owns its elements.
#pragma once

#include "asn1/Asn1Object.h"
#include "asn1/Asn1Oid.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CBerEncoder;

// Error status codes of a response, as numbered in the status name table.
enum SnmpErrorStatus : uint32_t {
  SNMP_ERROR_TOO_BIG = 1,
  SNMP_ERROR_NO_SUCH_NAME = 2,
  SNMP_ERROR_BAD_VALUE = 3,
  SNMP_ERROR_GEN_ERR = 5,
  SNMP_ERROR_WRONG_TYPE = 7,
  SNMP_ERROR_WRONG_VALUE = 10,
};

class CSnmpBase {
 public:
  CSnmpBase();
  virtual ~CSnmpBase();
  CSnmpBase(const CSnmpBase&) = delete;
  CSnmpBase& operator=(const CSnmpBase&) = delete;

  // Appends an element and takes ownership; null is refused.
  bool Add(CAsn1Object* element);
  bool Add(std::unique_ptr<CAsn1Object> element);
  // Deletes every element.
  void Clear();

  // Setters on the first element of that name; false when missing or refused.
  bool SetInteger(std::wstring_view name, int64_t value, bool read_only);
  bool SetText(std::wstring_view name, const std::wstring& text);
  bool SetOid(const CAsn1Oid& oid);
  // Gives the element named "Null" the type code and a value read from text.
  bool SetValue(uint8_t code, const std::wstring& text);

  // Encodes the whole list backward; the message is then the encoder's used
  // length of bytes from GetData().
  bool Encode(CBerEncoder& encoder);
  // Dumps every element when every bit of the mask is on.
  void Dump(uint32_t feature_mask) const;

  // "NoError" ... "InconsistentName", "Unknown ErrorStatus"; "Bad ErrorStatus
  // type" for an element that is not an INTEGER.
  static const wchar_t* GetErrorStatusName(const CAsn1Object& element);
  static const wchar_t* ErrorStatusName(int64_t status);

  size_t GetCount() const { return m_elements.size(); }
  CAsn1Object* GetAt(size_t index) const;
  CAsn1Object* Find(std::wstring_view name) const;

 protected:
  std::vector<std::unique_ptr<CAsn1Object>> m_elements;
};
