#include "asn1/BerEncoder.h"
#include "snmp/SnmpFrameOut.h"
#include "tests/asn1/CodecHelpers.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

namespace {

const Bytes kGetRequest = {0x30, 0x20, 0x02, 0x01, 0x00, 0x04, 0x00, 0xA0, 0x19, 0x02, 0x01, 0x01,
                           0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x0E, 0x30, 0x0C, 0x06, 0x08,
                           0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00, 0x05, 0x00};

void FillRequest(CSnmpBase& message) {
  ASSERT_TRUE(message.SetInteger(L"Version", 0, true));
  ASSERT_TRUE(message.SetText(L"Community", L""));
  ASSERT_TRUE(message.SetInteger(L"RequestId", 1, true));
  ASSERT_TRUE(message.SetOid(CAsn1Oid(L"1.3.6.1.2.1.1.1.0")));
}

bool Encode(CSnmpBase& message, Bytes* out) {
  CBerEncoder encoder;
  if (!message.Encode(encoder)) return false;
  *out = EncodedBytes(encoder);
  return true;
}

// Element 11 (the binding's value) of an encoded one-binding message: the
// bytes after the OID element.
Bytes ValueElement(const Bytes& message) {
  for (size_t i = 2; i + 1 < message.size(); ++i) {
    if (message[i] == 0x06 && i + 2 + message[i + 1] <= message.size() && message[i - 2] == 0x30) {
      return Bytes(message.begin() + static_cast<long>(i + 2 + message[i + 1]), message.end());
    }
  }
  return {};
}

}  // namespace

TEST(SnmpOut, ElementListLayout) {
  CSnmpSetRequestOut set;
  const wchar_t* names[] = {L"Sequence 1", L"Version", L"Community", L"Pdu_SetRequest", L"RequestId",
                            L"ErrorStatus", L"ErrorIndex", L"Sequence 3", L"Sequence 4", L"Oid", L"Value",
                            L"End sequence 4", L"End sequence 3", L"End sequence Pdu_SetRequest",
                            L"End sequence 1"};
  const uint8_t codes[] = {0x30, 0x02, 0x04, 0xA3, 0x02, 0x02, 0x02, 0x30, 0x30, 0x06, 0x04, 0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(set.GetCount(), 15u);
  for (size_t i = 0; i < 15; ++i) {
    EXPECT_EQ(set.GetAt(i)->GetName(), names[i]);
    EXPECT_EQ(set.GetAt(i)->GetCode(), codes[i]);
  }
  EXPECT_EQ(CSnmpResponseOut().GetAt(10)->GetName(), L"Null");
  EXPECT_EQ(CSnmpGetNextRequestOut().GetAt(13)->GetName(), L"End sequence Pdu_GetNextRequest");
}

TEST(SnmpOut, GetRequestIsThe34Bytes) {
  CSnmpGetRequestOut get;
  FillRequest(get);
  Bytes bytes;
  ASSERT_TRUE(Encode(get, &bytes));
  EXPECT_EQ(bytes, kGetRequest);
  EXPECT_EQ(get.GetAt(0)->GetLength().GetLength(), 0x20);
  EXPECT_EQ(get.GetAt(3)->GetLength().GetLength(), 0x19);
}

TEST(SnmpOut, GetNextDiffersOnlyInPduCode) {
  CSnmpGetNextRequestOut next;
  FillRequest(next);
  Bytes bytes;
  ASSERT_TRUE(Encode(next, &bytes));
  Bytes expected = kGetRequest;
  expected[7] = 0xA1;
  EXPECT_EQ(bytes, expected);
}

TEST(SnmpOut, SetRequestCarriesTextValue) {
  CSnmpSetRequestOut set;
  FillRequest(set);
  ASSERT_TRUE(set.SetText(L"Value", L"abc"));
  Bytes bytes;
  ASSERT_TRUE(Encode(set, &bytes));
  Bytes expected = kGetRequest;
  expected[1] += 3;
  expected[7] = 0xA3;
  expected[8] += 3;
  expected[19] += 3;
  expected[21] += 3;
  expected.resize(expected.size() - 2);
  expected.insert(expected.end(), {0x04, 0x03, 0x61, 0x62, 0x63});
  EXPECT_EQ(bytes, expected);
}

TEST(SnmpOut, ResponseSetValue) {
  LogCapture log;
  CSnmpResponseOut response;
  FillRequest(response);
  ASSERT_TRUE(response.SetValue(ASN1_INTEGER, L"42"));
  Bytes bytes;
  ASSERT_TRUE(Encode(response, &bytes));
  EXPECT_EQ(bytes[7], 0xA2);
  EXPECT_EQ(ValueElement(bytes), (Bytes{0x02, 0x01, 0x2A}));

  CSnmpResponseOut no_such;
  FillRequest(no_such);
  EXPECT_FALSE(no_such.SetValue(ASN1_NO_SUCH_OBJECT, L"x"));
  EXPECT_TRUE(log.Has(L"Unknow type No Such Object"));
  EXPECT_EQ(no_such.Find(L"Null")->GetCode(), ASN1_NO_SUCH_OBJECT);
  ASSERT_TRUE(Encode(no_such, &bytes));
  EXPECT_EQ(ValueElement(bytes), (Bytes{0x80, 0x00}));
}

// Each type from its text; numbers go through the full 64-bit range (no
// 32-bit conversion).
TEST(SnmpOut, ResponseSetValueEachType) {
  struct Case {
    uint8_t code;
    const wchar_t* text;
    Bytes element;
    const wchar_t* shown = nullptr;  // the value's text, when checked
  };
  const Case cases[] = {
      {ASN1_BOOLEAN, L"7", {0x01, 0x01, 0x01}},
      {ASN1_BOOLEAN, L"0", {0x01, 0x01, 0x00}},
      {ASN1_BOOLEAN, L"", {0x01, 0x01, 0x00}},
      {ASN1_OCTET_STRING, L"hi", {0x04, 0x02, 'h', 'i'}},
      {ASN1_OPAQUE, L"ab", {0x44, 0x02, 'a', 'b'}},
      {ASN1_NULL, L"x", {0x05, 0x00}},
      {ASN1_END_OF_MIB_VIEW, L"ignored", {0x82, 0x00}},
      {ASN1_OBJECT_IDENTIFIER, L"1.3.6.1.4.1.9", {0x06, 0x06, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x09}},
      {ASN1_IP_ADDRESS, L"127.0.0.1", {0x40, 0x04, 0x7F, 0x00, 0x00, 0x01}},
      {ASN1_TIMETICKS, L"  +300", {0x43, 0x02, 0x01, 0x2C}},
      {ASN1_INTEGER, L"-129abc", {0x02, 0x02, 0xFF, 0x7F}},
      {ASN1_COUNTER32, L"4294967295", {0x41, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, L"4294967295"},
      {ASN1_GAUGE32, L"3000000000", {0x42, 0x05, 0x00, 0xB2, 0xD0, 0x5E, 0x00}, L"3000000000"},
      {ASN1_TIMETICKS, L"2147483648", {0x43, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00}, L"2147483648"},
      {ASN1_COUNTER64, L"18446744073709551615", {0x46, 0x09, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       L"18446744073709551615"},
      {ASN1_COUNTER64, L"5000000000", {0x46, 0x05, 0x01, 0x2A, 0x05, 0xF2, 0x00}, L"5000000000"},
      {ASN1_INTEGER, L"-9223372036854775808", {0x02, 0x08, 0x80, 0, 0, 0, 0, 0, 0, 0}, L"-9223372036854775808"},
      {ASN1_INTEGER, L"99999999999999999999", {0x02, 0x08, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       L"9223372036854775807"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(quillog::WideToUtf8(std::wstring(GetTypeName(c.code)) + L" " + c.text));
    CSnmpResponseOut response;
    FillRequest(response);
    ASSERT_TRUE(response.SetValue(c.code, c.text));
    if (c.shown != nullptr) {
      EXPECT_EQ(response.Find(L"Null")->GetText(), c.shown);
    }
    Bytes bytes;
    ASSERT_TRUE(Encode(response, &bytes));
    EXPECT_EQ(ValueElement(bytes), c.element);
  }
}

TEST(SnmpOut, BitStringValueCannotBeEncoded) {
  LogCapture log;
  CSnmpResponseOut response;
  FillRequest(response);
  ASSERT_TRUE(response.SetValue(ASN1_BIT_STRING, L"0101"));
  EXPECT_EQ(response.Find(L"Null")->GetText(), L"0101");
  Bytes bytes;
  EXPECT_FALSE(Encode(response, &bytes));
  const auto lines = log.Messages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"CAsn1Value::Build() ==> Unknown type of ASN.1 object (Bit String)");
  EXPECT_EQ(lines[1], L"CSnmpBase::Encode() ==> Unable to write ASN.1 Value");
}

TEST(SnmpOut, ReadOnlyAndWritableElements) {
  LogCapture log;
  CSnmpGetRequestOut get;
  EXPECT_TRUE(get.SetInteger(L"Version", 1, true));
  EXPECT_FALSE(get.SetInteger(L"Version", 0, true));
  EXPECT_TRUE(log.Has(L"Value is a read-only value and cannot be modified"));
  EXPECT_EQ(get.Find(L"Version")->GetText(), L"1");
  EXPECT_FALSE(get.SetInteger(L"ErrorStatus", 5, false));
  EXPECT_FALSE(get.SetInteger(L"NoSuchElement", 5, false));
  EXPECT_FALSE(get.SetText(L"NoSuchElement", L"x"));
  EXPECT_TRUE(get.SetText(L"Community", L"public"));
  EXPECT_FALSE(get.SetText(L"Community", L"private"));
  EXPECT_EQ(get.Find(L"Community")->GetText(), L"public");

  CSnmpResponseOut response;
  EXPECT_TRUE(response.SetInteger(L"ErrorStatus", 2, false));
  EXPECT_TRUE(response.SetInteger(L"ErrorStatus", 5, false));
  EXPECT_TRUE(response.SetInteger(L"ErrorIndex", 1, false));
  EXPECT_EQ(response.Find(L"ErrorStatus")->GetText(), L"5");

  CSnmpSetRequestOut set;
  EXPECT_FALSE(set.SetValue(ASN1_INTEGER, L"1"));  // no element named "Null"
  EXPECT_FALSE(set.SetOid(CAsn1Oid(L"5.5")));
}

TEST(SnmpOut, UnsetOidCannotBeEncoded) {
  LogCapture log;
  CSnmpGetRequestOut get;
  ASSERT_TRUE(get.SetInteger(L"Version", 1, true));
  ASSERT_TRUE(get.SetInteger(L"RequestId", 7, true));
  Bytes bytes;
  EXPECT_FALSE(Encode(get, &bytes));
  EXPECT_TRUE(log.Has(L"CAsn1Value::_build_object_identifier() ==> OID to write but OID is not set"));
}

TEST(SnmpOut, MissingEndMarker) {
  LogCapture log;
  CSnmpBase message;
  message.Add(new CAsn1Object(ASN1_SEQUENCE, L"Sequence 1"));
  auto* version = new CAsn1Object(ASN1_INTEGER, L"Version");
  ASSERT_TRUE(version->GetValue().SetInteger(0, true));
  message.Add(version);
  EXPECT_FALSE(message.Add(static_cast<CAsn1Object*>(nullptr)));
  CBerEncoder encoder;
  EXPECT_FALSE(message.Encode(encoder));
  const auto lines = log.Messages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"CBerEncoder::Pop() ==> Unable to pop because queue is empty");
  EXPECT_EQ(lines[1], L"CSnmpBase::Encode() ==> Unable to compute offset");
}

TEST(SnmpOut, MessageOver2048BytesFails) {
  LogCapture log;
  CSnmpSetRequestOut set;
  FillRequest(set);
  ASSERT_TRUE(set.SetText(L"Value", std::wstring(2030, L'z')));
  Bytes bytes;
  EXPECT_FALSE(Encode(set, &bytes));
  bool bounds = false;
  for (const auto& line : log.Messages()) bounds |= line.rfind(L"CBerBuffer::CheckPointer() ==> current < begin", 0) == 0;
  EXPECT_TRUE(bounds);

  CSnmpSetRequestOut fits;  // 2048 bytes exactly still goes
  FillRequest(fits);
  ASSERT_TRUE(fits.SetText(L"Value", std::wstring(2048 - 44, L'z')));
  ASSERT_TRUE(Encode(fits, &bytes));
  EXPECT_EQ(bytes.size(), 2048u);
}

TEST(SnmpOut, ErrorStatusNames) {
  const std::pair<int64_t, const wchar_t*> cases[] = {
      {2, L"NoSuchName"}, {18, L"InconsistentName"}, {19, L"Unknown ErrorStatus"}, {-1, L"Unknown ErrorStatus"}};
  for (const auto& [code, name] : cases) {
    CAsn1Object status(ASN1_INTEGER);
    ASSERT_TRUE(status.GetValue().SetInteger(code, false));
    EXPECT_STREQ(CSnmpBase::GetErrorStatusName(status), name) << code;
  }
  CAsn1Object text(ASN1_OCTET_STRING);
  EXPECT_STREQ(CSnmpBase::GetErrorStatusName(text), L"Bad ErrorStatus type");
  EXPECT_STREQ(CSnmpBase::ErrorStatusName(0), L"NoError");
  EXPECT_STREQ(CSnmpBase::ErrorStatusName(16), L"AuthorizationError");
}

TEST(SnmpOut, DumpListsEveryElement) {
  LogCapture log;
  CSnmpGetRequestOut get;
  FillRequest(get);
  QuillogSetFeatureLevel(QLF_PROGRAM_SNMP_DECODE_OUT);
  get.Dump(QLF_PROGRAM_SNMP_DECODE_OUT);
  QuillogSetFeatureLevel(0);
  const auto lines = log.Messages();
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[9], L"+ Object Identifier, name=\"Oid\", length=\"0\", value=\"1.3.6.1.2.1.1.1.0\"");
}
