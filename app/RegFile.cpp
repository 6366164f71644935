#include "app/RegFile.h"

#include "quillog/QuillogFormat.h"

#include <cstdio>
#include <cwctype>

namespace {

const char kHeader[] = "REGEDIT4";

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = x - L'A' + L'a';
    if (y >= L'A' && y <= L'Z') y = y - L'A' + L'a';
    if (x != y) return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the
// closing quote.
bool ParseQuoted(const std::string& text, size_t* pos, std::string* out) {
  size_t i = *pos + 1;
  out->clear();
  while (i < text.size()) {
    char c = text[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= text.size()) return false;
      char n = text[i + 1];
      switch (n) {
        case '\\': out->push_back('\\'); break;
        case '"': out->push_back('"'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case '0': out->push_back('\0'); break;
        default: return false;
      }
      i += 2;
      continue;
    }
    out->push_back(c);
    ++i;
  }
  return false;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* out) {
  out->clear();
  std::string t = Trim(text);
  if (t.empty()) return true;
  size_t i = 0;
  while (true) {
    size_t start = i;
    unsigned value = 0;
    while (i < t.size() && HexDigit(t[i]) >= 0) {
      value = value * 16 + static_cast<unsigned>(HexDigit(t[i]));
      ++i;
    }
    size_t digits = i - start;
    if (digits < 1 || digits > 2) return false;
    out->push_back(static_cast<uint8_t>(value));
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    if (i == t.size()) return true;
    if (t[i] != ',') return false;
    ++i;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  }
}

bool ParseDword(const std::string& text, uint32_t* out) {
  std::string t = Trim(text);
  if (t.empty() || t.size() > 8) return false;
  uint32_t value = 0;
  for (char c : t) {
    int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<uint32_t>(d);
  }
  *out = value;
  return true;
}

// Parses what follows '=' in a value line.
bool ParseData(const std::string& data, RegValue* value, std::string* why) {
  if (!data.empty() && data[0] == '"') {
    size_t pos = 0;
    std::string text;
    if (!ParseQuoted(data, &pos, &text) || !Trim(data.substr(pos)).empty()) {
      *why = "bad string";
      return false;
    }
    value->type = REG_TYPE_SZ;
    value->text = quillog::Utf8ToWide(text);
    return true;
  }
  if (data.rfind("dword:", 0) == 0) {
    value->type = REG_TYPE_DWORD;
    if (!ParseDword(data.substr(6), &value->dword)) {
      *why = "bad dword";
      return false;
    }
    return true;
  }
  size_t colon = data.find(':');
  if (colon == std::string::npos) {
    *why = "unknown value form";
    return false;
  }
  std::string form = data.substr(0, colon);
  if (form == "hex") {
    value->type = REG_TYPE_BINARY;
  } else if (form.size() > 5 && form.rfind("hex(", 0) == 0 && form.back() == ')') {
    std::string num = form.substr(4, form.size() - 5);
    uint32_t type = 0;
    if (!ParseDword(num, &type)) {
      *why = "bad hex type";
      return false;
    }
    value->type = type;
  } else {
    *why = "unknown value form";
    return false;
  }
  if (!ParseHexBytes(data.substr(colon + 1), &value->bytes)) {
    *why = "bad hex bytes";
    return false;
  }
  return true;
}

std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size() + 2);
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\0': out += "\\0"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string HexList(const std::vector<uint8_t>& bytes, size_t prefix_len) {
  std::string out;
  size_t column = prefix_len;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
    out += buf;
    column += 2;
    if (i + 1 < bytes.size()) {
      out.push_back(',');
      ++column;
      if (column > 76) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  return out;
}

std::string SerializeValue(const RegValue& v) {
  std::string line = v.name.empty() ? "@" : "\"" + Escape(quillog::WideToUtf8(v.name)) + "\"";
  line.push_back('=');
  char buf[32];
  switch (v.type) {
    case REG_TYPE_SZ: return line + "\"" + Escape(quillog::WideToUtf8(v.text)) + "\"";
    case REG_TYPE_DWORD: std::snprintf(buf, sizeof buf, "dword:%08x", v.dword); return line + buf;
    case REG_TYPE_BINARY: line += "hex:"; return line + HexList(v.bytes, line.size());
    default:
      std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
      line += buf;
      return line + HexList(v.bytes, line.size());
  }
}

}  // namespace

bool CRegFile::Parse(const std::string& text, std::string* error) {
  m_keys.clear();
  std::string why;
  size_t line_no = 0;
  bool header = false;
  size_t pos = 0;
  auto fail = [&](const std::string& reason) {
    m_keys.clear();
    if (error) *error = "line " + std::to_string(line_no) + ": " + reason;
    return false;
  };
  if (text.find('\0') != std::string::npos) return fail("NUL byte in file");
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    // Continuation lines of hex lists (never of comments or key lines).
    auto continued = [](const std::string& l) {
      std::string t = Trim(l);
      return !t.empty() && t.back() == '\\' && t[0] != ';' && t[0] != '#' && t[0] != '[';
    };
    while (continued(line) && pos <= text.size()) {
      std::string t = Trim(line);
      t.pop_back();
      size_t next_end = text.find('\n', pos);
      if (next_end == std::string::npos) next_end = text.size();
      line = t + Trim(text.substr(pos, next_end - pos));
      pos = next_end + 1;
      ++line_no;
    }
    if (line_no == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (!header) {
      if (t != kHeader) return fail("missing REGEDIT4 header");
      header = true;
      continue;
    }
    if (t[0] == '[') {
      if (t.back() != ']' || t.size() < 3) return fail("bad key line");
      RegKey key;
      key.path = quillog::Utf8ToWide(t.substr(1, t.size() - 2));
      bool created = false;
      CreateKey(key.path, &created);
      continue;
    }
    if (m_keys.empty()) return fail("value outside a key");
    RegValue value;
    size_t eq;
    if (t[0] == '@') {
      eq = 1;
    } else if (t[0] == '"') {
      size_t p = 0;
      std::string name;
      if (!ParseQuoted(t, &p, &name)) return fail("bad value name");
      value.name = quillog::Utf8ToWide(name);
      eq = p;
    } else {
      return fail("unexpected line");
    }
    if (eq >= t.size() || t[eq] != '=') return fail("missing '='");
    if (!ParseData(Trim(t.substr(eq + 1)), &value, &why)) return fail(why);
    SetValue(&m_keys.back(), value);
  }
  if (!header) return fail("missing REGEDIT4 header");
  return true;
}

std::string CRegFile::Serialize() const {
  std::string out = kHeader;
  out += "\n";
  for (const RegKey& key : m_keys) {
    out += "\n[" + quillog::WideToUtf8(key.path) + "]\n";
    for (const RegValue& v : key.values) out += SerializeValue(v) + "\n";
  }
  return out;
}

RegKey* CRegFile::FindKey(const std::wstring& path) {
  for (RegKey& key : m_keys)
    if (EqualNoCase(key.path, path)) return &key;
  return nullptr;
}

const RegKey* CRegFile::FindKey(const std::wstring& path) const {
  for (const RegKey& key : m_keys)
    if (EqualNoCase(key.path, path)) return &key;
  return nullptr;
}

RegKey* CRegFile::CreateKey(const std::wstring& path, bool* created) {
  RegKey* key = FindKey(path);
  if (created) *created = key == nullptr;
  if (key) {
    // A key repeated later in the file continues there: move it last so
    // that following values land in it.
    if (key != &m_keys.back()) {
      RegKey moved = std::move(*key);
      m_keys.erase(m_keys.begin() + (key - m_keys.data()));
      m_keys.push_back(std::move(moved));
    }
    return &m_keys.back();
  }
  m_keys.push_back(RegKey{path, {}});
  return &m_keys.back();
}

RegValue* CRegFile::FindValue(RegKey* key, const std::wstring& name) {
  if (!key) return nullptr;
  for (RegValue& v : key->values)
    if (EqualNoCase(v.name, name)) return &v;
  return nullptr;
}

const RegValue* CRegFile::FindValue(const RegKey* key, const std::wstring& name) {
  if (!key) return nullptr;
  for (const RegValue& v : key->values)
    if (EqualNoCase(v.name, name)) return &v;
  return nullptr;
}

void CRegFile::SetValue(RegKey* key, const RegValue& value) {
  RegValue* existing = FindValue(key, value.name);
  if (existing) {
    std::wstring name = existing->name;
    *existing = value;
    existing->name = name;
    return;
  }
  key->values.push_back(value);
}

std::vector<uint8_t> CRegFile::WideToUtf16Le(const std::wstring& text, bool terminate) {
  std::vector<uint8_t> out;
  auto unit = [&out](uint32_t u) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  };
  for (wchar_t wc : text) {
    uint32_t c = static_cast<uint32_t>(wc);
    if (c > 0x10FFFF) c = 0xFFFD;
    if (c >= 0x10000) {
      c -= 0x10000;
      unit(0xD800 + (c >> 10));
      unit(0xDC00 + (c & 0x3FF));
    } else {
      unit(c);
    }
  }
  if (terminate) unit(0);
  return out;
}

std::wstring CRegFile::Utf16LeToWide(const std::vector<uint8_t>& bytes) {
  std::wstring out;
  size_t n = bytes.size() / 2;
  for (size_t i = 0; i < n; ++i) {
    uint32_t u = bytes[2 * i] | (bytes[2 * i + 1] << 8);
    if (u == 0) break;
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < n) {
      uint32_t low = bytes[2 * i + 2] | (bytes[2 * i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
    out.push_back(static_cast<wchar_t>(u));
  }
  return out;
}

std::vector<std::wstring> CRegFile::MultiSzStrings(const std::vector<uint8_t>& bytes) {
  std::vector<std::wstring> out;
  size_t n = bytes.size() / 2;
  size_t start = 0;
  for (size_t i = 0; i <= n; ++i) {
    bool end = i == n || (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0);
    if (!end) continue;
    if (i == start) break;  // empty string: end of the list
    std::vector<uint8_t> piece(bytes.begin() + 2 * start, bytes.begin() + 2 * i);
    out.push_back(Utf16LeToWide(piece));
    start = i + 1;
  }
  return out;
}
