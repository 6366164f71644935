#include "simulator/SimulatorEntry.h"

#include "asn1/Asn1Type.h"
#include "quillog/Quillog.h"

#include <algorithm>
#include <limits>
#include <string_view>

void CSimulatorEntry::Reset() {
  {
    auto lock = LockValues();
    values.clear();
  }
  path.clear();
  name.clear();
  description.clear();
  kind = KindNone;
  running = false;
  root = false;
  tree_item = 0;
  loaded = false;
  recv_port = 0;
  recv_community.clear();
  recv_version1 = false;
  recv_version2c = false;
  send_port = 0;
  send_community.clear();
  send_to_last_requester = false;
  send_address = 0;
  parent = nullptr;
  children.clear();
}

bool CSimulatorEntry::IsAcceptedType(uint8_t type) {
  switch (type) {
    case ASN1_BOOLEAN:
    case ASN1_INTEGER:
    case ASN1_OCTET_STRING:
    case ASN1_NULL:
    case ASN1_OBJECT_IDENTIFIER:
    case ASN1_IP_ADDRESS:
    case ASN1_COUNTER32:
    case ASN1_GAUGE32:
    case ASN1_TIMETICKS:
    case ASN1_OPAQUE:
    case ASN1_COUNTER64: return true;
    default: return false;
  }
}

namespace {

// Decimal digits only, at most `max`.
bool ReadDecimal(std::wstring_view digits, uint64_t max, uint64_t* value) {
  if (digits.empty()) return false;
  uint64_t number = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - L'0');
    if (number > (max - digit) / 10) return false;
    number = number * 10 + digit;
  }
  *value = number;
  return true;
}

bool IsSignedDecimal(const std::wstring& text) {
  constexpr uint64_t kLargest = std::numeric_limits<int64_t>::max();
  uint64_t magnitude = 0;
  if (!text.empty() && text[0] == L'-') return ReadDecimal(std::wstring_view(text).substr(1), kLargest + 1, &magnitude);
  return ReadDecimal(text, kLargest, &magnitude);
}

bool IsUnsignedDecimal(const std::wstring& text, uint64_t max) {
  uint64_t value = 0;
  return ReadDecimal(text, max, &value);
}

// Four dot-separated decimal fields of at most 255 (an empty field is 0), as
// IpAddress reads them without a complaint.
bool IsDottedAddress(const std::wstring& text) {
  int fields = 1;
  uint32_t field = 0;
  for (wchar_t c : text) {
    if (c == L'.') {
      if (++fields > 4) return false;
      field = 0;
    } else if (c >= L'0' && c <= L'9') {
      field = field * 10 + static_cast<uint32_t>(c - L'0');
      if (field > 255) return false;
    } else {
      return false;
    }
  }
  return fields == 4;
}

}  // namespace

std::wstring CSimulatorEntry::CheckOidText(const std::wstring& text) {
  size_t count = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t dot = text.find(L'.', start);
    if (dot == std::wstring::npos) dot = text.size();
    const std::wstring_view token = std::wstring_view(text).substr(start, dot - start);
    start = dot + 1;
    if (token.empty()) continue;
    if (token.find_first_not_of(L"0123456789") != std::wstring_view::npos) return L"it is not a dotted decimal OID";
    uint64_t arc = 0;
    if (!ReadDecimal(token, kMaxArc, &arc)) return L"an arc is above 4294967295";
    if (++count > kMaxArcs) return L"it has more than 128 arcs";
    if (count == 1 && arc > 2) return L"its first arc is above 2";
    if (count == 2 && arc > 39) return L"its second arc is above 39";
  }
  if (count < 2) return L"it has fewer than 2 arcs";
  return {};
}

std::wstring CSimulatorEntry::CheckValueText(uint8_t type, const std::wstring& text) {
  switch (type) {
    case ASN1_BOOLEAN:
      if (text == L"true" || text == L"false" || IsSignedDecimal(text)) return {};
      return L"it is neither true, false nor a decimal number";
    case ASN1_INTEGER:
      if (IsSignedDecimal(text)) return {};
      return L"it is not a decimal number from -9223372036854775808 to 9223372036854775807";
    case ASN1_COUNTER32:
    case ASN1_GAUGE32:
    case ASN1_TIMETICKS:
      if (IsUnsignedDecimal(text, 0xFFFFFFFF)) return {};
      return L"it is not a decimal number from 0 to 4294967295";
    case ASN1_COUNTER64:
      if (IsUnsignedDecimal(text, std::numeric_limits<uint64_t>::max())) return {};
      return L"it is not a decimal number from 0 to 18446744073709551615";
    case ASN1_OCTET_STRING:
    case ASN1_OPAQUE:
      for (wchar_t c : text) {
        if (static_cast<uint32_t>(c) > 0xFF) return L"a character is above U+00FF, the largest octet";
      }
      return {};
    case ASN1_NULL: return {};
    case ASN1_OBJECT_IDENTIFIER: return CheckOidText(text);
    case ASN1_IP_ADDRESS:
      if (IsDottedAddress(text)) return {};
      return L"it is not a dotted IPv4 address";
    default: return L"a simulator does not hold this type";
  }
}

bool CSimulatorEntry::AddValue(const std::wstring& oid_text, const std::wstring& type_name,
                               const std::wstring& value_text) {
  return _add_value(oid_text, type_name, value_text, true);
}

bool CSimulatorEntry::AddStoredValue(const std::wstring& oid_text, const std::wstring& type_name,
                                     const std::wstring& value_text) {
  return _add_value(oid_text, type_name, value_text, false);
}

bool CSimulatorEntry::_add_value(const std::wstring& oid_text, const std::wstring& type_name,
                                 const std::wstring& value_text, bool within_limit) {
  if (const std::wstring why = CheckOidText(oid_text); !why.empty()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Oid %s is not a valid OID (%s), the value is rejected", oid_text, why);
    return false;
  }
  CAsn1Oid oid(std::wstring_view{oid_text});
  uint8_t type = GetTypeCode(std::wstring_view{type_name});
  if (!IsAcceptedType(type)) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The type '%s' is not yet allowed", type_name);
    return false;
  }
  if (const std::wstring why = CheckValueText(type, value_text); !why.empty()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The value '%s' of Oid %s is not a valid %s (%s), it is rejected", value_text,
             oid_text, type_name, why);
    return false;
  }
  auto lock = LockValues();
  for (const CSimulatorValue& value : values) {
    if (value.oid == oid) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Oid %s is already in the list of value, duplicate is rejected", oid_text);
      return false;
    }
  }
  if (within_limit && values.size() >= max_values) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Maximum number of values is reached, ignoring new value");
    return false;
  }
  CSimulatorValue value;
  value.oid = std::move(oid);
  value.type = type;
  value.value = value_text;
  values.push_back(std::move(value));
  return true;
}

void CSimulatorEntry::SortValues() {
  auto lock = LockValues();
  std::stable_sort(values.begin(), values.end(),
                   [](const CSimulatorValue& a, const CSimulatorValue& b) { return a.oid < b.oid; });
}

size_t CSimulatorEntry::GetValueCount() const {
  auto lock = LockValues();
  return values.size();
}
