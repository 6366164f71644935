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
  EXPECT_FALSE(decoder.SetSize(0) || decoder.SetSize(65508));
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

TEST(BerDecoder, LayoutMustAddUp) {
  Bytes deep;
  for (int i = 0; i < 33; ++i) deep.insert(deep.begin(), {0x30, static_cast<uint8_t>(2 * i)});
  const std::pair<Bytes, const wchar_t*> cases[] = {
      {{0x30, 0x08, 0x02, 0x01, 0x00, 0x30, 0x03, 0x05, 0x00, 0x00}, L"cut short"},  // element without its length
      {{0x30, 0x07, 0x02, 0x01, 0x00, 0x30, 0x02, 0x05, 0x00}, nullptr},
      {{0x30, 0x03, 0x02, 0x01}, L"cut short"},
      {{0x30, 0x03, 0x02, 0x01, 0x00, 0x00}, L"trailing bytes after the message"},
      {{0x30, 0x07, 0x30, 0x03, 0x02, 0x02, 0x00, 0x05, 0x00}, L"an element goes past the one holding it"},
      {{0x30, 0x80, 0x02, 0x01, 0x00, 0x00, 0x00}, L"indefinite length"},
      {{0x30, 0x03, 0x05, 0x01, 0x00}, L"content under a type without value"},
      {{0x30, 0x89, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x05, 0x00}, nullptr},                // length of 9 bytes
      {{0x30, 0x89, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x02, 0x01, 0x00}, L"cut short"},  // length past 64 bits
      {{0x30, 0x05, 0x1F, 0x81, 0x01, 0x01, 0xAA}, nullptr},                            // high tag number
      {Bytes(deep.begin() + 2, deep.end()), nullptr},                                   // nested 32 deep
      {deep, L"nested too deep"},
  };
  for (const auto& [bytes, refusal] : cases) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    LogCapture log;
    CBerDecoder decoder;
    ASSERT_TRUE(decoder.Assign(bytes.data(), static_cast<uint32_t>(bytes.size())));
    EXPECT_EQ(decoder.CheckLayout(), refusal == nullptr);
    EXPECT_EQ(decoder.GetUsedLength(), 0u);
    const std::wstring warning = std::wstring(L"The BER lengths do not add up: ") + (refusal ? refusal : L"");
    EXPECT_EQ(log.CountContaining(warning, QUILLOG_WARNING), refusal == nullptr ? 0u : 1u);
  }
}

TEST(BerLength, Coding) {
  const std::pair<int64_t, Bytes> cases[] = {
      {127, {0x7F}},
      {128, {0x81, 0x80}},
      {256, {0x82, 0x01, 0x00}},
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
  CAsn1Length length;
  uint32_t used = 0;
  EXPECT_TRUE(DecodeLength({0x80, 0x02}, &length, &used));
  EXPECT_TRUE(length.IsIndefinite());
  EXPECT_EQ(length.GetLength(), 0);
  EXPECT_TRUE(DecodeLength({0x89, 0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}, &length, &used));
  EXPECT_EQ(length.GetLength(), 0x0102030405060708);
  EXPECT_EQ(used, 10u);
  EXPECT_FALSE(length.IsIndefinite());
  EXPECT_FALSE(DecodeLength({0x84, 0x01, 0x02}, &length, &used));  // truncated long form
}

// INTEGER in the fewest octets; Counter32, Gauge32, TimeTicks and Counter64
// as the positive numbers they are. Each reads back to its number and text.
TEST(BerInteger, Coding) {
  const std::tuple<uint8_t, int64_t, Bytes> cases[] = {
      {ASN1_INTEGER, 0, {0x00}},
      {ASN1_INTEGER, 127, {0x7F}},
      {ASN1_INTEGER, 200, {0x00, 0xC8}},
      {ASN1_INTEGER, -128, {0x80}},
      {ASN1_INTEGER, -129, {0xFF, 0x7F}},
      {ASN1_INTEGER, INT64_MAX, {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {ASN1_INTEGER, INT64_MIN, {0x80, 0, 0, 0, 0, 0, 0, 0}},
      {ASN1_COUNTER32, 4294967295, {0x00, 0xFF, 0xFF, 0xFF, 0xFF}},
      {ASN1_COUNTER64, -1, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& [code, value, content] : cases) {
    const bool is_unsigned = IsUnsignedType(code);
    const std::wstring text = is_unsigned ? std::to_wstring(static_cast<uint64_t>(value)) : std::to_wstring(value);
    SCOPED_TRACE(quillog::WideToUtf8(text));
    const int64_t number = value;
    EXPECT_EQ(Content(code,
                      [&](CAsn1Value& v) {
                        return is_unsigned ? v.SetUnsigned(static_cast<uint64_t>(number), true)
                                           : v.SetInteger(number, true);
                      }),
              content);
    const CAsn1Value back = Decoded(code, content);
    EXPECT_EQ(back.GetInteger(), value);
    EXPECT_EQ(back.GetText(), text);
    EXPECT_FALSE(back.IsReadOnly());  // decoded values stay writable
  }
}

// Decoded texts, and the log line when the content is suspect.
TEST(BerValues, DecodedText) {
  const std::tuple<uint8_t, Bytes, std::wstring, const wchar_t*> cases[] = {
      {ASN1_INTEGER, {0x12, 0x80, 0, 0, 0, 0, 0, 0, 0x05}, L"-9223372036854775803", nullptr},  // low 64 bits
      // Unsigned types sent without the leading zero octet never show negative.
      {ASN1_COUNTER32, {0xFF, 0xFF, 0xFF, 0xFF}, L"4294967295", nullptr},
      {ASN1_COUNTER64, {0x80, 0, 0, 0, 0, 0, 0, 0}, L"9223372036854775808", nullptr},
      {ASN1_OBJECT_IDENTIFIER, {0x2B, 0x81, 0x48, 0x81}, L"1.3.200", nullptr},  // open arc dropped
      {ASN1_OBJECT_IDENTIFIER, {}, L"", nullptr},
      {ASN1_IP_ADDRESS, {10, 0, 7}, L"10.0.7", L"An IP address with 3 bytes!!"},
      {ASN1_BIT_STRING, {0x00, 0x80}, L"00:80", L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (3)"},
  };
  for (const auto& [code, content, text, logged] : cases) {
    SCOPED_TRACE(quillog::WideToUtf8(text));
    LogCapture log;
    EXPECT_EQ(Decoded(code, content).GetText(), text);
    EXPECT_EQ(log.Messages(), logged ? std::vector<std::wstring>{logged} : std::vector<std::wstring>{});
  }
  EXPECT_TRUE(Decoded(ASN1_BOOLEAN, {0x01}).GetBoolean() && !Decoded(ASN1_BOOLEAN, {0x00}).GetBoolean());
  CAsn1Value null;  // carries no value: nothing is read
  uint32_t used = 9;
  ASSERT_TRUE(DecodeContent(ASN1_NULL, {0x01, 0x02}, &null, &used));
  EXPECT_EQ(used, 0u);
}

TEST(BerOid, Coding) {
  const std::pair<const wchar_t*, Bytes> cases[] = {
      {L"1.3.200", {0x2B, 0x81, 0x48}},
      {L"2.39", {119}},
      {L"1.3.18446744073709551615", {0x2B, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& [text, bytes] : cases) {
    EXPECT_EQ(Content(ASN1_OBJECT_IDENTIFIER, [&](CAsn1Value& v) { return v.SetOid(CAsn1Oid(text)); }), bytes);
    EXPECT_EQ(Decoded(ASN1_OBJECT_IDENTIFIER, bytes).GetText(), text);
  }
}

// Whole elements; a value the encoder cannot write fails the element rather
// than writing nothing.
TEST(BerCoding, ElementBytesOrRefusal) {
  CAsn1Object boolean(ASN1_BOOLEAN), text(ASN1_OCTET_STRING), zero(ASN1_OCTET_STRING), unset(ASN1_OCTET_STRING),
      opaque(ASN1_OPAQUE);
  ASSERT_TRUE(boolean.GetValue().SetBoolean(true));
  ASSERT_TRUE(text.GetValue().SetText(L"\u00e9\u0141"));
  ASSERT_TRUE(zero.GetValue().SetText(std::wstring(L"a\0b", 3)));
  // A hexadecimal text is sent as its characters: 0a:1b is five octets.
  ASSERT_TRUE(DecodeContent(ASN1_OPAQUE, {0x0A, 0x1B}, &opaque.GetValue()));
  const std::pair<CAsn1Object*, Bytes> cases[] = {
      {&boolean, {0x01, 0x01, 0x01}},
      {&text, {0x04, 0x02, 0xE9, 0x41}},  // low 8 bits
      {&zero, {0x04, 0x03, 'a', 0x00, 'b'}},
      {&unset, {0x04, 0x00}},
      {&opaque, {0x44, 0x05, '0', 'a', ':', '1', 'b'}},
  };
  for (const auto& [object, bytes] : cases) EXPECT_EQ(Element(*object), bytes) << object->GetText().size();

  CAsn1Object empty_oid(ASN1_OBJECT_IDENTIFIER), invalid_oid(ASN1_OBJECT_IDENTIFIER), unset_oid(ASN1_OBJECT_IDENTIFIER),
      unset_boolean(ASN1_BOOLEAN), unset_address(ASN1_IP_ADDRESS);
  ASSERT_TRUE(empty_oid.GetValue().SetOid(CAsn1Oid()));                                       // Check accepts it
  ASSERT_TRUE(DecodeContent(ASN1_OBJECT_IDENTIFIER, {0x7F, 0x01}, &invalid_oid.GetValue()));  // 3.7.1
  const std::pair<CAsn1Object*, const wchar_t*> refused[] = {
      {&unset_boolean, L"_build_boolean() ==> BOOLEAN to write but BOOLEAN is not set"},
      {&unset_oid, L"_build_object_identifier() ==> OID to write but OID is not set"},
      {&empty_oid, L"_build_object_identifier() ==> An empty OID cannot be encoded"},
      {&invalid_oid, L"_build_object_identifier() ==> The OID is not a valid OID"},
      {&unset_address, L"_build_ip_address() ==> IP address to write but IP address is not set"},
  };
  for (const auto& [object, message] : refused) {
    LogCapture log;
    EXPECT_EQ(Element(*object), Bytes{}) << quillog::WideToUtf8(message);
    EXPECT_TRUE(log.Has(std::wstring(L"CAsn1Value::") + message)) << quillog::WideToUtf8(message);
  }
}

// Characters when under 15% of the octets fall outside 0x20..0x7F, else
// hexadecimal; zero bytes count as not printable and are never cut. The
// octets received stay whichever way they show.
TEST(BerOctetString, PrintableOrHexadecimal) {
  Bytes fifteen_percent(20, 'a');
  fifteen_percent[17] = fifteen_percent[18] = fifteen_percent[19] = 0x01;
  const std::pair<Bytes, std::wstring> cases[] = {
      {{'a', 0x7F}, L"a\x7f"},                                  // 0x7F is inside the printable range
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
}
