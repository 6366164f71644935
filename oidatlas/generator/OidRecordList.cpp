#include "oidatlas/generator/OidRecordList.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <ostream>
#include <set>
#include <utility>

namespace oidatlas::gen {

namespace {

constexpr size_t kMaxKeyLength = 1023;

struct Root {
  const char16_t* key;
  const char16_t* name;
};
constexpr Root kRoots[] = {{u"0", u"ccitt"}, {u"1", u"iso"}, {u"2", u"iso-ccitt"}};

bool HasControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

bool ParseLine(std::string_view text, uint32_t* line) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *line);
  return ec == std::errc() && end == text.data() + text.size();
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string CheckKey(std::string_view key) {
  if (key.empty()) return "empty OID";
  if (key.size() > kMaxKeyLength) return "OID longer than 1023 characters";
  size_t arcStart = 0;
  for (size_t i = 0; i <= key.size(); ++i) {
    if (i < key.size() && key[i] >= '0' && key[i] <= '9') continue;
    if (i < key.size() && key[i] != '.') return "OID holds a character that is neither a digit nor a dot";
    const size_t arcLength = i - arcStart;
    if (arcLength == 0) return "OID has an empty arc";
    if (arcLength > 1 && key[arcStart] == '0') return "OID arc has a leading zero";
    if (arcLength > 20) return "OID arc is too large";
    arcStart = i + 1;
  }
  const size_t firstEnd = key.find('.');
  const std::string_view first = key.substr(0, firstEnd);
  if (first != "0" && first != "1" && first != "2") return "OID's first arc is not 0, 1 or 2";
  return {};
}

bool Utf8ToUtf16(std::string_view in, std::u16string* out) {
  out->clear();
  size_t i = 0;
  while (i < in.size()) {
    const auto b0 = static_cast<unsigned char>(in[i]);
    size_t extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
      cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (extra > 0 && i + extra >= in.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(in[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(cp, &out);
  }
  return out;
}

bool KeyLess(const std::u16string& a, const std::u16string& b) {
  // std::u16string compares char16_t, an unsigned type: code-unit order.
  return a < b;
}

bool OidRecordList::Add(std::string_view key, std::string_view name, std::string_view module, uint32_t line,
                        std::string* error) {
  if (const std::string why = CheckKey(key); !why.empty()) {
    *error = why + " '" + std::string(key) + "'";
    return false;
  }
  if (name.empty()) {
    *error = "empty name for OID " + std::string(key);
    return false;
  }
  if (HasControl(name) || HasControl(module)) {
    *error = "control character in the name or module of OID " + std::string(key);
    return false;
  }
  OidRecordText r;
  r.line = line;
  if (!Utf8ToUtf16(key, &r.key) || !Utf8ToUtf16(name, &r.name) || !Utf8ToUtf16(module, &r.module)) {
    *error = "malformed UTF-8 in the record of OID " + std::string(key);
    return false;
  }
  m_records.push_back(std::move(r));
  return true;
}

bool OidRecordList::ReadTsv(std::istream& in, const std::string& source, std::string* error) {
  OidRecordList read;
  std::string line;
  size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = source + ":" + std::to_string(number) + ": ";
    const std::vector<std::string_view> f = SplitTabs(line);
    if (f.size() != 4) {
      *error = where + "expected 4 tab-separated fields (OID, name, module, line), found " + std::to_string(f.size());
      return false;
    }
    uint32_t defLine = 0;
    if (!ParseLine(f[3], &defLine)) {
      *error = where + "line number '" + std::string(f[3]) + "' is not an unsigned 32-bit number";
      return false;
    }
    std::string why;
    if (!read.Add(f[0], f[1], f[2], defLine, &why)) {
      *error = where + why;
      return false;
    }
  }
  if (in.bad()) {
    *error = source + ": read error";
    return false;
  }
  m_records.insert(m_records.end(), std::make_move_iterator(read.m_records.begin()),
                   std::make_move_iterator(read.m_records.end()));
  return true;
}

void OidRecordList::Finish() {
  std::vector<OidRecordText> all;
  all.reserve(m_records.size() + 3);
  for (const Root& root : kRoots) all.push_back({root.key, root.name, u"", 0});
  all.insert(all.end(), std::make_move_iterator(m_records.begin()), std::make_move_iterator(m_records.end()));
  std::set<std::pair<std::u16string, std::u16string>> seen;
  std::vector<OidRecordText> kept;
  kept.reserve(all.size());
  for (OidRecordText& r : all) {
    if (seen.emplace(r.key, r.module).second) kept.push_back(std::move(r));
  }
  std::stable_sort(kept.begin(), kept.end(),
                   [](const OidRecordText& a, const OidRecordText& b) { return KeyLess(a.key, b.key); });
  m_records = std::move(kept);
}

size_t ProbeIndex(size_t first, size_t end, size_t count) {
  size_t lo = 0;
  size_t hi = count;  // the terminator record, greater than every key
  while (lo <= hi) {
    const size_t mid = (lo + hi) / 2;
    if (mid < first) {
      lo = mid + 1;
    } else if (mid >= end) {
      hi = mid - 1;
    } else {
      return mid;
    }
  }
  return first;  // not reached for a run inside [0, count)
}

void OidRecordList::PlaceFirstOfEachRun() {
  for (size_t first = 0; first < m_records.size();) {
    size_t end = first + 1;
    while (end < m_records.size() && m_records[end].key == m_records[first].key) ++end;
    const size_t chosen = ProbeIndex(first, end, m_records.size());
    std::rotate(m_records.begin() + first, m_records.begin() + first + 1, m_records.begin() + chosen + 1);
    first = end;
  }
}

void OidRecordList::WriteTsv(std::ostream& out, const std::vector<std::string>& comments) const {
  for (const std::string& c : comments) out << "# " << c << '\n';
  out << "# OID\tname\tmodule\tline\n";
  for (const OidRecordText& r : m_records) {
    out << Utf16ToUtf8(r.key) << '\t' << Utf16ToUtf8(r.name) << '\t' << Utf16ToUtf8(r.module) << '\t' << r.line << '\n';
  }
}

}  // namespace oidatlas::gen
