#include "simulator/SimulatorEntry.h"

#include "asn1/Asn1Type.h"
#include "quillog/Quillog.h"

#include <algorithm>

int CompareOid(const std::vector<uint64_t>& left, const std::vector<uint64_t>& right) {
  return CAsn1Oid::Compare(left, right);
}

int CompareOid(const CAsn1Oid& left, const CAsn1Oid& right) { return CAsn1Oid::Compare(left.GetArcs(), right.GetArcs()); }

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
    case ASN1_COUNTER64:
      return true;
    default:
      return false;
  }
}

bool CSimulatorEntry::AddValue(const std::wstring& oid_text, const std::wstring& type_name,
                               const std::wstring& value_text) {
  CAsn1Oid oid(std::wstring_view{oid_text});
  uint8_t type = GetTypeCode(std::wstring_view{type_name});
  if (!IsAcceptedType(type)) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The type '%s' is not yet allowed", type_name);
    return false;
  }
  auto lock = LockValues();
  for (const CSimulatorValue& value : values) {
    if (value.oid == oid) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"Oid %s is already in the list of value, duplicate is rejected", oid_text);
      return false;
    }
  }
  if (values.size() >= max_values) {
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
