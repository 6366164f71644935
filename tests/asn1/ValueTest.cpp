#include "asn1/Asn1Object.h"
#include "asn1/Asn1Value.h"
#include "tests/common/CodecHelpers.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <functional>

static const std::wstring kReadOnly = L"Value is a read-only value and cannot be modified";

TEST(Value, SettersFillTextAndLock) {
  LogCapture log;
  const std::pair<std::function<bool(CAsn1Value&)>, const wchar_t*> cases[] = {
      {[](CAsn1Value& v) { return v.SetInteger(INT64_MIN, true); }, L"-9223372036854775808"},
      {[](CAsn1Value& v) { return v.SetUnsigned(18446744073709551615ull, true); }, L"18446744073709551615"},
      {[](CAsn1Value& v) { return v.SetOid(CAsn1Oid(L"1.3.6.1")); }, L"1.3.6.1"},
      {[](CAsn1Value& v) { return v.SetIpAddress(L"none"); }, L"255.255.255.255"},  // still sets
      {[](CAsn1Value& v) { return v.SetText(L"first"); }, L"first"},
  };
  for (const auto& [set, text] : cases) {
    CAsn1Value v;
    EXPECT_TRUE(set(v));
    EXPECT_EQ(v.GetText(), text);
    EXPECT_TRUE(v.IsReadOnly()) << quillog::WideToUtf8(text);
    log.Clear();
    EXPECT_FALSE(v.SetText(L"second"));
    EXPECT_FALSE(v.SetInteger(1, false));
    EXPECT_EQ(v.GetText(), text);
    EXPECT_EQ(log.Count(kReadOnly), 2u);
  }
  CAsn1Value w;
  EXPECT_TRUE(w.SetInteger(1, false) && w.SetInteger(3, true));
  EXPECT_FALSE(w.SetInteger(4, false));
  EXPECT_EQ(w.GetText(), L"3");
  CAsn1Value o;  // an invalid OID leaves the value alone
  EXPECT_FALSE(o.SetOid(CAsn1Oid(L"3.1")));
  EXPECT_TRUE(log.Has(L"OID value is not valid"));
  EXPECT_FALSE(o.IsOidSet() || o.IsReadOnly());
}

TEST(Value, DecodersRefuseReadOnlyButTheHexadecimalOne) {
  LogCapture log;
  for (uint8_t code :
       {ASN1_BOOLEAN, ASN1_INTEGER, ASN1_OCTET_STRING, ASN1_OBJECT_IDENTIFIER, ASN1_IP_ADDRESS, ASN1_OPAQUE}) {
    CAsn1Value v;
    ASSERT_TRUE(v.SetText(L"kept"));
    log.Clear();
    const Bytes content = code == ASN1_IP_ADDRESS ? Bytes{1, 2, 3, 4} : Bytes{0x0A};
    const bool hexadecimal = code == ASN1_OPAQUE;
    EXPECT_EQ(DecodeContent(code, content, &v), hexadecimal) << int(code);
    EXPECT_EQ(v.GetText(), hexadecimal ? L"0a" : L"kept");
    EXPECT_EQ(log.Has(kReadOnly), !hexadecimal);
  }
}

TEST(Object, Dump) {
  LogCapture log;
  CAsn1Object named(ASN1_INTEGER, L"Version");
  ASSERT_TRUE(named.GetValue().SetInteger(1, true));
  named.GetLength().SetLength(1);
  EXPECT_EQ(named.GetDumpText(), L"+ Integer, name=\"Version\", length=\"1\", value=\"1\"");

  QuillogSetFeatureLevel(QLF_PROGRAM_SNMP_DECODE_IN);
  named.Dump(QLF_PROGRAM_SNMP_DECODE_IN | QLF_PROGRAM_SNMP);  // every bit must be on
  EXPECT_TRUE(log.Records().empty());
  named.Dump(QLF_PROGRAM_SNMP_DECODE_IN);
  EXPECT_TRUE(log.Has(named.GetDumpText()));
}
