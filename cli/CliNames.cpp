#include "cli/CliNames.h"

#include "cli/CliOutput.h"
#include "oidatlas/OidNames.h"

#include <cctype>
#include <charconv>
#include <set>

namespace cli {
namespace {

// The OID in dotted decimal, appended to *out.
void AppendDotted(std::string* out, const CAsn1Oid& oid) {
  char digits[24];
  for (size_t i = 0; i < oid.GetCount(); ++i) {
    if (i != 0) out->push_back('.');
    const char* end = std::to_chars(digits, digits + sizeof digits, oid.GetAt(i)).ptr;
    out->append(digits, static_cast<size_t>(end - digits));
  }
}

// A table text in UTF-8; MIB names are ASCII, so that is the quick way.
void AppendNarrow(std::string* out, const char16_t* text) {
  size_t ascii = 0;
  while (text[ascii] != 0 && text[ascii] < 0x80) ++ascii;
  const size_t start = out->size();
  out->resize(start + ascii);
  for (size_t i = 0; i < ascii; ++i) (*out)[start + i] = static_cast<char>(text[i]);
  const char16_t* p = text + ascii;
  if (*p == 0) return;
  std::wstring wide;
  for (; *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (*++p - 0xDC00);
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
  if (oid.IsEmpty()) return Utf8(oid.GetText());
  std::string dotted;
  dotted.reserve(oid.GetCount() * 4);
  AppendDotted(&dotted, oid);
  if (style == OidStyle::Numeric) return dotted;
  const std::u16string key(dotted.begin(), dotted.end());
  const oidatlas::KnownName known = oidatlas::FindBestKnownName(key.c_str());
  if (known.name == nullptr) return dotted;
  std::string out;
  out.reserve(64 + dotted.size() - known.matched);
  if (style == OidStyle::Module && *known.module != 0) {
    AppendNarrow(&out, known.module);
    out += "::";
  }
  AppendNarrow(&out, known.name);
  out.append(dotted, known.matched);  // the arcs past the name
  return out;
}

bool IsOidName(const std::string& text) {
  return text.find("::") != std::string::npos || (!text.empty() && std::isalpha(static_cast<unsigned char>(text[0])));
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
      candidates +=
          (candidates.empty() ? "" : ", ") + (f.module.empty() ? "" : f.module + "::") + name + " (" + f.oid + ")";
    }
    return name + " is ambiguous: " + candidates;
  }
  if (ParseOid(found.front().oid + arcs, oid)) return std::nullopt;
  return "bad OID " + text;
}

}  // namespace cli
