#include "asn1/Asn1Object.h"

#include "quillog/Quillog.h"

CAsn1Object::CAsn1Object(uint8_t code, std::wstring name) : m_type(code), m_name(std::move(name)) {}

CAsn1Object::CAsn1Object(uint8_t code, const std::wstring* static_name) : m_type(code), m_static_name(static_name) {}

std::wstring CAsn1Object::GetDumpText() const {
  std::wstring line = L"+ ";
  line += GetTypeName(m_type.GetCode());
  const std::wstring& name = GetName();
  if (!name.empty()) {
    line += L", name=\"";
    line += name;
    line += L"\"";
  }
  line += L", length=\"";
  line += m_length.GetText();
  line += L"\", value=\"";
  line += m_value.GetText();
  line += L"\"";
  return line;
}

void CAsn1Object::Dump(uint32_t feature_mask) const {
  if ((QuillogGetFeatureLevel() & feature_mask) != feature_mask) return;
  QuillogW(QUILLOG_INFO, feature_mask, L"%s", GetDumpText());
}
