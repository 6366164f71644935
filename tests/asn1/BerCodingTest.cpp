#include "asn1/Asn1Object.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "tests/asn1/CodecHelpers.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

Bytes EncodeLength(int64_t value) {
  CBerEncoder encoder;
  CAsn1Length length;
  length.SetLength(value);
  EXPECT_TRUE(length.Encode(encoder));
  return EncodedBytes(encoder);
}

bool DecodeLength(const Bytes& bytes, CAsn1Length* length, uint32_t* used = nullptr) {
  CBerDecoder decoder;
  if (!decoder.Assign(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
  const bool ok = length->Decode(decoder);
  if (used != nullptr) *used = decoder.GetUsedLength();
  return ok;
}

// Content octets of a value set by `set`; the length kept must match them.
Bytes Content(uint8_t code, const std::function<bool(CAsn1Value&)>& set) {
  CAsn1Object object(code);
  EXPECT_TRUE(set(object.GetValue()));
  CBerEncoder encoder;
  if (!object.GetValue().Build(object.GetType(), object.GetLength(), encoder)) return {};
  EXPECT_EQ(object.GetLength().GetLength(), static_cast<int64_t>(encoder.GetUsedLength()));
  return EncodedBytes(encoder);
}
Bytes IntegerContent(int64_t value) {
  return Content(ASN1_INTEGER, [value](CAsn1Value& v) { return v.SetInteger(value, true); });
}
Bytes UnsignedContent(uint8_t code, uint64_t value) {
  return Content(code, [value](CAsn1Value& v) { return v.SetUnsigned(value, true); });
}
Bytes OidContent(const wchar_t* text) {
  return Content(ASN1_OBJECT_IDENTIFIER, [text](CAsn1Value& v) { return v.SetOid(CAsn1Oid(text)); });
}
Bytes TextContent(const std::wstring& text) {
  return Content(ASN1_OCTET_STRING, [text](CAsn1Value& v) { return v.SetText(text); });
}

// The value decoded from content octets (a failure is reported).
CAsn1Value Decoded(uint8_t code, const Bytes& content) {
  CAsn1Value value;
  EXPECT_TRUE(DecodeContent(code, content, &value)) << "type " << int(code);
  return value;
}
std::wstring DecodedText(uint8_t code, const Bytes& content) { return Decoded(code, content).GetText(); }

// The whole element of an object; empty when encoding fails.
Bytes Element(CAsn1Object& object) {
  Bytes bytes;
  return EncodeElement(object, &bytes) ? bytes : Bytes{};
}

}  // namespace

// ---- Buffers

TEST(BerBuffer, EncoderGrowsBackwardAndRefusesByte2049) {
  LogCapture log;
  CBerEncoder encoder;
  EXPECT_EQ(encoder.GetUsedLength(), 0u);
  EXPECT_EQ(encoder.GetSize(), 2048u);
  EXPECT_TRUE(encoder.CheckPointer());
  EXPECT_TRUE(encoder.WriteByte(0x02));
  EXPECT_TRUE(encoder.WriteByte(0x01));
  EXPECT_EQ(EncodedBytes(encoder), (Bytes{0x01, 0x02}));
  for (int i = 2; i < 2048; ++i) ASSERT_TRUE(encoder.WriteByte(static_cast<uint8_t>(i)));
  EXPECT_TRUE(log.Records().empty());
  EXPECT_FALSE(encoder.WriteByte(0));
  const auto lines = log.Messages();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind(L"CBerBuffer::CheckPointer() ==> current < begin (", 0), 0u) << lines[0];
  EXPECT_EQ(encoder.GetData(), nullptr);
  EXPECT_FALSE(encoder.WriteByte(0));  // stays refused
}

TEST(BerDecoder, LayoutMustAddUp) {
  struct Case {
    const char* name;
    Bytes bytes;
    const wchar_t* refusal;  // null: the layout adds up
  };
  const Bytes big(3000, 0x41);
  Bytes large = {0x30, 0x82, 0x0B, 0xBC, 0x04, 0x82, 0x0B, 0xB8};  // SEQUENCE { OCTET STRING of 3,000 }
  large.insert(large.end(), big.begin(), big.end());
  Bytes deep;
  for (int i = 0; i < 33; ++i) deep.insert(deep.begin(), {0x30, static_cast<uint8_t>(2 * i)});
  const Bytes deep_enough(deep.begin() + 2, deep.end());
  const Case cases[] = {
      {"element without its length", {0x30, 0x08, 0x02, 0x01, 0x00, 0x30, 0x03, 0x05, 0x00, 0x00}, L"cut short"},
      {"exact", {0x30, 0x07, 0x02, 0x01, 0x00, 0x30, 0x02, 0x05, 0x00}, nullptr},
      {"single primitive", {0x02, 0x01, 0x05}, nullptr},
      {"one byte short", {0x30, 0x03, 0x02, 0x01}, L"cut short"},
      {"trailing byte", {0x30, 0x03, 0x02, 0x01, 0x00, 0x00}, L"trailing bytes after the message"},
      {"two messages", {0x30, 0x00, 0x30, 0x00}, L"trailing bytes after the message"},
      {"inner past outer", {0x30, 0x07, 0x30, 0x03, 0x02, 0x02, 0x00, 0x05, 0x00}, L"an element goes past the one holding it"},
      {"indefinite", {0x30, 0x80, 0x02, 0x01, 0x00, 0x00, 0x00}, L"indefinite length"},
      {"NULL with content", {0x30, 0x03, 0x05, 0x01, 0x00}, L"content under a type without value"},
      {"long form length", {0x30, 0x81, 0x03, 0x02, 0x01, 0x07}, nullptr},
      {"length of 9 bytes", {0x30, 0x89, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x05, 0x00}, nullptr},
      {"huge length", {0x30, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, L"cut short"},
      {"high tag number", {0x30, 0x05, 0x1F, 0x81, 0x01, 0x01, 0xAA}, nullptr},
      {"3,000-byte string", large, nullptr},
      {"nested 32 deep", deep_enough, nullptr},
      {"nested 33 deep", deep, L"nested too deep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogCapture log;
    CBerDecoder decoder;
    ASSERT_TRUE(decoder.Assign(c.bytes.data(), static_cast<uint32_t>(c.bytes.size())));
    EXPECT_EQ(decoder.CheckLayout(), c.refusal == nullptr);
    EXPECT_EQ(decoder.GetUsedLength(), 0u);
    if (c.refusal == nullptr) {
      EXPECT_EQ(log.CountLevel(QUILLOG_WARNING), 0u);
    } else {
      EXPECT_EQ(log.CountContaining(std::wstring(L"CBerDecoder::CheckLayout() ==> The BER lengths do not add up: ") +
                                        c.refusal,
                                    QUILLOG_WARNING),
                1u);
    }
  }
}

TEST(BerBuffer, DecoderSizeAndEnd) {
  LogCapture log;
  CBerDecoder decoder;
  uint8_t byte = 0;
  EXPECT_FALSE(decoder.ReadByte(&byte));  // nothing received yet
  EXPECT_FALSE(decoder.SetSize(0));
  EXPECT_TRUE(log.Has(L"CBerBuffer::CheckPointer() ==> new size 0 is not correct"));
  // Any UDP datagram fits: up to 65,507 bytes, the largest IPv4 payload.
  EXPECT_FALSE(decoder.SetSize(65508));
  EXPECT_TRUE(log.Has(L"CBerBuffer::CheckPointer() ==> new size 65508 is not correct"));
  EXPECT_TRUE(decoder.SetSize(65507));
  EXPECT_TRUE(decoder.SetSize(2049));

  const Bytes data = {0x11, 0x22};
  ASSERT_TRUE(decoder.Assign(data.data(), 2));
  EXPECT_TRUE(decoder.ReadByte(&byte));
  EXPECT_EQ(byte, 0x11);
  EXPECT_TRUE(decoder.ReadByte(&byte));
  EXPECT_EQ(byte, 0x22);
  EXPECT_EQ(decoder.GetUsedLength(), 2u);
  EXPECT_TRUE(decoder.CheckPointer());  // the position may equal end...
  EXPECT_FALSE(decoder.ReadByte(&byte));  // ...but no byte is read there
  EXPECT_EQ(decoder.GetUsedLength(), 2u);
  const uint8_t* block = nullptr;
  EXPECT_FALSE(decoder.ReadBlock(&block, 1));
  EXPECT_TRUE(decoder.ReadBlock(&block, 0));
}

TEST(BerBuffer, MarksPairOffLastInFirstOut) {
  LogCapture log;
  CBerEncoder encoder;
  int64_t length = 0;
  EXPECT_FALSE(encoder.Pop(&length));
  EXPECT_TRUE(log.Has(L"CBerEncoder::Pop() ==> Unable to pop because queue is empty"));
  // More marks than the inline ones.
  for (int i = 0; i < 40; ++i) {
    encoder.Push();
    ASSERT_TRUE(encoder.WriteByte(0));
  }
  for (int i = 40; i > 0; --i) {
    ASSERT_TRUE(encoder.Pop(&length));
    EXPECT_EQ(length, 40 - i + 1);
  }
  EXPECT_FALSE(encoder.Pop(&length));
}

// ---- Identifier and length octets

TEST(BerIdentifier, ExtendedTypeIsSkippedAndKeepsFirstOctetTruncatedOneFails) {
  LogCapture log;
  CBerDecoder decoder;
  const Bytes data = {0x1F, 0x81, 0x01, 0x05};
  ASSERT_TRUE(decoder.Assign(data.data(), 4));
  CAsn1Type type;
  EXPECT_TRUE(type.Decode(decoder));
  EXPECT_EQ(type.GetCode(), 0x1F);
  EXPECT_EQ(decoder.GetUsedLength(), 3u);
  EXPECT_TRUE(log.Has(L"CAsn1Type ==> Extended types are not supported"));

  const Bytes truncated = {0x3F, 0x81, 0x82};
  ASSERT_TRUE(decoder.Assign(truncated.data(), 3));
  EXPECT_FALSE(type.Decode(decoder));
  EXPECT_EQ(decoder.GetUsedLength(), 3u);
}

TEST(BerLength, Encoding) {
  const std::pair<int64_t, Bytes> cases[] = {
      {0, {0x00}},           {127, {0x7F}},           {128, {0x81, 0x80}},
      {255, {0x81, 0xFF}},   {256, {0x82, 0x01, 0x00}}, {1000, {0x82, 0x03, 0xE8}},
      {65536, {0x83, 0x01, 0x00, 0x00}},
      {INT64_MAX, {0x88, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& [value, bytes] : cases) EXPECT_EQ(EncodeLength(value), bytes) << value;
}

TEST(BerLength, Decoding) {
  LogCapture log;
  CAsn1Length length;
  const std::pair<Bytes, int64_t> cases[] = {{{0x82, 0x01, 0x00}, 256}, {{0x7F}, 127}, {{0x81, 0x80}, 128}};
  for (const auto& [bytes, value] : cases) {
    EXPECT_TRUE(DecodeLength(bytes, &length));
    EXPECT_EQ(length.GetLength(), value);
  }
  EXPECT_TRUE(log.Records().empty());

  length.SetLength(9);
  EXPECT_TRUE(DecodeLength({0x80, 0x02}, &length));
  EXPECT_TRUE(length.IsIndefinite());
  EXPECT_EQ(length.GetLength(), 0);
  EXPECT_TRUE(log.Has(L"CAsn1Length ==> Undefined length should be uncorrectly supported"));

  uint32_t used = 0;
  EXPECT_TRUE(DecodeLength({0x89, 0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}, &length, &used));
  EXPECT_TRUE(log.Has(L"CAsn1Length ==> Length of length is greater than 8 bytes"));
  EXPECT_EQ(length.GetLength(), 0x0102030405060708);
  EXPECT_EQ(used, 10u);
  EXPECT_FALSE(length.IsIndefinite());

  EXPECT_FALSE(DecodeLength({0x84, 0x01, 0x02}, &length, &used));  // truncated long form
  EXPECT_EQ(used, 3u);
}

// ---- Integers (INTEGER, Counter32, Gauge32, TimeTicks, Counter64)

TEST(BerInteger, EncodingInFewestOctets) {
  const std::pair<int64_t, Bytes> cases[] = {
      {0, {0x00}},           {127, {0x7F}},         {128, {0x00, 0x80}}, {200, {0x00, 0xC8}},
      {300, {0x01, 0x2C}},   {-1, {0xFF}},          {-56, {0xC8}},       {-128, {0x80}},
      {-129, {0xFF, 0x7F}},  {INT64_MAX, {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {INT64_MIN, {0x80, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& [value, bytes] : cases) EXPECT_EQ(IntegerContent(value), bytes) << value;
  CAsn1Object zero(ASN1_INTEGER);
  ASSERT_TRUE(zero.GetValue().SetInteger(0, true));
  EXPECT_EQ(Element(zero), (Bytes{0x02, 0x01, 0x00}));
}

TEST(BerInteger, UnsetIntegerIsNotEncoded) {
  LogCapture log;
  CAsn1Object object(ASN1_TIMETICKS);
  EXPECT_EQ(Element(object), Bytes{});
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_integer() ==> INTEGER to write but INTEGER is not set"));
}

TEST(BerInteger, Decoding) {
  const CAsn1Value a = Decoded(ASN1_INTEGER, {0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(a.GetInteger(), 4294967295);
  EXPECT_EQ(a.GetText(), L"4294967295");
  EXPECT_EQ(DecodedText(ASN1_INTEGER, {0xFF}), L"-1");
  const CAsn1Value c = Decoded(ASN1_INTEGER, {0x01, 0x2C});
  EXPECT_EQ(c.GetInteger(), 300);
  EXPECT_FALSE(c.IsReadOnly());  // decoded values stay writable
  const CAsn1Value empty = Decoded(ASN1_INTEGER, {});
  EXPECT_EQ(empty.GetInteger(), 0);
  EXPECT_TRUE(empty.IsIntegerSet());
  // More than 8 octets keep the low 64 bits.
  EXPECT_EQ(Decoded(ASN1_INTEGER, {0x12, 0x80, 0, 0, 0, 0, 0, 0, 0x05}).GetInteger(), INT64_MIN + 5);
}

TEST(BerInteger, RoundTrip) {
  for (int64_t v : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{255}, int64_t{256}, int64_t{-256}, int64_t{32767},
                    int64_t{-32768}, int64_t{2147483647}, int64_t{-2147483648LL}, int64_t{1} << 40, INT64_MAX,
                    INT64_MIN, int64_t{-123456789012}}) {
    const CAsn1Value back = Decoded(ASN1_INTEGER, IntegerContent(v));
    EXPECT_EQ(back.GetInteger(), v);
    EXPECT_EQ(back.GetText(), std::to_wstring(v));
  }
}

// Counter32, Gauge32, TimeTicks and Counter64 hold unsigned numbers.
TEST(BerInteger, UnsignedTypesNeverShowNegative) {
  struct Case {
    uint8_t code;
    Bytes content;
    const wchar_t* text;
  };
  const Case cases[] = {
      {ASN1_COUNTER32, {0xFF, 0xFF, 0xFF, 0xFF}, L"4294967295"},
      {ASN1_GAUGE32, {0x80, 0x00, 0x00, 0x00}, L"2147483648"},
      {ASN1_TIMETICKS, {0x00, 0x80, 0x00, 0x00, 0x00}, L"2147483648"},
      {ASN1_COUNTER64, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, L"18446744073709551615"},
      {ASN1_COUNTER64, {0x80, 0, 0, 0, 0, 0, 0, 0}, L"9223372036854775808"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodedText(c.code, c.content), c.text) << int(c.code);
  EXPECT_EQ(Decoded(ASN1_COUNTER32, {0xFF, 0xFF, 0xFF, 0xFF}).GetInteger(), 4294967295);
  EXPECT_EQ(Decoded(ASN1_COUNTER64, cases[3].content).GetInteger(), -1);  // the 64-bit pattern is kept
}

TEST(BerInteger, UnsignedTypesEncodeAsPositiveNumbers) {
  EXPECT_EQ(UnsignedContent(ASN1_COUNTER64, 18446744073709551615ull),
            (Bytes{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(UnsignedContent(ASN1_COUNTER64, 9223372036854775808ull), (Bytes{0x00, 0x80, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(UnsignedContent(ASN1_COUNTER32, 4294967295u), (Bytes{0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(UnsignedContent(ASN1_TIMETICKS, 0), (Bytes{0x00}));
  EXPECT_EQ(UnsignedContent(ASN1_GAUGE32, 128), (Bytes{0x00, 0x80}));
  for (uint64_t v : {0ull, 127ull, 128ull, 4294967295ull, 9223372036854775807ull, 9223372036854775808ull,
                     18446744073709551615ull}) {
    EXPECT_EQ(Decoded(ASN1_COUNTER64, UnsignedContent(ASN1_COUNTER64, v)).GetUnsigned(), v);
  }
}

// ---- OBJECT IDENTIFIER

TEST(BerOid, Encoding) {
  EXPECT_EQ(OidContent(L"1.3.6.1.4.1.9"), (Bytes{0x2B, 0x06, 0x01, 0x04, 0x01, 0x09}));
  EXPECT_EQ(OidContent(L"1.3.6.1.2.1"), (Bytes{0x2B, 0x06, 0x01, 0x02, 0x01}));
  EXPECT_EQ(OidContent(L"1.3.200"), (Bytes{0x2B, 0x81, 0x48}));
  EXPECT_EQ(OidContent(L"1.3.0"), (Bytes{0x2B, 0x00}));
  EXPECT_EQ(OidContent(L"2.39"), (Bytes{119}));
  EXPECT_EQ(OidContent(L"1.3.18446744073709551615"),
            (Bytes{0x2B, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(BerOid, UnsetEmptyAndInvalidOidsAreNotEncoded) {
  LogCapture log;
  CAsn1Object unset(ASN1_OBJECT_IDENTIFIER);
  EXPECT_EQ(Element(unset), Bytes{});
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_object_identifier() ==> OID to write but OID is not set"));

  // Check accepts the empty OID; it is still never encoded.
  CAsn1Object empty(ASN1_OBJECT_IDENTIFIER);
  ASSERT_TRUE(empty.GetValue().SetOid(CAsn1Oid()));
  log.Clear();
  EXPECT_EQ(Element(empty), Bytes{});
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_object_identifier() ==> An empty OID cannot be encoded"));

  CAsn1Object invalid(ASN1_OBJECT_IDENTIFIER);
  ASSERT_TRUE(DecodeContent(ASN1_OBJECT_IDENTIFIER, {0x7F, 0x01}, &invalid.GetValue()));
  EXPECT_EQ(invalid.GetText(), L"3.7.1");
  EXPECT_EQ(Element(invalid), Bytes{});
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_object_identifier() ==> The OID is not a valid OID"));
}

TEST(BerOid, Decoding) {
  const CAsn1Value a = Decoded(ASN1_OBJECT_IDENTIFIER, {0x2B, 0x06, 0x01, 0x04, 0x01, 0x09});
  EXPECT_EQ(a.GetText(), L"1.3.6.1.4.1.9");
  EXPECT_TRUE(a.IsOidSet());
  EXPECT_EQ(DecodedText(ASN1_OBJECT_IDENTIFIER, {0x2B, 0x81, 0x48, 0x81}), L"1.3.200");  // open arc dropped
  const CAsn1Value empty = Decoded(ASN1_OBJECT_IDENTIFIER, {});
  EXPECT_TRUE(empty.IsOidSet());
  EXPECT_TRUE(empty.GetOid().IsEmpty());
  EXPECT_EQ(empty.GetText(), L"");
  // Longer than 64 bits: the low 64 bits stay.
  const CAsn1Value big =
      Decoded(ASN1_OBJECT_IDENTIFIER, {0x2B, 0x83, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F});
  EXPECT_EQ(big.GetOid().GetAt(2), 18446744073709551615ull);
}

// ---- OCTET STRING and Opaque

TEST(BerOctetString, PrintableOrHexadecimal) {
  Bytes twenty(20, 'a');  // 3 of 20 = 15% not printable: hexadecimal
  twenty[17] = 0x01;
  twenty[18] = 0x02;
  twenty[19] = 0x03;
  EXPECT_EQ(DecodedText(ASN1_OCTET_STRING, {0x68, 0x69}), L"hi");
  EXPECT_EQ(DecodedText(ASN1_OCTET_STRING, {0x0C, 0x29, 0x01, 0x02, 0x03, 0xFF}), L"0c:29:01:02:03:ff");
  // 1 of 7 octets outside the range: 14% shows as text.
  EXPECT_EQ(DecodedText(ASN1_OCTET_STRING, {'c', 'a', 'f', 0xE9, 'b', 'a', 'r'}), L"caf\u00e9bar");
  EXPECT_EQ(DecodedText(ASN1_OCTET_STRING, twenty).substr(0, 6), L"61:61:");
  EXPECT_EQ(DecodedText(ASN1_OCTET_STRING, {}), L"");
  // Zero bytes count as not printable and, when the content shows as text,
  // stay in it; nothing after them is cut.
  EXPECT_EQ(DecodedText(ASN1_OCTET_STRING, {0x00, 'a', 'b'}), L"00:61:62");
  const Bytes box = {'L', 'i', 'n', 'u', 'x', ' ', 'b', 'o', 'x', 0x00};
  const std::wstring text = DecodedText(ASN1_OCTET_STRING, box);
  EXPECT_EQ(text, std::wstring(L"Linux box\0", 10));
  // The text re-encodes to the octets received.
  EXPECT_EQ(TextContent(text), box);
}

TEST(BerOctetString, DecodedValuesKeepTheirOctets) {
  // "1a:ff" is both five printable octets and the two octets 1A FF: the
  // text cannot tell, the octets can.
  const std::pair<uint8_t, Bytes> cases[] = {
      {ASN1_OCTET_STRING, {'1', 'a', ':', 'f', 'f'}},
      {ASN1_OCTET_STRING, {0x1A, 0xFF}},
      {ASN1_OCTET_STRING, {'c', 'a', 'f', 0xC3, 0xA9}},  // UTF-8, shown in hexadecimal
      {ASN1_OCTET_STRING, {'a', 0x00, 'b', 'c', 'd', 'e', 'f', 'g'}},
      {ASN1_OCTET_STRING, {}},
      {ASN1_OPAQUE, {0x9F, 0x78, 0x04, 0x42}},
  };
  for (const auto& [code, content] : cases) {
    const std::string octets = Decoded(code, content).GetOctets();
    EXPECT_EQ(Bytes(octets.begin(), octets.end()), content);
  }
  EXPECT_EQ(DecodedText(ASN1_OCTET_STRING, {'1', 'a', ':', 'f', 'f'}), DecodedText(ASN1_OCTET_STRING, {0x1A, 0xFF}));
  EXPECT_EQ(Decoded(ASN1_INTEGER, {0x05}).GetOctets(), "");
  CAsn1Value changed = Decoded(ASN1_OCTET_STRING, {0x1A, 0xFF});
  ASSERT_TRUE(changed.SetText(L"new"));
  EXPECT_EQ(changed.GetOctets(), "");  // no longer what was received
}

TEST(BerOctetString, EncodingSendsTheText) {
  EXPECT_EQ(TextContent(L"abc"), (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(TextContent(L""), Bytes{});
  EXPECT_EQ(TextContent(L"\u00e9\u0141"), (Bytes{0xE9, 0x41}));  // low 8 bits
  // A hexadecimal text is sent as its characters: 0a:1b is five octets.
  CAsn1Object opaque(ASN1_OPAQUE);
  ASSERT_TRUE(DecodeContent(ASN1_OPAQUE, {0x0A, 0x1B}, &opaque.GetValue()));
  EXPECT_EQ(Element(opaque), (Bytes{0x44, 0x05, '0', 'a', ':', '1', 'b'}));
  // An unset OCTET STRING is empty, not an error.
  CAsn1Object unset(ASN1_OCTET_STRING);
  EXPECT_EQ(Element(unset), (Bytes{0x04, 0x00}));
}

TEST(BerOctetString, LongContentUsesLongLength) {
  CAsn1Object object(ASN1_OCTET_STRING);
  ASSERT_TRUE(object.GetValue().SetText(std::wstring(300, L'x')));
  const Bytes bytes = Element(object);
  ASSERT_EQ(bytes.size(), 304u);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0x04, 0x82, 0x01, 0x2C}));
  CAsn1Object back;
  ASSERT_TRUE(DecodeElement(bytes, &back));
  EXPECT_EQ(back.GetText(), std::wstring(300, L'x'));
}

// ---- BOOLEAN and IpAddress

TEST(BerBoolean, Coding) {
  LogCapture log;
  CAsn1Object t(ASN1_BOOLEAN);
  ASSERT_TRUE(t.GetValue().SetBoolean(true));
  EXPECT_EQ(Element(t), (Bytes{0x01, 0x01, 0x01}));
  CAsn1Object unset(ASN1_BOOLEAN);
  EXPECT_EQ(Element(unset), Bytes{});
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_boolean() ==> BOOLEAN to write but BOOLEAN is not set"));

  const CAsn1Value one = Decoded(ASN1_BOOLEAN, {0x01});
  EXPECT_TRUE(one.GetBoolean());
  EXPECT_EQ(one.GetText(), L"1");
  EXPECT_EQ(DecodedText(ASN1_BOOLEAN, {0xFF}), L"255");
  const CAsn1Value zero = Decoded(ASN1_BOOLEAN, {0x00});
  EXPECT_FALSE(zero.GetBoolean());
  EXPECT_TRUE(zero.IsBooleanSet());
}

// A BOOLEAN has exactly one content octet; other lengths are refused.
TEST(BerBoolean, WrongLengthIsRefused) {
  LogCapture log;
  uint32_t used = 99;
  CAsn1Value none;
  EXPECT_FALSE(DecodeContent(ASN1_BOOLEAN, {}, &none, &used));
  EXPECT_EQ(used, 0u);  // the byte after the element is not taken
  EXPECT_FALSE(none.IsBooleanSet());
  CAsn1Value two;
  EXPECT_FALSE(DecodeContent(ASN1_BOOLEAN, {0x01, 0x01}, &two, &used));
  EXPECT_FALSE(two.IsBooleanSet());
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_boolean() ==> A BOOLEAN has 1 byte, not 2"));
}

TEST(BerIpAddress, Coding) {
  LogCapture log;
  CAsn1Object object(ASN1_IP_ADDRESS);
  ASSERT_TRUE(object.GetValue().SetIpAddress(L"10.1.2.3"));
  EXPECT_EQ(Element(object), (Bytes{0x40, 0x04, 0x0A, 0x01, 0x02, 0x03}));
  CAsn1Object unset(ASN1_IP_ADDRESS);
  EXPECT_EQ(Element(unset), Bytes{});
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_ip_address() ==> IP address to write but IP address is not set"));

  const CAsn1Value four = Decoded(ASN1_IP_ADDRESS, {0xC0, 0xA8, 0x01, 0x0A});
  EXPECT_EQ(four.GetAddress(), 0xC0A8010Au);
  EXPECT_EQ(four.GetText(), L"192.168.1.10");
  log.Clear();
  const CAsn1Value three = Decoded(ASN1_IP_ADDRESS, {10, 0, 7});
  EXPECT_TRUE(log.Has(L"An IP address with 3 bytes!!"));
  EXPECT_EQ(three.GetText(), L"10.0.7");
  EXPECT_EQ(three.GetAddress(), 0x0A0007u);
}

// ---- Other types

TEST(BerOtherTypes, EncodingRefusesTypesWithoutCoding) {
  LogCapture log;
  CAsn1Object bits(ASN1_BIT_STRING);
  ASSERT_TRUE(bits.GetValue().SetText(L"x"));
  EXPECT_EQ(Element(bits), Bytes{});
  EXPECT_TRUE(log.Has(L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (Bit String)"));
  // NULL, exceptions and constructed types write no content.
  for (uint8_t code : {ASN1_NULL, ASN1_NO_SUCH_OBJECT, ASN1_END_OF_MIB_VIEW}) {
    CAsn1Object object(code);
    EXPECT_EQ(Element(object), (Bytes{code, 0x00}));
  }
}

TEST(BerOtherTypes, DecodingShowsHexadecimal) {
  LogCapture log;
  EXPECT_EQ(DecodedText(ASN1_OPAQUE, {0x1A, 0xFF, 0x01}), L"1a:ff:01");
  EXPECT_TRUE(log.Records().empty());
  EXPECT_EQ(DecodedText(ASN1_BIT_STRING, {0x00, 0x80}), L"00:80");
  EXPECT_TRUE(log.Has(L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (3)"));
  CAsn1Value null;  // carries no value: nothing is read
  uint32_t used = 9;
  ASSERT_TRUE(DecodeContent(ASN1_NULL, {0x01, 0x02}, &null, &used));
  EXPECT_EQ(used, 0u);
}

// ---- Lengths past the received bytes

TEST(BerBounds, ContentLongerThanDatagramIsRefused) {
  LogCapture log;
  for (uint8_t code : {ASN1_INTEGER, ASN1_OCTET_STRING, ASN1_OBJECT_IDENTIFIER, ASN1_IP_ADDRESS, ASN1_OPAQUE,
                       ASN1_COUNTER64, uint8_t{0x1E}}) {
    CAsn1Object object;
    uint32_t used = 0;
    // Length 5 with 2 content bytes; then a 64-bit long length.
    EXPECT_FALSE(DecodeElement({code, 0x05, 0x01, 0x02}, &object, &used)) << int(code);
    EXPECT_EQ(used, 2u);
    EXPECT_FALSE(DecodeElement({code, 0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, &object));
    EXPECT_FALSE(DecodeElement({code, 0x84, 0x7F, 0xFF, 0xFF, 0xFF, 0x01}, &object));
  }
  EXPECT_TRUE(log.Has(L"CAsn1Value::Build() ==> Length 5 goes past the received bytes (2 left)"));
}
