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

std::string DottedAddress(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

}  // namespace cli
