#include "cli/CliOutput.h"

#include "asn1/Asn1Type.h"
#include "kit/ZubConvertor.h"
#include "quillog/Quillog.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <cstdio>

namespace cli {

std::string Utf8(const std::wstring& text) { return quillog::WideToUtf8(text); }

std::wstring OctetText(const std::string& typed) {
  std::wstring out;
  out.reserve(typed.size());
  for (unsigned char c : typed) out.push_back(static_cast<wchar_t>(c));
  return out;
}

namespace {

// Sets *shown to the octets as text (true) or as hexadecimal pairs (false).
bool ShowOctets(const std::string& octets, std::string* shown) {
  if (IsReadableUtf8(octets)) {
    *shown = octets;
    return true;
  }
  static const char kDigits[] = "0123456789abcdef";
  shown->clear();
  shown->reserve(octets.size() * 3);
  for (size_t i = 0; i < octets.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(octets[i]);
    if (i != 0) shown->push_back(':');
    shown->push_back(kDigits[b >> 4]);
    shown->push_back(kDigits[b & 0x0F]);
  }
  return false;
}

// ShowOctets for a text of one character per octet; wider text is text.
bool ShowText(const std::wstring& text, std::string* shown) {
  std::string octets;
  octets.reserve(text.size());
  for (wchar_t c : text) {
    if (static_cast<uint32_t>(c) > 0xFF) {
      *shown = Utf8(text);
      return true;
    }
    octets.push_back(static_cast<char>(c));
  }
  return ShowOctets(octets, shown);
}

}  // namespace

std::string ShownOctets(const std::string& octets) {
  std::string shown;
  ShowOctets(octets, &shown);
  return shown;
}

std::string ShownText(const std::wstring& text) {
  std::string shown;
  ShowText(text, &shown);
  return shown;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out.push_back(c);
    }
  }
  return out + "\"";
}

std::string TsvField(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string Duration(uint64_t ticks) {
  const uint64_t days = ticks / 8640000;
  char clock[64];
  std::snprintf(clock, sizeof clock, "%02u:%02u:%02u.%03u", static_cast<unsigned>(ticks / 360000 % 24),
                static_cast<unsigned>(ticks / 6000 % 60), static_cast<unsigned>(ticks / 100 % 60),
                static_cast<unsigned>(ticks % 100 * 10));
  return (days != 0 ? std::to_string(days) + "d " : std::string()) + clock;
}

std::string TimeTicksText(uint64_t ticks) { return "(" + std::to_string(ticks) + ") " + Duration(ticks); }

std::string ValueText(const CAsn1Object& object, bool tsv, OidStyle style) {
  const CAsn1Value& value = object.GetValue();
  if (!tsv && style != OidStyle::Numeric && object.GetCode() == ASN1_OBJECT_IDENTIFIER && value.IsOidSet())
    return OidName(value.GetOid(), style);
  if (object.GetCode() == ASN1_OCTET_STRING) {
    const std::string octets = value.GetOctets();
    std::string shown;
    const bool text = octets.empty() ? ShowText(object.GetText(), &shown) : ShowOctets(octets, &shown);
    if (tsv) return TsvField(shown);
    return text ? Quoted(shown) : shown;
  }
  const std::string text = Utf8(object.GetText());
  if (tsv) return TsvField(text);
  if (object.GetCode() == ASN1_TIMETICKS) {
    if (value.IsIntegerSet()) return TimeTicksText(value.GetUnsigned());
    // A value typed into a simulator holds only its text.
    if (!text.empty() && text.size() <= 19 && text.find_first_not_of("0123456789") == std::string::npos)
      return TimeTicksText(std::stoull(text));
  }
  return text;
}

namespace {

// The type table's name in UTF-8, converted once per thread and type (an
// unknown type is logged each time it is met, as before).
const std::string& TypeName(uint8_t code) {
  thread_local std::array<std::string, 256> names;
  thread_local std::bitset<256> known;
  if (!known[code]) {
    names[code] = Utf8(GetTypeName(code));
    known[code] = names[code] != "Unknown type";
  }
  return names[code];
}

}  // namespace

std::string VariableLine(const CAsn1Oid& oid, const CAsn1Object& object, bool tsv, OidStyle style) {
  const std::string name = OidName(oid, tsv ? OidStyle::Numeric : style);
  const std::string& type = TypeName(object.GetCode());
  const std::string value = ValueText(object, tsv, style);
  std::string line;
  line.reserve(name.size() + type.size() + value.size() + 6);
  line += name;
  line += tsv ? "\t" : " = ";
  line += type;
  line += tsv ? "\t" : ": ";
  line += value;
  line += '\n';
  return line;
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
