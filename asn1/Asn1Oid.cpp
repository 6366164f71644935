#include "asn1/Asn1Oid.h"

#include "quillog/Quillog.h"

#include <algorithm>
#include <limits>

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// One dotted token: leading white space, optional sign, decimal digits up to
// the first other character; no digits gives 0. The number's 64-bit pattern
// is the arc. Out of range: a positive token saturates at 2^64 - 1 (arcs are
// unsigned), a negative one at -2^63, as a signed read would.
uint64_t ReadArc(std::wstring_view token) {
  size_t i = 0;
  while (i < token.size() && IsSpace(token[i])) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == L'+' || token[i] == L'-')) {
    negative = token[i] == L'-';
    ++i;
  }
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  uint64_t value = 0;
  for (; i < token.size() && token[i] >= L'0' && token[i] <= L'9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(token[i] - L'0');
    value = (value > (kMax - digit) / 10) ? kMax : value * 10 + digit;
  }
  if (!negative) return value;
  constexpr uint64_t kMinMagnitude = uint64_t{1} << 63;
  if (value > kMinMagnitude) value = kMinMagnitude;
  return ~value + 1;
}

}  // namespace

CAsn1Oid::CAsn1Oid(const wchar_t* text) {
  if (text != nullptr) Parse(text);
}

CAsn1Oid::CAsn1Oid(std::wstring_view text) { Parse(text); }

bool CAsn1Oid::Check() const {
  if (m_arcs.empty()) return true;
  if (m_arcs.size() < 2) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Oid::Check() ==> An OID MUST have at least 2 numbers");
    return false;
  }
  if (m_arcs[0] > 2) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Oid::Check() ==> Value of the first number of an OID MUST not be > 2");
    return false;
  }
  if (m_arcs[1] > 39) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Oid::Check() ==> Value of the second number of an OID MUST not be > 39");
    return false;
  }
  return true;
}

std::wstring CAsn1Oid::GetText() const {
  std::wstring text;
  text.reserve(m_arcs.size() * 4);
  wchar_t digits[24];
  for (size_t i = 0; i < m_arcs.size(); ++i) {
    if (i != 0) text.push_back(L'.');
    uint64_t arc = m_arcs[i];
    size_t n = 0;
    do {
      digits[n++] = static_cast<wchar_t>(L'0' + arc % 10);
      arc /= 10;
    } while (arc != 0);
    while (n > 0) text.push_back(digits[--n]);
  }
  return text;
}

void CAsn1Oid::Parse(std::wstring_view text) {
  m_arcs.clear();
  size_t start = 0;
  while (start <= text.size()) {
    size_t dot = text.find(L'.', start);
    if (dot == std::wstring_view::npos) dot = text.size();
    if (dot > start) m_arcs.push_back(ReadArc(text.substr(start, dot - start)));
    start = dot + 1;
  }
}

int CAsn1Oid::Compare(std::span<const uint64_t> left, std::span<const uint64_t> right) {
  const size_t common = std::min(left.size(), right.size());
  for (size_t i = 0; i < common; ++i) {
    if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
  }
  if (left.size() == right.size()) return 0;
  return left.size() < right.size() ? -1 : 1;
}
