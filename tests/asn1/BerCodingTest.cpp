#include "asn1/Asn1Object.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "tests/common/CodecHelpers.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// Content octets of a value set by `set`; the length kept must match them.
Bytes Content(uint8_t code, const std::function<bool(CAsn1Value&)>& set) {
  CAsn1Object object(code);
  EXPECT_TRUE(set(object.GetValue()));
  CBerEncoder encoder;
  if (!object.GetValue().Build(object.GetType(), object.GetLength(), encoder)) return {};
  EXPECT_EQ(object.GetLength().GetLength(), static_cast<int64_t>(encoder.GetUsedLength()));
  return EncodedBytes(encoder);
}

// The value decoded from content octets (a failure is reported).
CAsn1Value Decoded(uint8_t code, const Bytes& content) {
  CAsn1Value value;
  EXPECT_TRUE(DecodeContent(code, content, &value)) << "type " << int(code);
  return value;
}

// Runs `read` over the bytes; `used` counts the bytes it took.
bool ReadFrom(const Bytes& bytes, uint32_t* used, const std::function<bool(CBerDecoder&)>& read) {
  CBerDecoder decoder;
  if (!decoder.Assign(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
  const bool ok = read(decoder);
  *used = decoder.GetUsedLength();
  return ok;
}
bool DecodeLength(const Bytes& bytes, CAsn1Length* length, uint32_t* used) {
  return ReadFrom(bytes, used, [&](CBerDecoder& d) { return length->Decode(d); });
}
bool DecodeElement(const Bytes& bytes, CAsn1Object* object, uint32_t* used) {
  return ReadFrom(bytes, used, [&](CBerDecoder& d) {
    return object->GetType().Decode(d) && object->GetLength().Decode(d) &&
           object->GetValue().Build(object->GetType(), object->GetLength(), d);
  });
}

}  // namespace

// Any UDP datagram fits (65,507 bytes); no byte is read past the received ones.
TEST(BerBuffer, DecoderSizeAndEnd) {
  LogCapture log;
  CBerDecoder decoder;
  uint8_t byte = 0;
  EXPECT_FALSE(decoder.ReadByte(&byte));  // nothing received yet
  EXPECT_FALSE(decoder.SetSize(0));
  EXPECT_FALSE(decoder.SetSize(65508));
  EXPECT_TRUE(log.Has(L"CBerBuffer::CheckPointer() ==> new size 65508 is not correct"));
  EXPECT_TRUE(decoder.SetSize(65507));
  const Bytes data = {0x11, 0x22};
  ASSERT_TRUE(decoder.Assign(data.data(), 2));
  EXPECT_TRUE(decoder.ReadByte(&byte) && decoder.ReadByte(&byte));
  EXPECT_EQ(byte, 0x22);
  EXPECT_TRUE(decoder.CheckPointer());    // the position may equal end...
  EXPECT_FALSE(decoder.ReadByte(&byte));  // ...but no byte is read there
  const uint8_t* block = nullptr;
  EXPECT_FALSE(decoder.ReadBlock(&block, 1));
  EXPECT_EQ(decoder.GetUsedLength(), 2u);
}

TEST(BerBuffer, MarksPairOffLastInFirstOut) {
  LogCapture log;
  CBerEncoder encoder;
  int64_t length = 0;
  EXPECT_FALSE(encoder.Pop(&length));
  EXPECT_TRUE(log.Has(L"CBerEncoder::Pop() ==> Unable to pop because queue is empty"));
  for (int i = 0; i < 40; ++i) {  // more marks than the inline ones
    encoder.Push();
    ASSERT_TRUE(encoder.WriteByte(0));
  }
  for (int64_t expected = 1; expected <= 40; ++expected) {
    ASSERT_TRUE(encoder.Pop(&length));
    EXPECT_EQ(length, expected);
  }
  EXPECT_FALSE(encoder.Pop(&length));
}

TEST(BerDecoder, LayoutMustAddUp) {
  struct Case {
    const char* name;
    Bytes bytes;
    const wchar_t* refusal;  // null: the layout adds up
  };
  Bytes large = {0x30, 0x82, 0x0B, 0xBC, 0x04, 0x82, 0x0B, 0xB8};  // SEQUENCE { OCTET STRING of 3,000 }
  large.resize(large.size() + 3000, 0x41);
  Bytes deep;
  for (int i = 0; i < 33; ++i) deep.insert(deep.begin(), {0x30, static_cast<uint8_t>(2 * i)});
  const Case cases[] = {
      {"element without its length", {0x30, 0x08, 0x02, 0x01, 0x00, 0x30, 0x03, 0x05, 0x00, 0x00}, L"cut short"},
      {"exact", {0x30, 0x07, 0x02, 0x01, 0x00, 0x30, 0x02, 0x05, 0x00}, nullptr},
      {"one byte short", {0x30, 0x03, 0x02, 0x01}, L"cut short"},
      {"trailing byte", {0x30, 0x03, 0x02, 0x01, 0x00, 0x00}, L"trailing bytes after the message"},
      {"inner past outer",
       {0x30, 0x07, 0x30, 0x03, 0x02, 0x02, 0x00, 0x05, 0x00},
       L"an element goes past the one holding it"},
      {"indefinite", {0x30, 0x80, 0x02, 0x01, 0x00, 0x00, 0x00}, L"indefinite length"},
      {"NULL with content", {0x30, 0x03, 0x05, 0x01, 0x00}, L"content under a type without value"},
      {"long form length", {0x30, 0x81, 0x03, 0x02, 0x01, 0x07}, nullptr},
      {"length of 9 bytes", {0x30, 0x89, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x05, 0x00}, nullptr},
      {"huge length", {0x30, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, L"cut short"},
      {"length past 64 bits", {0x30, 0x89, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x02, 0x01, 0x00}, L"cut short"},
      {"high tag number", {0x30, 0x05, 0x1F, 0x81, 0x01, 0x01, 0xAA}, nullptr},
      {"3,000-byte string", large, nullptr},
      {"nested 32 deep", Bytes(deep.begin() + 2, deep.end()), nullptr},
      {"nested 33 deep", deep, L"nested too deep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    CBerDecoder decoder;
    ASSERT_TRUE(decoder.Assign(c.bytes.data(), static_cast<uint32_t>(c.bytes.size())));
    EXPECT_EQ(decoder.CheckLayout(), c.refusal == nullptr);
    EXPECT_EQ(decoder.GetUsedLength(), 0u);
    const std::wstring warning = std::wstring(L"The BER lengths do not add up: ") + (c.refusal ? c.refusal : L"");
    EXPECT_EQ(log.CountContaining(warning, QUILLOG_WARNING), c.refusal == nullptr ? 0u : 1u);
  }
}

TEST(BerIdentifier, ExtendedTypeIsSkippedAndKeepsFirstOctet) {
  LogCapture log;
  CAsn1Type type;
  uint32_t used = 0;
  EXPECT_TRUE(ReadFrom({0x1F, 0x81, 0x01, 0x05}, &used, [&](CBerDecoder& d) { return type.Decode(d); }));
  EXPECT_EQ(type.GetCode(), 0x1F);
  EXPECT_EQ(used, 3u);
  EXPECT_TRUE(log.Has(L"CAsn1Type ==> Extended types are not supported"));
  EXPECT_FALSE(ReadFrom({0x3F, 0x81, 0x82}, &used, [&](CBerDecoder& d) { return type.Decode(d); }));  // cut
}

TEST(BerLength, Coding) {
  const std::pair<int64_t, Bytes> cases[] = {
      {127, {0x7F}},
      {128, {0x81, 0x80}},
      {256, {0x82, 0x01, 0x00}},
      {65536, {0x83, 0x01, 0x00, 0x00}},
      {-1, {0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& [value, bytes] : cases) {
    CBerEncoder encoder;
    CAsn1Length length;
    length.SetLength(value);
    ASSERT_TRUE(length.Encode(encoder));
    EXPECT_EQ(EncodedBytes(encoder), bytes) << value;
    uint8_t octets[9];
    EXPECT_EQ(Bytes(octets, octets + BerLengthOctets(static_cast<uint64_t>(value), octets)), bytes) << value;
    uint32_t used = 0;
    ASSERT_TRUE(DecodeLength(bytes, &length, &used));
    EXPECT_EQ(length.GetLength(), value);
  }

  LogCapture log;
  CAsn1Length length;
  uint32_t used = 0;
  EXPECT_TRUE(DecodeLength({0x80, 0x02}, &length, &used));
  EXPECT_TRUE(length.IsIndefinite());
  EXPECT_EQ(length.GetLength(), 0);
  EXPECT_TRUE(log.Has(L"CAsn1Length ==> Undefined length should be uncorrectly supported"));
  EXPECT_TRUE(DecodeLength({0x89, 0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}, &length, &used));
  EXPECT_TRUE(log.Has(L"CAsn1Length ==> Length of length is greater than 8 bytes"));
  EXPECT_EQ(length.GetLength(), 0x0102030405060708);
  EXPECT_EQ(used, 10u);
  EXPECT_FALSE(length.IsIndefinite());
  EXPECT_FALSE(DecodeLength({0x84, 0x01, 0x02}, &length, &used));  // truncated long form
}

// INTEGER in the fewest octets; Counter32, Gauge32, TimeTicks and Counter64
// as the positive numbers they are. Each reads back to its number and text.
TEST(BerInteger, Coding) {
  struct Case {
    uint8_t code;
    int64_t value;
    Bytes content;
  };
  const Case cases[] = {
      {ASN1_INTEGER, 0, {0x00}},
      {ASN1_INTEGER, 127, {0x7F}},
      {ASN1_INTEGER, 200, {0x00, 0xC8}},
      {ASN1_INTEGER, -56, {0xC8}},
      {ASN1_INTEGER, -128, {0x80}},
      {ASN1_INTEGER, -129, {0xFF, 0x7F}},
      {ASN1_INTEGER, INT64_MAX, {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {ASN1_INTEGER, INT64_MIN, {0x80, 0, 0, 0, 0, 0, 0, 0}},
      {ASN1_COUNTER32, 4294967295, {0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
      {ASN1_GAUGE32, 128, {0x00, 0x80}},
      {ASN1_TIMETICKS, 0, {0x00}},
      {ASN1_COUNTER64, INT64_MIN, {0x00, 0x80, 0, 0, 0, 0, 0, 0, 0}},
      {ASN1_COUNTER64, -1, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    const bool is_unsigned = IsUnsignedType(c.code);
    const std::wstring text = is_unsigned ? std::to_wstring(static_cast<uint64_t>(c.value)) : std::to_wstring(c.value);
    SCOPED_TRACE(quillog::WideToUtf8(text));
    EXPECT_EQ(Content(c.code,
                      [&](CAsn1Value& v) {
                        return is_unsigned ? v.SetUnsigned(static_cast<uint64_t>(c.value), true)
                                           : v.SetInteger(c.value, true);
                      }),
              c.content);
    const CAsn1Value back = Decoded(c.code, c.content);
    EXPECT_EQ(back.GetInteger(), c.value);
    EXPECT_EQ(back.GetText(), text);
    EXPECT_FALSE(back.IsReadOnly());  // decoded values stay writable
  }
  EXPECT_TRUE(Decoded(ASN1_INTEGER, {}).IsIntegerSet());
}

// Decoded texts, and the log line when the content is suspect.
TEST(BerValues, DecodedText) {
  struct Case {
    uint8_t code;
    Bytes content;
    std::wstring text;
    const wchar_t* logged = nullptr;
  };
  const Case cases[] = {
      {ASN1_INTEGER, {0x00, 0xFF, 0xFF, 0xFF, 0xFF}, L"4294967295"},
      {ASN1_INTEGER, {0x12, 0x80, 0, 0, 0, 0, 0, 0, 0x05}, L"-9223372036854775803"},  // low 64 bits
      // Unsigned types sent without the leading zero octet never show negative.
      {ASN1_COUNTER32, {0xFF, 0xFF, 0xFF, 0xFF}, L"4294967295"},
      {ASN1_COUNTER64, {0x80, 0, 0, 0, 0, 0, 0, 0}, L"9223372036854775808"},
      {ASN1_OBJECT_IDENTIFIER, {0x2B, 0x81, 0x48, 0x81}, L"1.3.200"},  // open arc dropped
      {ASN1_OBJECT_IDENTIFIER, {}, L""},
      {ASN1_BOOLEAN, {0xFF}, L"255"},
      {ASN1_IP_ADDRESS, {0xC0, 0xA8, 0x01, 0x0A}, L"192.168.1.10"},
      {ASN1_IP_ADDRESS, {10, 0, 7}, L"10.0.7", L"An IP address with 3 bytes!!"},
      {ASN1_OPAQUE, {0x1A, 0xFF, 0x01}, L"1a:ff:01"},
      {ASN1_BIT_STRING, {0x00, 0x80}, L"00:80", L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (3)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(quillog::WideToUtf8(c.text));
    LogCapture log;
    EXPECT_EQ(Decoded(c.code, c.content).GetText(), c.text);
    EXPECT_EQ(log.Messages(), c.logged ? std::vector<std::wstring>{c.logged} : std::vector<std::wstring>{});
  }
  EXPECT_EQ(Decoded(ASN1_IP_ADDRESS, {0xC0, 0xA8, 0x01, 0x0A}).GetAddress(), 0xC0A8010Au);
  EXPECT_TRUE(Decoded(ASN1_BOOLEAN, {0x01}).GetBoolean() && !Decoded(ASN1_BOOLEAN, {0x00}).GetBoolean());
  CAsn1Value null;  // carries no value: nothing is read
  uint32_t used = 9;
  ASSERT_TRUE(DecodeContent(ASN1_NULL, {0x01, 0x02}, &null, &used));
  EXPECT_EQ(used, 0u);
}

TEST(BerOid, Coding) {
  const std::pair<const wchar_t*, Bytes> cases[] = {
      {L"1.3.6.1.4.1.9", {0x2B, 0x06, 0x01, 0x04, 0x01, 0x09}},
      {L"1.3.200", {0x2B, 0x81, 0x48}},
      {L"2.39", {119}},
      {L"1.3.18446744073709551615", {0x2B, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& [text, bytes] : cases) {
    EXPECT_EQ(Content(ASN1_OBJECT_IDENTIFIER, [&](CAsn1Value& v) { return v.SetOid(CAsn1Oid(text)); }), bytes);
    EXPECT_EQ(Decoded(ASN1_OBJECT_IDENTIFIER, bytes).GetText(), text);
  }
}

// A value the encoder cannot write fails the element rather than writing nothing.
TEST(BerCoding, UnsetOrInvalidValuesAreRefused) {
  CAsn1Object empty_oid(ASN1_OBJECT_IDENTIFIER);
  ASSERT_TRUE(empty_oid.GetValue().SetOid(CAsn1Oid()));  // Check accepts it
  CAsn1Object invalid_oid(ASN1_OBJECT_IDENTIFIER);
  ASSERT_TRUE(DecodeContent(ASN1_OBJECT_IDENTIFIER, {0x7F, 0x01}, &invalid_oid.GetValue()));  // 3.7.1
  CAsn1Object bits(ASN1_BIT_STRING);
  ASSERT_TRUE(bits.GetValue().SetText(L"x"));
  CAsn1Object unset_boolean(ASN1_BOOLEAN), unset_ticks(ASN1_TIMETICKS), unset_oid(ASN1_OBJECT_IDENTIFIER),
      unset_address(ASN1_IP_ADDRESS);
  const std::pair<CAsn1Object*, const wchar_t*> cases[] = {
      {&unset_boolean, L"_build_boolean() ==> BOOLEAN to write but BOOLEAN is not set"},
      {&unset_ticks, L"_build_integer() ==> INTEGER to write but INTEGER is not set"},
      {&unset_oid, L"_build_object_identifier() ==> OID to write but OID is not set"},
      {&empty_oid, L"_build_object_identifier() ==> An empty OID cannot be encoded"},
      {&invalid_oid, L"_build_object_identifier() ==> The OID is not a valid OID"},
      {&unset_address, L"_build_ip_address() ==> IP address to write but IP address is not set"},
      {&bits, L"Build() ==> Unknown type of ASN.1 object (Bit String)"},
  };
  for (const auto& [object, message] : cases) {
    LogCapture log;
    EXPECT_EQ(Element(*object), Bytes{}) << quillog::WideToUtf8(message);
    EXPECT_TRUE(log.Has(std::wstring(L"CAsn1Value::") + message)) << quillog::WideToUtf8(message);
  }
}

TEST(BerCoding, ElementBytes) {
  CAsn1Object boolean(ASN1_BOOLEAN), address(ASN1_IP_ADDRESS), text(ASN1_OCTET_STRING), zero(ASN1_OCTET_STRING),
      unset(ASN1_OCTET_STRING), opaque(ASN1_OPAQUE), integer(ASN1_INTEGER);
  ASSERT_TRUE(boolean.GetValue().SetBoolean(true));
  ASSERT_TRUE(integer.GetValue().SetInteger(0, true));
  ASSERT_TRUE(address.GetValue().SetIpAddress(L"10.1.2.3"));
  ASSERT_TRUE(text.GetValue().SetText(L"\u00e9\u0141"));
  ASSERT_TRUE(zero.GetValue().SetText(std::wstring(L"a\0b", 3)));
  // A hexadecimal text is sent as its characters: 0a:1b is five octets.
  ASSERT_TRUE(DecodeContent(ASN1_OPAQUE, {0x0A, 0x1B}, &opaque.GetValue()));
  const std::pair<CAsn1Object*, Bytes> cases[] = {
      {&boolean, {0x01, 0x01, 0x01}},
      {&integer, {0x02, 0x01, 0x00}},
      {&address, {0x40, 0x04, 0x0A, 0x01, 0x02, 0x03}},
      {&text, {0x04, 0x02, 0xE9, 0x41}},  // low 8 bits
      {&zero, {0x04, 0x03, 'a', 0x00, 'b'}},
      {&unset, {0x04, 0x00}},
      {&opaque, {0x44, 0x05, '0', 'a', ':', '1', 'b'}},
  };
  for (const auto& [object, bytes] : cases) EXPECT_EQ(Element(*object), bytes) << object->GetText().size();
}

// Characters when under 15% of the octets fall outside 0x20..0x7F, else
// hexadecimal; zero bytes count as not printable and are never cut. The
// octets received stay whichever way they show.
TEST(BerOctetString, PrintableOrHexadecimal) {
  Bytes fifteen_percent(20, 'a');
  fifteen_percent[17] = fifteen_percent[18] = fifteen_percent[19] = 0x01;
  const std::pair<Bytes, std::wstring> cases[] = {
      {{0x68, 0x69}, L"hi"},
      {{'a', 0x7F}, L"a\x7f"},  // 0x7F is inside the printable range
      {{0x0C, 0x29, 0x01, 0x02, 0x03, 0xFF}, L"0c:29:01:02:03:ff"},
      {{'c', 'a', 'f', 0xE9, 'b', 'a', 'r'}, L"caf\u00e9bar"},  // 14%
      {fifteen_percent, L"61:61:61:61:61:61:61:61:61:61:61:61:61:61:61:61:61:01:01:01"},
      {{}, L""},
      {{0x00, 'a', 'b'}, L"00:61:62"},
      {{'L', 'i', 'n', 'u', 'x', ' ', 'b', 'o', 'x', 0x00}, std::wstring(L"Linux box\0", 10)},
  };
  for (const auto& [content, text] : cases) {
    const CAsn1Value value = Decoded(ASN1_OCTET_STRING, content);
    EXPECT_EQ(value.GetText(), text);
    const std::string octets = value.GetOctets();
    EXPECT_EQ(Bytes(octets.begin(), octets.end()), content);
  }
  const std::string opaque = Decoded(ASN1_OPAQUE, {0x9F, 0x78}).GetOctets();
  EXPECT_EQ(Bytes(opaque.begin(), opaque.end()), (Bytes{0x9F, 0x78}));
  CAsn1Value changed = Decoded(ASN1_OCTET_STRING, {0x1A, 0xFF});
  ASSERT_TRUE(changed.SetText(L"new"));
  EXPECT_EQ(changed.GetOctets(), "");  // no longer what was received
}

TEST(BerBounds, ContentLongerThanDatagramIsRefused) {
  LogCapture log;
  for (uint8_t code : {ASN1_INTEGER, ASN1_OCTET_STRING, ASN1_OBJECT_IDENTIFIER, ASN1_IP_ADDRESS, ASN1_OPAQUE,
                       ASN1_COUNTER64, uint8_t{0x1E}}) {
    CAsn1Object object;
    uint32_t used = 0;
    // Length 5 with 2 content bytes; then 64-bit lengths (negative as int64, then huge).
    EXPECT_FALSE(DecodeElement({code, 0x05, 0x01, 0x02}, &object, &used)) << int(code);
    EXPECT_EQ(used, 2u);
    EXPECT_FALSE(DecodeElement({code, 0x88, 0x80, 0, 0, 0, 0, 0, 0, 0x01, 0x01}, &object, &used));
    EXPECT_FALSE(DecodeElement({code, 0x84, 0x7F, 0xFF, 0xFF, 0xFF, 0x01}, &object, &used));
  }
  EXPECT_TRUE(log.Has(L"CAsn1Value::Build() ==> Length 5 goes past the received bytes (2 left)"));
  // A BOOLEAN has exactly one content octet; nothing is taken otherwise.
  for (const Bytes& content : {Bytes{}, Bytes{0x01, 0x01}}) {
    CAsn1Value value;
    uint32_t used = 99;
    EXPECT_FALSE(DecodeContent(ASN1_BOOLEAN, content, &value, &used));
    EXPECT_EQ(used, 0u);
  }
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_boolean() ==> A BOOLEAN has 1 byte, not 2"));
}
