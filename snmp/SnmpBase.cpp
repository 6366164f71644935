#include "snmp/SnmpBase.h"

#include "asn1/BerEncoder.h"
#include "quillog/Quillog.h"

#include <limits>

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// Decimal text over the full 64-bit range: leading white space, optional
// sign, digits up to the first other character, no digits giving 0. The
// magnitude saturates at 2^64 - 1; a minus sign negates the 64-bit pattern.
struct Decimal {
  bool negative = false;
  uint64_t magnitude = 0;
};

Decimal ReadDecimal(const std::wstring& text) {
  Decimal d;
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    d.negative = text[i] == L'-';
    ++i;
  }
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - L'0');
    d.magnitude = (d.magnitude > (kMax - digit) / 10) ? kMax : d.magnitude * 10 + digit;
  }
  return d;
}

// INTEGER: signed, saturating at the signed 64-bit limits.
int64_t ReadSigned(const std::wstring& text) {
  const Decimal d = ReadDecimal(text);
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (!d.negative)
    return d.magnitude > kLimit ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(d.magnitude);
  if (d.magnitude > kLimit) return std::numeric_limits<int64_t>::min();
  return -static_cast<int64_t>(d.magnitude);
}

// Counter32, Gauge32, TimeTicks, Counter64: unsigned up to 2^64 - 1.
uint64_t ReadUnsigned(const std::wstring& text) {
  const Decimal d = ReadDecimal(text);
  return d.negative ? ~d.magnitude + 1 : d.magnitude;
}

const wchar_t* const kErrorStatusNames[] = {
    L"NoError",
    L"TooBig",
    L"NoSuchName",
    L"BadValue",
    L"ReadOnly",
    L"GenErr",
    L"NoAccess",
    L"WrongType",
    L"WrongLength",
    L"WrongEncoding",
    L"WrongValue",
    L"NoCreation",
    L"InconsistentValue",
    L"ResourceUnavailable",
    L"CommitFailed",
    L"UndoFailed",
    L"AuthorizationError",
    L"NotWritable",
    L"InconsistentName",
};

}  // namespace

CSnmpBase::CSnmpBase() { m_elements.reserve(16); }

CSnmpBase::~CSnmpBase() { Clear(); }

bool CSnmpBase::Add(CAsn1Object* element) { return Add(std::unique_ptr<CAsn1Object>(element)); }

bool CSnmpBase::Add(std::unique_ptr<CAsn1Object> element) {
  if (!element) return false;
  m_elements.push_back(std::move(element));
  return true;
}

void CSnmpBase::Clear() { m_elements.clear(); }

CAsn1Object* CSnmpBase::GetAt(size_t index) const {
  return index < m_elements.size() ? m_elements[index].get() : nullptr;
}

CAsn1Object* CSnmpBase::Find(std::wstring_view name) const {
  for (const auto& element : m_elements) {
    if (element->GetName() == name) return element.get();
  }
  return nullptr;
}

bool CSnmpBase::SetInteger(std::wstring_view name, int64_t value, bool read_only) {
  CAsn1Object* element = Find(name);
  return element != nullptr && element->GetValue().SetInteger(value, read_only);
}

bool CSnmpBase::SetText(std::wstring_view name, const std::wstring& text) {
  CAsn1Object* element = Find(name);
  return element != nullptr && element->GetValue().SetText(text);
}

bool CSnmpBase::SetOid(const CAsn1Oid& oid) {
  CAsn1Object* element = Find(L"Oid");
  return element != nullptr && element->GetValue().SetOid(oid);
}

// Numbers are read over the full 64-bit range: signed for INTEGER, unsigned
// (shown unsigned) for Counter32, Gauge32, TimeTicks and Counter64.
bool CSnmpBase::SetValue(uint8_t code, const std::wstring& text) {
  CAsn1Object* element = Find(L"Null");
  if (element == nullptr) return false;
  element->GetType().SetCode(code);
  CAsn1Value& value = element->GetValue();
  switch (code) {
    case ASN1_BOOLEAN: value.SetBoolean(!text.empty() && ReadSigned(text) != 0); return true;
    case ASN1_INTEGER: value.SetInteger(ReadSigned(text), true); return true;
    case ASN1_COUNTER32:
    case ASN1_GAUGE32:
    case ASN1_TIMETICKS:
    case ASN1_COUNTER64: value.SetUnsigned(ReadUnsigned(text), true); return true;
    case ASN1_BIT_STRING:
    case ASN1_OCTET_STRING:
    case ASN1_OPAQUE: value.SetText(text); return true;
    case ASN1_NULL:
    case ASN1_END_OF_MIB_VIEW: value.SetText(std::wstring()); return true;
    case ASN1_OBJECT_IDENTIFIER: value.SetOid(CAsn1Oid(std::wstring_view(text))); return true;
    case ASN1_IP_ADDRESS: value.SetIpAddress(text); return true;
    default: QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unknow type %s", GetTypeName(code)); return false;
  }
}

bool CSnmpBase::Encode(CBerEncoder& encoder) {
  for (size_t i = m_elements.size(); i > 0; --i) {
    CAsn1Object& element = *m_elements[i - 1];
    if (element.GetCode() == ASN1_SEQUENCE_END) {
      encoder.Push();
      continue;
    }
    if (element.GetType().IsConstructed()) {
      int64_t length = 0;
      if (!encoder.Pop(&length)) {
        QuillogW(QUILLOG_ERROR, QLF_NONE, L"CSnmpBase::Encode() ==> Unable to compute offset");
        return false;
      }
      element.GetLength().SetLength(length);
    }
    if (!element.GetValue().Build(element.GetType(), element.GetLength(), encoder)) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CSnmpBase::Encode() ==> Unable to write ASN.1 Value");
      return false;
    }
    if (!element.GetLength().Encode(encoder)) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CSnmpBase::Encode() ==> Unable to write ASN.1 Length");
      return false;
    }
    if (!element.GetType().Encode(encoder)) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CSnmpBase::Encode() ==> Unable to write ASN.1 Type");
      return false;
    }
  }
  return true;
}

void CSnmpBase::Dump(uint32_t feature_mask) const {
  if ((QuillogGetFeatureLevel() & feature_mask) != feature_mask) return;
  for (const auto& element : m_elements) element->Dump(feature_mask);
}

const wchar_t* CSnmpBase::ErrorStatusName(int64_t status) {
  constexpr int64_t kCount = sizeof(kErrorStatusNames) / sizeof(kErrorStatusNames[0]);
  if (status < 0 || status >= kCount) return L"Unknown ErrorStatus";
  return kErrorStatusNames[status];
}

const wchar_t* CSnmpBase::GetErrorStatusName(const CAsn1Object& element) {
  if (element.GetCode() != ASN1_INTEGER) return L"Bad ErrorStatus type";
  return ErrorStatusName(element.GetValue().GetInteger());
}
