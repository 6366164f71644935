#include "cli/WalkFile.h"

#include <cctype>
#include <sstream>

namespace cli {
namespace {

std::wstring Octets(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) out += static_cast<wchar_t>(c);
  return out;
}

std::wstring Ascii(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Trim(const std::string& text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}

bool AllDigits(const std::string& text, bool allow_sign) {
  if (text.empty()) return false;
  size_t i = (allow_sign && text[0] == '-') ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

// The body of a quoted string that may go on over more lines; *end is set
// past the closing quote. False when the quote is never closed.
bool ReadQuoted(const std::vector<std::string>& lines, size_t* index, size_t start, std::string* out) {
  size_t i = *index;
  size_t pos = start;
  for (;;) {
    const std::string& line = lines[i];
    for (; pos < line.size(); ++pos) {
      const char c = line[pos];
      if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '"' || line[pos + 1] == '\\')) {
        *out += line[++pos];
      } else if (c == '"') {
        *index = i;
        return true;
      } else {
        *out += c;
      }
    }
    if (++i >= lines.size()) return false;
    *out += '\n';
    pos = 0;
  }
}

// Hex octets "0A 1B ..." possibly continued on the next lines.
bool ReadHex(const std::vector<std::string>& lines, size_t* index, const std::string& first, std::string* out) {
  auto take = [&](const std::string& text) {
    std::istringstream in(text);
    for (std::string pair; in >> pair;) {
      if (pair.size() != 2 || !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
          !std::isxdigit(static_cast<unsigned char>(pair[1])))
        return false;
      *out += static_cast<char>(std::stoi(pair, nullptr, 16));
    }
    return true;
  };
  if (!take(first)) return false;
  // Continuation lines hold only hex pairs.
  while (*index + 1 < lines.size()) {
    const std::string next = Trim(lines[*index + 1]);
    if (next.empty() || next[0] == '.' || next.find('=') != std::string::npos) break;
    std::string saved = *out;
    if (!take(next)) {
      *out = saved;
      break;
    }
    ++*index;
  }
  return true;
}

bool ParseValue(const std::vector<std::string>& lines, size_t* index, size_t rest_start, WalkValue* v,
                std::string* why) {
  const std::string rest = lines[*index].substr(rest_start);
  if (rest == "\"\"") {
    v->type = L"Octet String";
    return true;
  }
  const size_t colon = rest.find(": ");
  const std::string kind = colon == std::string::npos ? Trim(rest.substr(0, rest.size() - (rest.back() == ':' ? 1 : 0)))
                                                      : rest.substr(0, colon);
  const std::string body = colon == std::string::npos ? std::string() : rest.substr(colon + 2);
  const size_t body_start = colon == std::string::npos ? lines[*index].size() : rest_start + colon + 2;

  if (kind == "STRING") {
    v->type = L"Octet String";
    if (body.empty()) return true;
    if (body[0] != '"') {  // an unquoted display string
      v->value = Octets(body);
      return true;
    }
    std::string text;
    if (!ReadQuoted(lines, index, body_start + 1, &text)) {
      *why = "string without its closing quote";
      return false;
    }
    v->value = Octets(text);
    return true;
  }
  if (kind == "Hex-STRING") {
    v->type = L"Octet String";
    std::string bytes;
    if (!ReadHex(lines, index, body, &bytes)) {
      *why = "bad hexadecimal octets";
      return false;
    }
    v->value = Octets(bytes);
    return true;
  }
  if (kind == "INTEGER") {
    std::string number = Trim(body);
    const size_t open = number.rfind('(');
    if (open != std::string::npos && number.back() == ')') number = number.substr(open + 1, number.size() - open - 2);
    if (!AllDigits(number, true)) {
      *why = "bad INTEGER " + body;
      return false;
    }
    v->type = L"Integer";
    v->value = Ascii(number);
    return true;
  }
  if (kind == "OID") {
    std::string oid = Trim(body);
    if (!oid.empty() && oid[0] == '.') oid.erase(0, 1);
    v->type = L"Object Identifier";
    v->value = Ascii(oid);
    return true;
  }
  if (kind == "Timeticks") {
    const size_t open = body.find('(');
    const size_t close = body.find(')');
    const std::string ticks =
        open == std::string::npos || close == std::string::npos ? Trim(body) : body.substr(open + 1, close - open - 1);
    if (!AllDigits(ticks, false)) {
      *why = "bad Timeticks " + body;
      return false;
    }
    v->type = L"TimeTicks";
    v->value = Ascii(ticks);
    return true;
  }
  static const std::pair<const char*, const wchar_t*> kNumbers[] = {
      {"Counter32", L"Counter32"}, {"Gauge32", L"Gauge32"}, {"Counter64", L"Counter64"}};
  for (const auto& [name, type] : kNumbers) {
    if (kind != name) continue;
    const std::string number = Trim(body);
    if (!AllDigits(number, false)) {
      *why = "bad " + kind + " " + body;
      return false;
    }
    v->type = type;
    v->value = Ascii(number);
    return true;
  }
  if (kind == "IpAddress") {
    v->type = L"IP Address";
    v->value = Ascii(Trim(body));
    return true;
  }
  *why = "type " + kind + " is not read";
  return false;
}

}  // namespace

WalkFile ParseWalkFile(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  WalkFile file;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (Trim(line).empty()) continue;
    const size_t eq = line.find(" = ");
    if (line[0] != '.' || eq == std::string::npos) {
      file.problems.push_back("line " + std::to_string(i + 1) + ": not a variable");
      continue;
    }
    const std::string rest = line.substr(eq + 3);
    if (rest.rfind("No more variables", 0) == 0 || rest.rfind("No Such", 0) == 0) continue;
    WalkValue v;
    v.oid = Ascii(line.substr(1, eq - 1));
    v.line = i + 1;
    std::string why;
    if (!ParseValue(lines, &i, eq + 3, &v, &why)) {
      file.problems.push_back("line " + std::to_string(v.line) + ": " + why);
      continue;
    }
    file.values.push_back(std::move(v));
  }
  return file;
}

}  // namespace cli
