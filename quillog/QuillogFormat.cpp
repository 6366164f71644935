#include "quillog/QuillogFormat.h"

#include <cwchar>

namespace quillog {
namespace {

constexpr const wchar_t* kBadArg = L"<?>";
constexpr const wchar_t* kMissing = L"<missing>";

struct Spec {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool alt = false;
  bool zero = false;
  int width = 0;
  int precision = -1;
  wchar_t conv = 0;
};

void Pad(std::wstring& out, std::wstring_view body, const Spec& spec) {
  const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
  if (body.size() >= width) {
    out.append(body);
    return;
  }
  const size_t fill = width - body.size();
  if (spec.left) {
    out.append(body);
    out.append(fill, L' ');
  } else {
    out.append(fill, L' ');
    out.append(body);
  }
}

// Integer conversions: sign and prefix, precision as minimum digits, then
// zero or space padding.
void PutInteger(std::wstring& out, uint64_t magnitude, bool negative, const Spec& spec) {
  unsigned base = 10;
  if (spec.conv == L'x' || spec.conv == L'X') base = 16;
  if (spec.conv == L'o') base = 8;
  const wchar_t* digits = spec.conv == L'X' ? L"0123456789ABCDEF" : L"0123456789abcdef";

  std::wstring number;
  for (uint64_t v = magnitude; v != 0; v /= base) number.insert(number.begin(), digits[v % base]);
  if (number.empty() && spec.precision != 0) number = L"0";
  if (spec.precision > 0 && number.size() < static_cast<size_t>(spec.precision))
    number.insert(0, static_cast<size_t>(spec.precision) - number.size(), L'0');

  std::wstring prefix;
  if (negative) {
    prefix = L"-";
  } else if (spec.conv == L'd' || spec.conv == L'i') {
    if (spec.plus)
      prefix = L"+";
    else if (spec.space)
      prefix = L" ";
  }
  if (spec.alt && magnitude != 0) {
    if (base == 16) prefix += spec.conv == L'X' ? L"0X" : L"0x";
    if (base == 8 && number.front() != L'0') number.insert(0, 1, L'0');
  }

  const size_t len = prefix.size() + number.size();
  if (spec.zero && !spec.left && spec.precision < 0 && static_cast<size_t>(spec.width) > len)
    number.insert(0, static_cast<size_t>(spec.width) - len, L'0');
  Pad(out, prefix + number, spec);
}

// Reads an argument for a signed conversion: an unsigned value is taken
// with its own width, as the C library would (0xFFFFFFFF prints -1).
bool SignedValue(const FormatArg& arg, int64_t* value) {
  if (arg.kind() == FormatArg::Kind::Signed) {
    *value = arg.as_signed();
    return true;
  }
  if (arg.kind() != FormatArg::Kind::Unsigned) return false;
  const uint64_t u = arg.as_unsigned();
  const int bits = arg.bits();
  if (bits >= 64) {
    *value = static_cast<int64_t>(u);
  } else {
    const uint64_t sign = uint64_t{1} << (bits - 1);
    *value = (u & sign) ? static_cast<int64_t>(u | ~((sign << 1) - 1)) : static_cast<int64_t>(u);
  }
  return true;
}

// Reads an argument for an unsigned conversion: a negative value is taken
// as its bit pattern at its own width (-1 as int prints ffffffff).
bool UnsignedValue(const FormatArg& arg, uint64_t* value) {
  if (arg.kind() == FormatArg::Kind::Unsigned) {
    *value = arg.as_unsigned();
    return true;
  }
  if (arg.kind() != FormatArg::Kind::Signed) return false;
  const uint64_t u = static_cast<uint64_t>(arg.as_signed());
  *value = arg.bits() >= 64 ? u : (u & ((uint64_t{1} << arg.bits()) - 1));
  return true;
}

void PutString(std::wstring& out, std::wstring_view text, const Spec& spec) {
  if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision))
    text = text.substr(0, static_cast<size_t>(spec.precision));
  Pad(out, text, spec);
}

void PutDouble(std::wstring& out, double value, const Spec& spec) {
  std::wstring fmt = L"%";
  if (spec.left) fmt += L'-';
  if (spec.plus) fmt += L'+';
  if (spec.space) fmt += L' ';
  if (spec.alt) fmt += L'#';
  if (spec.zero) fmt += L'0';
  if (spec.width > 0) fmt += std::to_wstring(spec.width);
  if (spec.precision >= 0) fmt += L'.' + std::to_wstring(spec.precision > 100 ? 100 : spec.precision);
  fmt += spec.conv;
  wchar_t buffer[512];
  const int n = std::swprintf(buffer, 512, fmt.c_str(), value);
  out.append(n > 0 ? std::wstring_view(buffer, static_cast<size_t>(n)) : std::wstring_view(kBadArg));
}

void PutArgument(std::wstring& out, const FormatArg& arg, const Spec& spec) {
  switch (spec.conv) {
    case L'd':
    case L'i': {
      int64_t v = 0;
      if (!SignedValue(arg, &v)) break;
      const uint64_t magnitude = v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
      return PutInteger(out, magnitude, v < 0, spec);
    }
    case L'u':
    case L'x':
    case L'X':
    case L'o': {
      uint64_t v = 0;
      if (!UnsignedValue(arg, &v)) break;
      return PutInteger(out, v, false, spec);
    }
    case L'c':
    case L'C': {
      uint64_t v = 0;
      if (!UnsignedValue(arg, &v) || v > 0x10FFFF) break;
      return Pad(out, std::wstring(1, static_cast<wchar_t>(v)), spec);
    }
    case L's':
      if (arg.kind() != FormatArg::Kind::Wide) break;
      return PutString(out, arg.is_null_string() ? std::wstring_view(L"(null)") : arg.wide(), spec);
    case L'S':
      if (arg.kind() != FormatArg::Kind::Narrow) break;
      return PutString(out, arg.is_null_string() ? std::wstring(L"(null)") : Utf8ToWide(arg.narrow()), spec);
    case L'p': {
      if (arg.kind() != FormatArg::Kind::Pointer) break;
      Spec hex = spec;
      hex.conv = L'x';
      hex.alt = true;
      return PutInteger(out, reinterpret_cast<uintptr_t>(arg.pointer()), false, hex);
    }
    case L'e':
    case L'E':
    case L'f':
    case L'F':
    case L'g':
    case L'G':
      if (arg.kind() != FormatArg::Kind::Double) break;
      return PutDouble(out, arg.as_double(), spec);
    default: break;
  }
  out.append(kBadArg);
}

bool IsLengthChar(wchar_t c) {
  return c == L'h' || c == L'l' || c == L'L' || c == L'z' || c == L'j' || c == L't' || c == L'q' || c == L'w';
}

}  // namespace

std::wstring FormatV(const wchar_t* format, const FormatArg* args, size_t count) {
  std::wstring out;
  if (format == nullptr) return out;
  size_t next = 0;
  auto take = [&]() -> const FormatArg* { return next < count ? &args[next++] : nullptr; };
  auto take_int = [&](int* value) {
    const FormatArg* a = take();
    int64_t v = 0;
    if (a != nullptr && SignedValue(*a, &v)) *value = static_cast<int>(v);
  };

  for (const wchar_t* p = format; *p != 0; ++p) {
    if (*p != L'%') {
      out += *p;
      continue;
    }
    const wchar_t* start = p++;
    if (*p == L'%') {
      out += L'%';
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == L'-')
        spec.left = true;
      else if (*p == L'+')
        spec.plus = true;
      else if (*p == L' ')
        spec.space = true;
      else if (*p == L'#')
        spec.alt = true;
      else if (*p == L'0')
        spec.zero = true;
      else
        break;
    }
    if (*p == L'*') {
      take_int(&spec.width);
      if (spec.width < 0) {
        spec.left = true;
        spec.width = -spec.width;
      }
      ++p;
    } else {
      while (*p >= L'0' && *p <= L'9') spec.width = spec.width * 10 + (*p++ - L'0');
    }
    if (*p == L'.') {
      ++p;
      spec.precision = 0;
      if (*p == L'*') {
        take_int(&spec.precision);
        ++p;
      } else {
        while (*p >= L'0' && *p <= L'9') spec.precision = spec.precision * 10 + (*p++ - L'0');
      }
    }
    if (spec.width > 4096) spec.width = 4096;
    if (spec.precision > 4096) spec.precision = 4096;
    for (;;) {
      if (IsLengthChar(*p)) {
        ++p;
      } else if (*p == L'I' && ((p[1] == L'6' && p[2] == L'4') || (p[1] == L'3' && p[2] == L'2'))) {
        p += 3;
      } else if (*p == L'I') {
        ++p;
      } else {
        break;
      }
    }
    if (*p == 0) {  // a format that ends inside a conversion is copied as it stands
      out.append(start);
      break;
    }
    spec.conv = *p;
    const FormatArg* arg = take();
    if (arg == nullptr) {
      out.append(kMissing);
      continue;
    }
    PutArgument(out, *arg, spec);
  }
  return out;
}

std::wstring Utf8ToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0;
    size_t extra = 0;
    uint32_t min = 0;
    if (c < 0x80) {
      out += static_cast<wchar_t>(c);
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F, extra = 1, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F, extra = 2, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07, extra = 3, min = 0x10000;
    } else {
      out += L'\uFFFD';
      ++i;
      continue;
    }
    size_t k = 1;
    for (; k <= extra && i + k < text.size(); ++k) {
      const unsigned char cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) break;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (k <= extra || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += L'\uFFFD';
      i += k;
      continue;
    }
    out += static_cast<wchar_t>(cp);
    i += k;
  }
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t wc : text) {
    uint32_t cp = static_cast<uint32_t>(wc);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace quillog
