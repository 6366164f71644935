#include "asn1/Asn1Object.h"
#include "asn1/Asn1Value.h"
#include "tests/asn1/CodecHelpers.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
const std::wstring kReadOnly = L"Value is a read-only value and cannot be modified";
}

TEST(Value, SettersFillFieldAndText) {
  const std::pair<std::function<bool(CAsn1Value&)>, const wchar_t*> cases[] = {
      {[](CAsn1Value& v) { return v.SetBoolean(true); }, L"true"},
      {[](CAsn1Value& v) { return v.SetBoolean(false); }, L"false"},
      {[](CAsn1Value& v) { return v.SetInteger(-5, true); }, L"-5"},
      {[](CAsn1Value& v) { return v.SetInteger(INT64_MIN, true); }, L"-9223372036854775808"},
      {[](CAsn1Value& v) { return v.SetUnsigned(18446744073709551615ull, true); }, L"18446744073709551615"},
      {[](CAsn1Value& v) { return v.SetOid(CAsn1Oid(L"1.3.6.1")); }, L"1.3.6.1"},
      {[](CAsn1Value& v) { return v.SetIpAddress(L"10.1.2.3"); }, L"10.1.2.3"},
  };
  for (const auto& [set, text] : cases) {
    CAsn1Value v;
    EXPECT_TRUE(set(v));
    EXPECT_EQ(v.GetText(), text);
    EXPECT_TRUE(v.IsReadOnly()) << quillog::WideToUtf8(text);
  }
  CAsn1Value b, i, u, o, a;
  b.SetBoolean(true);
  EXPECT_TRUE(b.GetBoolean() && b.IsBooleanSet());
  i.SetInteger(-5, true);
  EXPECT_EQ(i.GetInteger(), -5);
  u.SetUnsigned(18446744073709551615ull, true);
  EXPECT_EQ(u.GetInteger(), -1);  // the bit pattern
  o.SetOid(CAsn1Oid(L"1.3.6.1"));
  EXPECT_TRUE(o.IsOidSet());
  a.SetIpAddress(L"10.1.2.3");
  EXPECT_EQ(a.GetAddress(), 0x0A010203u);
}

TEST(Value, BadAddressTextStillSets) {
  LogCapture log;
  CAsn1Value a;
  EXPECT_TRUE(a.SetIpAddress(L"none"));
  EXPECT_EQ(a.GetAddress(), 0xFFFFFFFFu);
  EXPECT_EQ(a.GetText(), L"255.255.255.255");
  EXPECT_TRUE(a.IsAddressSet());
  EXPECT_TRUE(log.Has(L"Bad character in dotted address none"));
}

TEST(Value, InvalidOidIsRefusedAndLeavesValueAlone) {
  LogCapture log;
  CAsn1Value o;
  EXPECT_FALSE(o.SetOid(CAsn1Oid(L"3.1")));
  const auto lines = log.Messages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], L"OID value is not valid");
  EXPECT_FALSE(o.IsOidSet());
  EXPECT_FALSE(o.IsReadOnly());
  EXPECT_TRUE(o.SetOid(CAsn1Oid(L"1.3")));
}

TEST(Value, WriteOnceRule) {
  LogCapture log;
  CAsn1Value t;
  EXPECT_TRUE(t.SetText(L"first"));
  EXPECT_FALSE(t.SetText(L"second"));
  EXPECT_EQ(t.GetText(), L"first");
  EXPECT_TRUE(log.Has(kReadOnly));
  EXPECT_FALSE(t.SetInteger(1, false));
  EXPECT_FALSE(t.SetBoolean(true));
  EXPECT_FALSE(t.SetOid(CAsn1Oid(L"1.3")));
  EXPECT_FALSE(t.SetIpAddress(L"1.2.3.4"));
  EXPECT_FALSE(t.SetUnsigned(1, false));
  EXPECT_EQ(t.GetText(), L"first");
  EXPECT_FALSE(t.IsIntegerSet() || t.IsOidSet() || t.IsBooleanSet() || t.IsAddressSet());

  CAsn1Value w;
  EXPECT_TRUE(w.SetInteger(1, false));
  EXPECT_TRUE(w.SetInteger(2, false));
  EXPECT_TRUE(w.SetInteger(3, true));
  EXPECT_EQ(w.GetText(), L"3");
  EXPECT_FALSE(w.SetInteger(4, false));
  EXPECT_EQ(w.GetInteger(), 3);
}

TEST(Value, DecodersRefuseReadOnlyButTheHexadecimalOne) {
  LogCapture log;
  for (uint8_t code : {ASN1_BOOLEAN, ASN1_INTEGER, ASN1_COUNTER32, ASN1_OCTET_STRING, ASN1_OBJECT_IDENTIFIER,
                       ASN1_IP_ADDRESS}) {
    CAsn1Value v;
    ASSERT_TRUE(v.SetText(L"kept"));
    log.Clear();
    const Bytes content = code == ASN1_IP_ADDRESS ? Bytes{1, 2, 3, 4} : Bytes{0x01};
    EXPECT_FALSE(DecodeContent(code, content, &v)) << int(code);
    EXPECT_EQ(v.GetText(), L"kept");
    EXPECT_TRUE(log.Has(kReadOnly));
  }
  CAsn1Value opaque;
  ASSERT_TRUE(opaque.SetText(L"kept"));
  EXPECT_TRUE(DecodeContent(ASN1_OPAQUE, {0x0A, 0x1B}, &opaque));
  EXPECT_EQ(opaque.GetText(), L"0a:1b");
}

TEST(Value, CopyKeepsEverything) {
  CAsn1Object object(ASN1_OBJECT_IDENTIFIER, L"Oid");
  ASSERT_TRUE(object.GetValue().SetOid(CAsn1Oid(L"1.3.6")));
  object.GetLength().SetLength(7);
  object.GetLength().SetIndefinite(true);
  const CAsn1Object copy(object);
  EXPECT_EQ(copy.GetCode(), ASN1_OBJECT_IDENTIFIER);
  EXPECT_EQ(copy.GetName(), L"Oid");
  EXPECT_EQ(copy.GetLength().GetLength(), 7);
  EXPECT_TRUE(copy.GetLength().IsIndefinite());
  EXPECT_TRUE(copy.GetValue().IsReadOnly());
  EXPECT_EQ(copy.GetValue().GetOid(), CAsn1Oid({1, 3, 6}));
}

TEST(Object, Dump) {
  LogCapture log;
  CAsn1Object named(ASN1_INTEGER, L"Version");
  ASSERT_TRUE(named.GetValue().SetInteger(1, true));
  named.GetLength().SetLength(1);
  EXPECT_EQ(named.GetDumpText(), L"+ Integer, name=\"Version\", length=\"1\", value=\"1\"");
  CAsn1Object anonymous(ASN1_OCTET_STRING);
  ASSERT_TRUE(anonymous.GetValue().SetText(L"hi"));
  EXPECT_EQ(anonymous.GetDumpText(), L"+ Octet String, length=\"0\", value=\"hi\"");

  QuillogSetFeatureLevel(0);
  named.Dump(QLF_PROGRAM_SNMP_DECODE_IN);
  EXPECT_TRUE(log.Records().empty());
  QuillogSetFeatureLevel(QLF_PROGRAM_SNMP_DECODE_IN);
  named.Dump(QLF_PROGRAM_SNMP_DECODE_IN | QLF_PROGRAM_SNMP);  // every bit must be on
  EXPECT_TRUE(log.Records().empty());
  named.Dump(QLF_PROGRAM_SNMP_DECODE_IN);
  EXPECT_TRUE(log.Has(named.GetDumpText()));
  QuillogSetFeatureLevel(0);
}
