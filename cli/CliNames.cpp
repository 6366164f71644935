#include "cli/CliNames.h"

#include "cli/CliOutput.h"
#include "oidatlas/OidAtlas.h"
#include "oidatlas/OidNames.h"

#include <charconv>
#include <set>

namespace cli {
namespace {

std::u16string Units(const CAsn1Oid& oid) {
  std::u16string units;
  for (size_t i = 0; i < oid.GetCount(); ++i) {
    if (i != 0) units.push_back(u'.');
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, oid.GetAt(i)).ptr;
    units.append(digits, end);
  }
  return units;
}

// A table text in UTF-8; MIB names are ASCII, so that is the quick way.
void AppendNarrow(std::string* out, const char16_t* text) {
  const char16_t* p = text;
  for (; *p != 0 && *p < 0x80; ++p) out->push_back(static_cast<char>(*p));
  if (*p == 0) return;
  std::wstring wide;
  for (; *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) c = 0x10000 + ((c - 0xD800) << 10) + (*++p - 0xDC00);
    wide.push_back(static_cast<wchar_t>(c));
  }
  *out += Utf8(wide);
}

bool IsDotted(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace

std::optional<OidStyle> ReadOidStyle(const ParsedArgs& args) {
  if (!args.Has("-O")) return OidStyle::Module;
  const std::string v = args.Get("-O");
  if (v == "n") return OidStyle::Numeric;
  if (v == "s") return OidStyle::Short;
  return std::nullopt;
}

std::string OidName(const CAsn1Oid& oid, OidStyle style) {
  if (style == OidStyle::Numeric || oid.IsEmpty()) return Utf8(oid.GetText());
  const std::u16string key = Units(oid);
  const char16_t* name = OidAtlas_Translate(key.c_str());
  if (name == nullptr) return Utf8(oid.GetText());
  std::string out;
  if (style == OidStyle::Module) {
    const char16_t* module = OidAtlas_MibModule(key.c_str());
    if (module != nullptr && *module != 0) {
      AppendNarrow(&out, module);
      out += "::";
    }
  }
  AppendNarrow(&out, name);
  return out;
}

std::optional<std::string> ResolveOid(const std::string& text, CAsn1Oid* oid) {
  if (IsDotted(text) || (text.size() > 1 && text[0] == '.' && IsDotted(text.substr(1)))) {
    if (ParseOid(text, oid)) return std::nullopt;
    return "bad OID " + text;
  }
  std::string module;
  std::string rest = text;
  if (const size_t colons = text.find("::"); colons != std::string::npos) {
    module = text.substr(0, colons);
    rest = text.substr(colons + 2);
  }
  const size_t dot = rest.find('.');
  const std::string name = rest.substr(0, dot);
  const std::string arcs = dot == std::string::npos ? std::string() : rest.substr(dot);
  if (name.empty() || (module.empty() && text.find("::") != std::string::npos) ||
      (!arcs.empty() && !IsDotted(arcs.substr(1))))
    return "bad OID " + text;
  const std::vector<oidatlas::NamedOid> found = oidatlas::FindByName(name, module);
  if (found.empty()) return "unknown name " + (module.empty() ? name : module + "::" + name);
  std::set<std::string> keys;
  for (const auto& f : found) keys.insert(f.oid);
  if (keys.size() > 1) {
    std::string candidates;
    for (const auto& f : found) {
      candidates += (candidates.empty() ? "" : ", ") + (f.module.empty() ? "" : f.module + "::") + name + " (" + f.oid + ")";
    }
    return name + " is ambiguous: " + candidates;
  }
  if (ParseOid(found.front().oid + arcs, oid)) return std::nullopt;
  return "bad OID " + text;
}

}  // namespace cli
