#include "cli/CliOutput.h"

#include "asn1/Asn1Type.h"
#include "quillog/Quillog.h"

namespace cli {

std::string Utf8(const std::wstring& text) { return quillog::WideToUtf8(text); }

std::string VariableLine(const CAsn1Oid& oid, const CAsn1Object& object, bool tsv) {
  const std::string name = Utf8(oid.GetText());
  const std::string type = Utf8(GetTypeName(object.GetCode()));
  const std::string value = Utf8(object.GetText());
  if (tsv) return name + "\t" + type + "\t" + value + "\n";
  return name + " = " + type + ": " + value + "\n";
}

bool ParseOid(const std::string& text, CAsn1Oid* oid) {
  const std::string dotted = (!text.empty() && text[0] == '.') ? text.substr(1) : text;
  if (dotted.empty() || dotted.find_first_not_of("0123456789.") != std::string::npos) return false;
  oid->Parse(quillog::Utf8ToWide(dotted));
  return oid->GetText() == quillog::Utf8ToWide(dotted) && oid->Check();
}

bool InSubtree(const CAsn1Oid& oid, const CAsn1Oid& root) {
  if (oid.GetCount() < root.GetCount()) return false;
  for (size_t i = 0; i < root.GetCount(); ++i)
    if (oid.GetAt(i) != root.GetAt(i)) return false;
  return true;
}

std::string DottedAddress(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

}  // namespace cli
