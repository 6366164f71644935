#include "asn1/Asn1Value.h"

#include "asn1/Asn1Length.h"
#include "asn1/Asn1Type.h"
#include "asn1/BerContent.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "asn1/IpAddress.h"
#include "quillog/Quillog.h"

namespace {

std::wstring UnsignedText(uint64_t value) {
  wchar_t digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::wstring text;
  text.reserve(n);
  while (n > 0) text.push_back(digits[--n]);
  return text;
}

std::wstring SignedText(int64_t value) {
  if (value >= 0) return UnsignedText(static_cast<uint64_t>(value));
  return L"-" + UnsignedText(~static_cast<uint64_t>(value) + 1);
}

void AppendHex(std::wstring& text, const uint8_t* bytes, size_t count) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  text.reserve(count * 3);
  for (size_t i = 0; i < count; ++i) {
    if (i != 0) text.push_back(L':');
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
}

}  // namespace

bool CAsn1Value::_refuse_read_only() const {
  if (!m_read_only) return false;
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"Value is a read-only value and cannot be modified");
  return true;
}

std::string CAsn1Value::GetOctets() const {
  if (!m_has_octets) return {};
  if (m_hex_text) return m_octets;
  std::string octets(m_text.size(), '\0');
  for (size_t i = 0; i < m_text.size(); ++i) octets[i] = static_cast<char>(m_text[i]);
  return octets;
}

bool CAsn1Value::SetBoolean(bool value) {
  if (_refuse_read_only()) return false;
  m_boolean = value;
  m_boolean_set = true;
  m_text = value ? L"true" : L"false";
  m_read_only = true;
  return true;
}

bool CAsn1Value::SetInteger(int64_t value, bool read_only) {
  if (_refuse_read_only()) return false;
  m_integer = value;
  m_integer_set = true;
  m_text = SignedText(value);
  m_read_only = read_only;
  return true;
}

bool CAsn1Value::SetUnsigned(uint64_t value, bool read_only) {
  if (_refuse_read_only()) return false;
  m_integer = static_cast<int64_t>(value);
  m_integer_set = true;
  m_text = UnsignedText(value);
  m_read_only = read_only;
  return true;
}

bool CAsn1Value::SetOid(const CAsn1Oid& oid) {
  if (_refuse_read_only()) return false;
  if (!oid.Check()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"OID value is not valid");
    return false;
  }
  m_oid = oid;
  m_oid_set = true;
  m_text = oid.GetText();
  m_read_only = true;
  return true;
}

bool CAsn1Value::SetIpAddress(const std::wstring& text) {
  if (_refuse_read_only()) return false;
  m_address = IpAddress(text);
  m_address_set = true;
  m_text = FormatIpAddress(m_address);
  m_read_only = true;
  return true;
}

bool CAsn1Value::SetText(const std::wstring& text) {
  if (_refuse_read_only()) return false;
  m_text = text;
  m_has_octets = false;  // no longer the octets received
  m_read_only = true;
  return true;
}

// ---- Encoding: every write is backward, so each value goes last octet first.

bool CAsn1Value::Build(const CAsn1Type& type, CAsn1Length& length, CBerEncoder& encoder) const {
  const uint8_t code = type.GetCode();
  if (!CarriesValue(code)) return true;
  switch (code) {
    case ASN1_BOOLEAN: return _build_boolean(encoder, length);
    case ASN1_INTEGER:
    case ASN1_COUNTER32:
    case ASN1_GAUGE32:
    case ASN1_TIMETICKS:
    case ASN1_COUNTER64: return _build_integer(code, encoder, length);
    case ASN1_OCTET_STRING:
    case ASN1_OPAQUE: return _build_text(encoder, length);
    case ASN1_OBJECT_IDENTIFIER: return _build_object_identifier(encoder, length);
    case ASN1_IP_ADDRESS: return _build_ip_address(encoder, length);
    default:
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (%s)",
               GetTypeName(code));
      return false;
  }
}

bool CAsn1Value::_build_boolean(CBerEncoder& encoder, CAsn1Length& length) const {
  if (!m_boolean_set) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::_build_boolean() ==> BOOLEAN to write but BOOLEAN is not set");
    return false;
  }
  if (!encoder.WriteByte(m_boolean ? 0x01 : 0x00)) return false;
  length.SetLength(1);
  return true;
}

// INTEGER: two's complement in the fewest octets whose first top bit is the
// sign. Counter32, Gauge32, TimeTicks and Counter64 hold unsigned numbers:
// their 64-bit pattern is written as an unsigned number (a leading 0x00 when
// the top bit would otherwise read as a sign), so a Counter64 of 2^63 or more
// goes out as the positive number it is.
bool CAsn1Value::_build_integer(uint8_t code, CBerEncoder& encoder, CAsn1Length& length) const {
  if (!m_integer_set) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::_build_integer() ==> INTEGER to write but INTEGER is not set");
    return false;
  }
  const size_t count = BerPutIntegerContent(m_integer, IsUnsignedType(code),
                                            [&encoder](uint8_t octet) { return encoder.WriteByte(octet); });
  if (count == 0) return false;
  length.SetLength(static_cast<int64_t>(count));
  return true;
}

// OCTET STRING and Opaque: the text is the value, one octet per character
// (the character's low 8 bits).
bool CAsn1Value::_build_text(CBerEncoder& encoder, CAsn1Length& length) const {
  for (size_t i = m_text.size(); i > 0; --i) {
    if (!encoder.WriteByte(static_cast<uint8_t>(static_cast<uint32_t>(m_text[i - 1]) & 0xFF))) return false;
  }
  length.SetLength(static_cast<int64_t>(m_text.size()));
  return true;
}

bool CAsn1Value::_build_object_identifier(CBerEncoder& encoder, CAsn1Length& length) const {
  if (!m_oid_set) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::_build_object_identifier() ==> OID to write but OID is not set");
    return false;
  }
  if (!m_oid.Check()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::_build_object_identifier() ==> The OID is not a valid OID");
    return false;
  }
  // Check accepts the empty OID, but the coding needs the first two arcs.
  if (m_oid.GetCount() < 2) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::_build_object_identifier() ==> An empty OID cannot be encoded");
    return false;
  }
  const int64_t before = encoder.GetUsedLength();
  if (!BerPutOidContent(m_oid, [&encoder](uint8_t octet) { return encoder.WriteByte(octet); })) return false;
  length.SetLength(static_cast<int64_t>(encoder.GetUsedLength()) - before);
  return true;
}

bool CAsn1Value::_build_ip_address(CBerEncoder& encoder, CAsn1Length& length) const {
  if (!m_address_set) {
    QuillogW(QUILLOG_ERROR, QLF_NONE,
             L"CAsn1Value::_build_ip_address() ==> IP address to write but IP address is not set");
    return false;
  }
  for (int shift = 0; shift < 32; shift += 8) {
    if (!encoder.WriteByte(static_cast<uint8_t>((m_address >> shift) & 0xFF))) return false;
  }
  length.SetLength(4);
  return true;
}

// ---- Decoding

bool CAsn1Value::Build(const CAsn1Type& type, const CAsn1Length& length, CBerDecoder& decoder) {
  const uint8_t code = type.GetCode();
  if (!CarriesValue(code)) return true;
  const int64_t n = length.GetLength();
  switch (code) {
    case ASN1_BOOLEAN: return _build_boolean(decoder, n);
    case ASN1_INTEGER:
    case ASN1_COUNTER32:
    case ASN1_GAUGE32:
    case ASN1_TIMETICKS:
    case ASN1_COUNTER64: return _build_integer(code, decoder, n);
    case ASN1_OCTET_STRING: return _build_octet_string(decoder, n);
    case ASN1_OBJECT_IDENTIFIER: return _build_object_identifier(decoder, n);
    case ASN1_IP_ADDRESS: return _build_ip_address(decoder, n);
    default: return _build_hexadecimal(code, decoder, n);
  }
}

namespace {

// The content must lie inside the received bytes; a length past them (or a
// negative one from a 64-bit long form) is refused before anything is read.
bool TakeContent(CBerDecoder& decoder, int64_t length, const uint8_t** content) {
  if (length < 0 || length > static_cast<int64_t>(decoder.GetRemaining())) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::Build() ==> Length %lld goes past the received bytes (%u left)",
             length, decoder.GetRemaining());
    return false;
  }
  return decoder.ReadBlock(content, static_cast<uint32_t>(length));
}

}  // namespace

// X.690 gives a BOOLEAN exactly one content octet. Any other length is
// refused, without consuming it: the datagram is malformed from there on.
bool CAsn1Value::_build_boolean(CBerDecoder& decoder, int64_t length) {
  if (_refuse_read_only()) return false;
  if (length != 1) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::_build_boolean() ==> A BOOLEAN has 1 byte, not %lld", length);
    return false;
  }
  const uint8_t* content = nullptr;
  if (!TakeContent(decoder, 1, &content)) return false;
  m_boolean = content[0] != 0;
  m_boolean_set = true;
  m_text = UnsignedText(content[0]);
  return true;
}

// INTEGER is signed (sign from the first octet's top bit). Counter32,
// Gauge32, TimeTicks and Counter64 are unsigned: their octets are read as an
// unsigned number and shown in unsigned decimal, so a Counter32 sent as
// FF FF FF FF shows 4294967295 and a Counter64 of 2^63 or more keeps its bit
// pattern in the integer field but never shows as negative. Octets beyond 8
// keep the low 64 bits.
bool CAsn1Value::_build_integer(uint8_t code, CBerDecoder& decoder, int64_t length) {
  if (_refuse_read_only()) return false;
  const uint8_t* content = nullptr;
  if (!TakeContent(decoder, length, &content)) return false;
  const bool is_unsigned = IsUnsignedType(code);
  uint64_t value = 0;
  if (!is_unsigned && length > 0 && (content[0] & 0x80) != 0) value = ~uint64_t{0};
  for (int64_t i = 0; i < length; ++i) value = (value << 8) | content[i];
  m_integer = static_cast<int64_t>(value);
  m_integer_set = true;
  m_text = is_unsigned ? UnsignedText(value) : SignedText(m_integer);
  return true;
}

// Shown as characters (octet b is the character U+00bb) when fewer than 15%
// of the octets are outside 0x20..0x7F, otherwise as hexadecimal pairs joined
// by ':'. Every octet takes part, zero bytes included (a zero byte counts as
// not printable and, in the character form, stays in the text as U+0000), so
// nothing received is cut away.
bool CAsn1Value::_build_octet_string(CBerDecoder& decoder, int64_t length) {
  if (_refuse_read_only()) return false;
  m_text.clear();
  m_octets.clear();
  const uint8_t* content = nullptr;
  if (!TakeContent(decoder, length, &content)) return false;
  const size_t n = static_cast<size_t>(length);
  m_has_octets = true;
  size_t unprintable = 0;
  for (size_t i = 0; i < n; ++i) {
    if (content[i] < 0x20 || content[i] > 0x7F) ++unprintable;
  }
  if (n == 0 || unprintable * 100 / n < 15) {
    m_text.assign(content, content + n);
    m_hex_text = false;
    return true;
  }
  AppendHex(m_text, content, n);
  m_octets.assign(reinterpret_cast<const char*>(content), n);
  m_hex_text = true;
  return true;
}

// First octet: the first two arcs (octet / 40, octet % 40); then base-128
// groups, top bit set on all but an arc's last. An arc still open at the end
// is dropped; an arc longer than 64 bits keeps its low 64 bits.
bool CAsn1Value::_build_object_identifier(CBerDecoder& decoder, int64_t length) {
  if (_refuse_read_only()) return false;
  m_oid.Clear();
  const uint8_t* content = nullptr;
  if (!TakeContent(decoder, length, &content)) return false;
  m_oid.Reserve(static_cast<size_t>(length) + 1);
  if (length > 0) {
    m_oid.Add(content[0] / 40);
    m_oid.Add(content[0] % 40);
  }
  uint64_t arc = 0;
  for (int64_t i = 1; i < length; ++i) {
    arc = (arc << 7) | (content[i] & 0x7F);
    if ((content[i] & 0x80) == 0) {
      m_oid.Add(arc);
      arc = 0;
    }
  }
  m_oid_set = true;
  m_text = m_oid.GetText();
  return true;
}

bool CAsn1Value::_build_ip_address(CBerDecoder& decoder, int64_t length) {
  if (_refuse_read_only()) return false;
  if (length != 4) QuillogW(QUILLOG_ERROR, QLF_NONE, L"An IP address with %lld bytes!!", length);
  const uint8_t* content = nullptr;
  if (!TakeContent(decoder, length, &content)) return false;
  uint32_t address = 0;
  m_text.clear();
  for (int64_t i = 0; i < length; ++i) {
    address = (address << 8) | content[i];
    if (i != 0) m_text.push_back(L'.');
    m_text += UnsignedText(content[i]);
  }
  m_address = address;
  m_address_set = true;
  return true;
}

// Opaque and every other code that carries a value: hexadecimal text only.
bool CAsn1Value::_build_hexadecimal(uint8_t code, CBerDecoder& decoder, int64_t length) {
  if (code != ASN1_OPAQUE) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (%d)",
             static_cast<int>(code));
  }
  m_text.clear();
  m_octets.clear();
  const uint8_t* content = nullptr;
  if (!TakeContent(decoder, length, &content)) return false;
  m_octets.assign(reinterpret_cast<const char*>(content), static_cast<size_t>(length));
  m_has_octets = true;
  m_hex_text = true;
  AppendHex(m_text, content, static_cast<size_t>(length));
  return true;
}
