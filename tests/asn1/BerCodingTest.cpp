#include "asn1/Asn1Object.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "tests/asn1/CodecHelpers.h"
#include "tests/asn1/LogCapture.h"

#include <gtest/gtest.h>

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

Bytes Content(uint8_t code, const std::function<bool(CAsn1Value&)>& set, bool* ok = nullptr) {
  CAsn1Object object(code);
  EXPECT_TRUE(set(object.GetValue()));
  CBerEncoder encoder;
  const bool built = object.GetValue().Build(object.GetType(), object.GetLength(), encoder);
  if (ok != nullptr) *ok = built;
  if (!built) return {};
  EXPECT_EQ(object.GetLength().GetLength(), static_cast<int64_t>(encoder.GetUsedLength()));
  return EncodedBytes(encoder);
}

Bytes IntegerContent(int64_t value, uint8_t code = ASN1_INTEGER) {
  return Content(code, [value](CAsn1Value& v) { return v.SetInteger(value, true); });
}

}  // namespace

// ---- Buffers

TEST(BerBuffer, EncoderStartsAtEndAndGrowsBackward) {
  CBerEncoder encoder;
  EXPECT_EQ(encoder.GetUsedLength(), 0u);
  EXPECT_EQ(encoder.GetSize(), 2048u);
  EXPECT_TRUE(encoder.CheckPointer());
  EXPECT_TRUE(encoder.WriteByte(0x02));
  EXPECT_TRUE(encoder.WriteByte(0x01));
  EXPECT_EQ(EncodedBytes(encoder), (Bytes{0x01, 0x02}));
}

TEST(BerBuffer, EncoderRefusesByte2049) {
  LogCapture log;
  CBerEncoder encoder;
  for (int i = 0; i < 2048; ++i) ASSERT_TRUE(encoder.WriteByte(static_cast<uint8_t>(i)));
  EXPECT_EQ(log.Count(), 0u);
  EXPECT_FALSE(encoder.WriteByte(0));
  const auto lines = log.Take();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind(L"CBerBuffer::CheckPointer() ==> current < begin (", 0), 0u) << lines[0];
  EXPECT_EQ(encoder.GetData(), nullptr);
  EXPECT_FALSE(encoder.WriteByte(0));  // stays refused
}

TEST(BerBuffer, DecoderSize) {
  LogCapture log;
  CBerDecoder decoder;
  uint8_t byte = 0;
  EXPECT_FALSE(decoder.ReadByte(&byte));  // nothing received yet
  EXPECT_FALSE(decoder.SetSize(0));
  EXPECT_TRUE(log.Has(L"CBerBuffer::CheckPointer() ==> new size 0 is not correct"));
  EXPECT_FALSE(decoder.SetSize(2049));
  EXPECT_TRUE(log.Has(L"CBerBuffer::CheckPointer() ==> new size 2049 is not correct"));
  EXPECT_TRUE(decoder.SetSize(2048));
}

TEST(BerBuffer, DecoderNeverReadsAtEnd) {
  LogCapture log;
  CBerDecoder decoder;
  const Bytes data = {0x11, 0x22};
  ASSERT_TRUE(decoder.Assign(data.data(), 2));
  uint8_t byte = 0;
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

// ---- Identifier octets

TEST(BerIdentifier, ExtendedTypeIsSkippedAndKeepsFirstOctet) {
  LogCapture log;
  CBerDecoder decoder;
  const Bytes data = {0x1F, 0x81, 0x01, 0x05};
  ASSERT_TRUE(decoder.Assign(data.data(), 4));
  CAsn1Type type;
  EXPECT_TRUE(type.Decode(decoder));
  EXPECT_EQ(type.GetCode(), 0x1F);
  EXPECT_EQ(decoder.GetUsedLength(), 3u);
  EXPECT_TRUE(log.Has(L"CAsn1Type ==> Extended types are not supported"));
}

TEST(BerIdentifier, TruncatedExtendedTypeFails) {
  LogCapture log;
  CBerDecoder decoder;
  const Bytes data = {0x3F, 0x81, 0x82};
  ASSERT_TRUE(decoder.Assign(data.data(), 3));
  CAsn1Type type;
  EXPECT_FALSE(type.Decode(decoder));
  EXPECT_EQ(decoder.GetUsedLength(), 3u);
}

// ---- Length octets

TEST(BerLength, Encoding) {
  EXPECT_EQ(EncodeLength(0), (Bytes{0x00}));
  EXPECT_EQ(EncodeLength(127), (Bytes{0x7F}));
  EXPECT_EQ(EncodeLength(128), (Bytes{0x81, 0x80}));
  EXPECT_EQ(EncodeLength(255), (Bytes{0x81, 0xFF}));
  EXPECT_EQ(EncodeLength(256), (Bytes{0x82, 0x01, 0x00}));
  EXPECT_EQ(EncodeLength(1000), (Bytes{0x82, 0x03, 0xE8}));
  EXPECT_EQ(EncodeLength(65536), (Bytes{0x83, 0x01, 0x00, 0x00}));
  EXPECT_EQ(EncodeLength(INT64_MAX), (Bytes{0x88, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(BerLength, Decoding) {
  LogCapture log;
  CAsn1Length length;
  EXPECT_TRUE(DecodeLength({0x82, 0x01, 0x00}, &length));
  EXPECT_EQ(length.GetLength(), 256);
  EXPECT_TRUE(DecodeLength({0x7F}, &length));
  EXPECT_EQ(length.GetLength(), 127);
  EXPECT_TRUE(DecodeLength({0x81, 0x80}, &length));
  EXPECT_EQ(length.GetLength(), 128);
  EXPECT_EQ(log.Count(), 0u);

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
}

TEST(BerLength, TruncatedLongFormFails) {
  LogCapture log;
  CAsn1Length length;
  uint32_t used = 0;
  EXPECT_FALSE(DecodeLength({0x84, 0x01, 0x02}, &length, &used));
  EXPECT_EQ(used, 3u);
}

// ---- Integers (INTEGER, Counter32, Gauge32, TimeTicks, Counter64)

TEST(BerInteger, EncodingInFewestOctets) {
  EXPECT_EQ(IntegerContent(0), (Bytes{0x00}));
  EXPECT_EQ(IntegerContent(127), (Bytes{0x7F}));
  EXPECT_EQ(IntegerContent(128), (Bytes{0x00, 0x80}));
  EXPECT_EQ(IntegerContent(200), (Bytes{0x00, 0xC8}));
  EXPECT_EQ(IntegerContent(300), (Bytes{0x01, 0x2C}));
  EXPECT_EQ(IntegerContent(-1), (Bytes{0xFF}));
  EXPECT_EQ(IntegerContent(-56), (Bytes{0xC8}));
  EXPECT_EQ(IntegerContent(-128), (Bytes{0x80}));
  EXPECT_EQ(IntegerContent(-129), (Bytes{0xFF, 0x7F}));
  EXPECT_EQ(IntegerContent(INT64_MAX), (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(IntegerContent(INT64_MIN), (Bytes{0x80, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BerInteger, WholeElement) {
  CAsn1Object zero(ASN1_INTEGER);
  ASSERT_TRUE(zero.GetValue().SetInteger(0, true));
  Bytes bytes;
  ASSERT_TRUE(EncodeElement(zero, &bytes));
  EXPECT_EQ(bytes, (Bytes{0x02, 0x01, 0x00}));
}

TEST(BerInteger, UnsetIntegerIsNotEncoded) {
  LogCapture log;
  CAsn1Object object(ASN1_TIMETICKS);
  Bytes bytes;
  EXPECT_FALSE(EncodeElement(object, &bytes));
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_integer() ==> INTEGER to write but INTEGER is not set"));
}

TEST(BerInteger, Decoding) {
  CAsn1Value a;
  ASSERT_TRUE(DecodeContent(ASN1_INTEGER, {0x00, 0xFF, 0xFF, 0xFF, 0xFF}, &a));
  EXPECT_EQ(a.GetInteger(), 4294967295);
  EXPECT_EQ(a.GetText(), L"4294967295");
  CAsn1Value b;
  ASSERT_TRUE(DecodeContent(ASN1_INTEGER, {0xFF}, &b));
  EXPECT_EQ(b.GetText(), L"-1");
  CAsn1Value c;
  ASSERT_TRUE(DecodeContent(ASN1_INTEGER, {0x01, 0x2C}, &c));
  EXPECT_EQ(c.GetInteger(), 300);
  EXPECT_FALSE(c.IsReadOnly());  // decoded values stay writable
  CAsn1Value d;
  ASSERT_TRUE(DecodeContent(ASN1_INTEGER, {}, &d));
  EXPECT_EQ(d.GetInteger(), 0);
  EXPECT_TRUE(d.IsIntegerSet());
  CAsn1Value e;  // more than 8 octets keep the low 64 bits
  ASSERT_TRUE(DecodeContent(ASN1_INTEGER, {0x12, 0x80, 0, 0, 0, 0, 0, 0, 0x05}, &e));
  EXPECT_EQ(e.GetInteger(), INT64_MIN + 5);
}

TEST(BerInteger, RoundTrip) {
  for (int64_t v : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{255}, int64_t{256}, int64_t{-256}, int64_t{32767},
                    int64_t{-32768}, int64_t{2147483647}, int64_t{-2147483648LL}, int64_t{1} << 40, INT64_MAX,
                    INT64_MIN, int64_t{-123456789012}}) {
    CAsn1Value back;
    ASSERT_TRUE(DecodeContent(ASN1_INTEGER, IntegerContent(v), &back)) << v;
    EXPECT_EQ(back.GetInteger(), v);
    EXPECT_EQ(back.GetText(), std::to_wstring(v));
  }
}

// Counter32, Gauge32, TimeTicks and Counter64 hold unsigned numbers.
TEST(BerInteger, UnsignedTypesNeverShowNegative) {
  CAsn1Value c32;
  ASSERT_TRUE(DecodeContent(ASN1_COUNTER32, {0xFF, 0xFF, 0xFF, 0xFF}, &c32));
  EXPECT_EQ(c32.GetText(), L"4294967295");
  EXPECT_EQ(c32.GetInteger(), 4294967295);
  CAsn1Value g32;
  ASSERT_TRUE(DecodeContent(ASN1_GAUGE32, {0x80, 0x00, 0x00, 0x00}, &g32));
  EXPECT_EQ(g32.GetText(), L"2147483648");
  CAsn1Value ticks;
  ASSERT_TRUE(DecodeContent(ASN1_TIMETICKS, {0x00, 0x80, 0x00, 0x00, 0x00}, &ticks));
  EXPECT_EQ(ticks.GetText(), L"2147483648");
  CAsn1Value c64;
  ASSERT_TRUE(DecodeContent(ASN1_COUNTER64, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, &c64));
  EXPECT_EQ(c64.GetText(), L"18446744073709551615");
  EXPECT_EQ(c64.GetInteger(), -1);  // the 64-bit pattern is kept
  CAsn1Value top;
  ASSERT_TRUE(DecodeContent(ASN1_COUNTER64, {0x80, 0, 0, 0, 0, 0, 0, 0}, &top));
  EXPECT_EQ(top.GetText(), L"9223372036854775808");
}

TEST(BerInteger, UnsignedTypesEncodeAsPositiveNumbers) {
  auto unsigned_content = [](uint8_t code, uint64_t value) {
    return Content(code, [value](CAsn1Value& v) { return v.SetUnsigned(value, true); });
  };
  EXPECT_EQ(unsigned_content(ASN1_COUNTER64, 18446744073709551615ull),
            (Bytes{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(unsigned_content(ASN1_COUNTER64, 9223372036854775808ull), (Bytes{0x00, 0x80, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(unsigned_content(ASN1_COUNTER32, 4294967295u), (Bytes{0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(unsigned_content(ASN1_TIMETICKS, 0), (Bytes{0x00}));
  EXPECT_EQ(unsigned_content(ASN1_GAUGE32, 128), (Bytes{0x00, 0x80}));
  for (uint64_t v : {0ull, 127ull, 128ull, 4294967295ull, 9223372036854775807ull, 9223372036854775808ull,
                     18446744073709551615ull}) {
    CAsn1Value back;
    ASSERT_TRUE(DecodeContent(ASN1_COUNTER64, unsigned_content(ASN1_COUNTER64, v), &back));
    EXPECT_EQ(back.GetUnsigned(), v);
  }
}

// ---- OBJECT IDENTIFIER

TEST(BerOid, Encoding) {
  auto oid_content = [](const wchar_t* text) {
    return Content(ASN1_OBJECT_IDENTIFIER, [text](CAsn1Value& v) { return v.SetOid(CAsn1Oid(text)); });
  };
  EXPECT_EQ(oid_content(L"1.3.6.1.4.1.9"), (Bytes{0x2B, 0x06, 0x01, 0x04, 0x01, 0x09}));
  EXPECT_EQ(oid_content(L"1.3.6.1.2.1"), (Bytes{0x2B, 0x06, 0x01, 0x02, 0x01}));
  EXPECT_EQ(oid_content(L"1.3.200"), (Bytes{0x2B, 0x81, 0x48}));
  EXPECT_EQ(oid_content(L"1.3.0"), (Bytes{0x2B, 0x00}));
  EXPECT_EQ(oid_content(L"2.39"), (Bytes{119}));
  EXPECT_EQ(oid_content(L"1.3.18446744073709551615"),
            (Bytes{0x2B, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
}

TEST(BerOid, UnencodableOids) {
  LogCapture log;
  CAsn1Object unset(ASN1_OBJECT_IDENTIFIER);
  Bytes bytes;
  EXPECT_FALSE(EncodeElement(unset, &bytes));
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_object_identifier() ==> OID to write but OID is not set"));

  // Check accepts the empty OID; it is still never encoded.
  CAsn1Object empty(ASN1_OBJECT_IDENTIFIER);
  ASSERT_TRUE(empty.GetValue().SetOid(CAsn1Oid()));
  log.Clear();
  EXPECT_FALSE(EncodeElement(empty, &bytes));
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_object_identifier() ==> An empty OID cannot be encoded"));
}

TEST(BerOid, InvalidDecodedOidIsNotEncodedAgain) {
  LogCapture log;
  CAsn1Object object(ASN1_OBJECT_IDENTIFIER);
  ASSERT_TRUE(DecodeContent(ASN1_OBJECT_IDENTIFIER, {0x7F, 0x01}, &object.GetValue()));  // 3.7.1
  EXPECT_EQ(object.GetText(), L"3.7.1");
  Bytes bytes;
  EXPECT_FALSE(EncodeElement(object, &bytes));
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_object_identifier() ==> The OID is not a valid OID"));
}

TEST(BerOid, Decoding) {
  CAsn1Value a;
  ASSERT_TRUE(DecodeContent(ASN1_OBJECT_IDENTIFIER, {0x2B, 0x06, 0x01, 0x04, 0x01, 0x09}, &a));
  EXPECT_EQ(a.GetText(), L"1.3.6.1.4.1.9");
  EXPECT_TRUE(a.IsOidSet());
  CAsn1Value b;
  ASSERT_TRUE(DecodeContent(ASN1_OBJECT_IDENTIFIER, {0x2B, 0x81, 0x48, 0x81}, &b));  // open arc dropped
  EXPECT_EQ(b.GetText(), L"1.3.200");
  CAsn1Value c;
  ASSERT_TRUE(DecodeContent(ASN1_OBJECT_IDENTIFIER, {}, &c));
  EXPECT_TRUE(c.IsOidSet());
  EXPECT_TRUE(c.GetOid().IsEmpty());
  EXPECT_EQ(c.GetText(), L"");
  CAsn1Value d;  // longer than 64 bits: the low 64 bits stay
  ASSERT_TRUE(DecodeContent(ASN1_OBJECT_IDENTIFIER,
                            {0x2B, 0x83, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, &d));
  EXPECT_EQ(d.GetOid().GetAt(2), 18446744073709551615ull);
}

// ---- OCTET STRING and Opaque

TEST(BerOctetString, PrintableOrHexadecimal) {
  CAsn1Value hi;
  ASSERT_TRUE(DecodeContent(ASN1_OCTET_STRING, {0x68, 0x69}, &hi));
  EXPECT_EQ(hi.GetText(), L"hi");
  CAsn1Value mac;
  ASSERT_TRUE(DecodeContent(ASN1_OCTET_STRING, {0x0C, 0x29, 0x01, 0x02, 0x03, 0xFF}, &mac));
  EXPECT_EQ(mac.GetText(), L"0c:29:01:02:03:ff");
  CAsn1Value e_acute;  // 1 of 7 octets outside the range: 14% shows as text
  ASSERT_TRUE(DecodeContent(ASN1_OCTET_STRING, {'c', 'a', 'f', 0xE9, 'b', 'a', 'r'}, &e_acute));
  EXPECT_EQ(e_acute.GetText(), L"caf\u00e9bar");
  CAsn1Value fifteen;  // 3 of 20 = 15%: hexadecimal
  Bytes twenty(20, 'a');
  twenty[17] = 0x01;
  twenty[18] = 0x02;
  twenty[19] = 0x03;
  ASSERT_TRUE(DecodeContent(ASN1_OCTET_STRING, twenty, &fifteen));
  EXPECT_EQ(fifteen.GetText().substr(0, 6), L"61:61:");
  CAsn1Value empty;
  ASSERT_TRUE(DecodeContent(ASN1_OCTET_STRING, {}, &empty));
  EXPECT_EQ(empty.GetText(), L"");
}

// Zero bytes are octets like the others: they count as not printable and,
// when the content shows as text, stay in it; nothing after them is cut.
TEST(BerOctetString, ZeroBytes) {
  CAsn1Value leading;
  ASSERT_TRUE(DecodeContent(ASN1_OCTET_STRING, {0x00, 'a', 'b'}, &leading));
  EXPECT_EQ(leading.GetText(), L"00:61:62");
  CAsn1Value trailing;
  ASSERT_TRUE(DecodeContent(ASN1_OCTET_STRING, {'L', 'i', 'n', 'u', 'x', ' ', 'b', 'o', 'x', 0x00}, &trailing));
  EXPECT_EQ(trailing.GetText(), std::wstring(L"Linux box\0", 10));
  // The text re-encodes to the octets received.
  CAsn1Object again(ASN1_OCTET_STRING);
  ASSERT_TRUE(again.GetValue().SetText(trailing.GetText()));
  Bytes bytes;
  ASSERT_TRUE(EncodeElement(again, &bytes));
  EXPECT_EQ(bytes, (Bytes{0x04, 0x0A, 'L', 'i', 'n', 'u', 'x', ' ', 'b', 'o', 'x', 0x00}));
}

TEST(BerOctetString, EncodingSendsTheText) {
  auto text_content = [](uint8_t code, const std::wstring& text) {
    return Content(code, [text](CAsn1Value& v) { return v.SetText(text); });
  };
  EXPECT_EQ(text_content(ASN1_OCTET_STRING, L"abc"), (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(text_content(ASN1_OCTET_STRING, L""), Bytes{});
  EXPECT_EQ(text_content(ASN1_OCTET_STRING, L"\u00e9\u0141"), (Bytes{0xE9, 0x41}));  // low 8 bits
  // A hexadecimal text is sent as its characters: 0a:1b is five octets.
  CAsn1Object opaque(ASN1_OPAQUE);
  ASSERT_TRUE(DecodeContent(ASN1_OPAQUE, {0x0A, 0x1B}, &opaque.GetValue()));
  Bytes bytes;
  ASSERT_TRUE(EncodeElement(opaque, &bytes));
  EXPECT_EQ(bytes, (Bytes{0x44, 0x05, '0', 'a', ':', '1', 'b'}));
  // An unset OCTET STRING is empty, not an error.
  CAsn1Object unset(ASN1_OCTET_STRING);
  ASSERT_TRUE(EncodeElement(unset, &bytes));
  EXPECT_EQ(bytes, (Bytes{0x04, 0x00}));
}

TEST(BerOctetString, LongContentUsesLongLength) {
  CAsn1Object object(ASN1_OCTET_STRING);
  ASSERT_TRUE(object.GetValue().SetText(std::wstring(300, L'x')));
  Bytes bytes;
  ASSERT_TRUE(EncodeElement(object, &bytes));
  ASSERT_EQ(bytes.size(), 304u);
  EXPECT_EQ((Bytes{bytes[0], bytes[1], bytes[2], bytes[3]}), (Bytes{0x04, 0x82, 0x01, 0x2C}));
  CAsn1Object back;
  ASSERT_TRUE(DecodeElement(bytes, &back));
  EXPECT_EQ(back.GetText(), std::wstring(300, L'x'));
}

// ---- BOOLEAN

TEST(BerBoolean, Coding) {
  LogCapture log;
  CAsn1Object t(ASN1_BOOLEAN);
  ASSERT_TRUE(t.GetValue().SetBoolean(true));
  Bytes bytes;
  ASSERT_TRUE(EncodeElement(t, &bytes));
  EXPECT_EQ(bytes, (Bytes{0x01, 0x01, 0x01}));
  CAsn1Object unset(ASN1_BOOLEAN);
  EXPECT_FALSE(EncodeElement(unset, &bytes));
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_boolean() ==> BOOLEAN to write but BOOLEAN is not set"));

  CAsn1Value one;
  ASSERT_TRUE(DecodeContent(ASN1_BOOLEAN, {0x01}, &one));
  EXPECT_TRUE(one.GetBoolean());
  EXPECT_EQ(one.GetText(), L"1");
  CAsn1Value ff;
  ASSERT_TRUE(DecodeContent(ASN1_BOOLEAN, {0xFF}, &ff));
  EXPECT_EQ(ff.GetText(), L"255");
  CAsn1Value zero;
  ASSERT_TRUE(DecodeContent(ASN1_BOOLEAN, {0x00}, &zero));
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

// ---- IpAddress

TEST(BerIpAddress, Coding) {
  LogCapture log;
  CAsn1Object object(ASN1_IP_ADDRESS);
  ASSERT_TRUE(object.GetValue().SetIpAddress(L"10.1.2.3"));
  Bytes bytes;
  ASSERT_TRUE(EncodeElement(object, &bytes));
  EXPECT_EQ(bytes, (Bytes{0x40, 0x04, 0x0A, 0x01, 0x02, 0x03}));
  CAsn1Object unset(ASN1_IP_ADDRESS);
  EXPECT_FALSE(EncodeElement(unset, &bytes));
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_ip_address() ==> IP address to write but IP address is not set"));

  CAsn1Value four;
  ASSERT_TRUE(DecodeContent(ASN1_IP_ADDRESS, {0xC0, 0xA8, 0x01, 0x0A}, &four));
  EXPECT_EQ(four.GetAddress(), 0xC0A8010Au);
  EXPECT_EQ(four.GetText(), L"192.168.1.10");
  log.Clear();
  CAsn1Value three;
  ASSERT_TRUE(DecodeContent(ASN1_IP_ADDRESS, {10, 0, 7}, &three));
  EXPECT_TRUE(log.Has(L"An IP address with 3 bytes!!"));
  EXPECT_EQ(three.GetText(), L"10.0.7");
  EXPECT_EQ(three.GetAddress(), 0x0A0007u);
}

// ---- Other types

TEST(BerOtherTypes, EncodingRefusesTypesWithoutCoding) {
  LogCapture log;
  CAsn1Object bits(ASN1_BIT_STRING);
  ASSERT_TRUE(bits.GetValue().SetText(L"x"));
  Bytes bytes;
  EXPECT_FALSE(EncodeElement(bits, &bytes));
  EXPECT_TRUE(log.Has(L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (Bit String)"));
  // NULL, exceptions and constructed types write no content.
  for (uint8_t code : {ASN1_NULL, ASN1_NO_SUCH_OBJECT, ASN1_END_OF_MIB_VIEW}) {
    CAsn1Object object(code);
    ASSERT_TRUE(EncodeElement(object, &bytes));
    EXPECT_EQ(bytes, (Bytes{code, 0x00}));
  }
}

TEST(BerOtherTypes, DecodingShowsHexadecimal) {
  LogCapture log;
  CAsn1Value opaque;
  ASSERT_TRUE(DecodeContent(ASN1_OPAQUE, {0x1A, 0xFF, 0x01}, &opaque));
  EXPECT_EQ(opaque.GetText(), L"1a:ff:01");
  EXPECT_EQ(log.Count(), 0u);
  CAsn1Value bits;
  ASSERT_TRUE(DecodeContent(ASN1_BIT_STRING, {0x00, 0x80}, &bits));
  EXPECT_EQ(bits.GetText(), L"00:80");
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
