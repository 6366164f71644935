#include "asn1/Asn1Oid.h"
#include "asn1/IpAddress.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

TEST(Oid, CheckRule) {
  LogCapture log;
  EXPECT_TRUE(CAsn1Oid().Check());
  EXPECT_TRUE(CAsn1Oid(L"1.3.6.1.2.1.1.1.0").Check());
  EXPECT_TRUE(CAsn1Oid(L"2.39.5").Check());
  EXPECT_TRUE(CAsn1Oid(L"0.0").Check());
  EXPECT_TRUE(log.Records().empty());

  EXPECT_FALSE(CAsn1Oid(L"1").Check());
  EXPECT_TRUE(log.Has(L"CAsn1Oid::Check() ==> An OID MUST have at least 2 numbers"));
  EXPECT_FALSE(CAsn1Oid(L"3.1").Check());
  EXPECT_TRUE(log.Has(L"CAsn1Oid::Check() ==> Value of the first number of an OID MUST not be > 2"));
  log.Clear();
  EXPECT_FALSE(CAsn1Oid(L"2.40").Check());
  EXPECT_FALSE(CAsn1Oid(L"0.40").Check());  // the limit holds under 2 as well
  const auto lines = log.Messages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"CAsn1Oid::Check() ==> Value of the second number of an OID MUST not be > 39");
  // Comparisons are unsigned: -1 is 2^64 - 1, far above 2.
  EXPECT_FALSE(CAsn1Oid(L"-1.3").Check());
}

TEST(Oid, ParseAndText) {
  EXPECT_EQ(CAsn1Oid(L".1.3.6.").GetText(), L"1.3.6");
  EXPECT_EQ(CAsn1Oid(L"1.x.3").GetText(), L"1.0.3");
  EXPECT_EQ(CAsn1Oid(L"1..3.").GetCount(), 2u);
  EXPECT_EQ(CAsn1Oid(L"").GetText(), L"");
  EXPECT_EQ(CAsn1Oid(static_cast<const wchar_t*>(nullptr)).GetCount(), 0u);
  EXPECT_EQ(CAsn1Oid(L"...").GetCount(), 0u);
  EXPECT_EQ(CAsn1Oid(L" 1. +3.\t6abc").GetText(), L"1.3.6");
  EXPECT_EQ(CAsn1Oid(L"1.-1").GetAt(1), 18446744073709551615ull);
  CAsn1Oid oid(L"9.9.9");
  oid.Parse(L"1.2");
  EXPECT_EQ(oid, CAsn1Oid({1, 2}));
}

TEST(Oid, TokensOutsideSigned64BitRange) {
  // Arcs are unsigned 64-bit: the whole unsigned range is read as written,
  // beyond it the arc saturates; negative tokens saturate at -2^63.
  EXPECT_EQ(CAsn1Oid(L"1.3.9223372036854775808").GetAt(2), 9223372036854775808ull);
  EXPECT_EQ(CAsn1Oid(L"1.3.18446744073709551615").GetAt(2), 18446744073709551615ull);
  EXPECT_EQ(CAsn1Oid(L"1.3.18446744073709551616").GetAt(2), 18446744073709551615ull);
  EXPECT_EQ(CAsn1Oid(L"1.3.99999999999999999999999").GetAt(2), 18446744073709551615ull);
  EXPECT_EQ(CAsn1Oid(L"1.3.-9223372036854775809").GetAt(2), 9223372036854775808ull);
  EXPECT_EQ(CAsn1Oid(L"1.3.18446744073709551615").GetText(), L"1.3.18446744073709551615");
}

TEST(Oid, Order) {
  struct Row {
    const wchar_t* left;
    const wchar_t* right;
    int order;
  };
  const Row rows[] = {
      {L"1.3.6.1.2.1.1.9.1.4.9", L"1.3.6.1.2.1.2", -1},
      {L"1.3.6.1.2.1.2.1.0", L"1.3.6.1.2.1.2", 1},
      {L"1.3.6.1.2.1", L"1.3.6.1.2.1.2", -1},  // a proper prefix is smaller
      {L"1.3.6.1.2.1.0", L"1.3.6.1.2.1", 1},
      {L"1.3.6", L"1.3.6", 0},
      {L"", L"0.0", -1},
      {L"1.3.6.1.2.1.1.10.0", L"1.3.6.1.2.1.1.9.0", 1},  // numbers, not texts
      {L"1.18446744073709551615", L"1.2.3", 1},            // unsigned arcs
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << quillog::WideToUtf8(row.left) << " vs " << quillog::WideToUtf8(row.right));
    const CAsn1Oid left(row.left);
    const CAsn1Oid right(row.right);
    EXPECT_EQ(CAsn1Oid::Compare(left.GetArcs(), right.GetArcs()), row.order);
    EXPECT_EQ(CAsn1Oid::Compare(right.GetArcs(), left.GetArcs()), -row.order);
    EXPECT_EQ(left < right, row.order < 0);
    EXPECT_EQ(left >= right, row.order >= 0);  // at equality too
    EXPECT_EQ(left == right, row.order == 0);
  }
}

TEST(IpAddressText, Parse) {
  LogCapture log;
  EXPECT_EQ(IpAddress(L"192.168.1.10"), 0xC0A8010Au);
  EXPECT_EQ(IpAddress(L"10..1.2"), 0x0A000102u);
  EXPECT_EQ(IpAddress(L"..."), 0u);
  EXPECT_EQ(IpAddress(L"255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_TRUE(log.Records().empty());

  EXPECT_EQ(IpAddress(L"1.2.3"), IP_ADDRESS_FAILURE);
  EXPECT_TRUE(log.Has(L"Not enough fields in dotted address 1.2.3"));
  EXPECT_EQ(IpAddress(L"1.2.3.4.5"), IP_ADDRESS_FAILURE);
  EXPECT_TRUE(log.Has(L"Too much '.' in dotted address"));
  EXPECT_EQ(IpAddress(L"1.2.3.256"), IP_ADDRESS_FAILURE);
  EXPECT_TRUE(log.Has(L"Bad number value in dotted address 1.2.3.256"));
  EXPECT_EQ(IpAddress(L"1.2.3.a"), IP_ADDRESS_FAILURE);
  EXPECT_TRUE(log.Has(L"Bad character in dotted address 1.2.3.a"));
  log.Clear();
  EXPECT_EQ(IpAddress(L""), IP_ADDRESS_FAILURE);
  EXPECT_EQ(IpAddress(static_cast<const wchar_t*>(nullptr)), IP_ADDRESS_FAILURE);
  const auto lines = log.Messages();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], L"Pointer is NULL or Empty");
  EXPECT_EQ(lines[1], L"Parameter problem in IpAddress()");
}

TEST(IpAddressText, LongDigitRunsDoNotWrapIntoRange) {
  LogCapture log;
  // 4294967297 would wrap to 1 in 32 bits.
  EXPECT_EQ(IpAddress(L"4294967297.1.1.1"), IP_ADDRESS_FAILURE);
  EXPECT_EQ(IpAddress(L"1.1.1.000000000000000000000000000001"), 0x01010101u);
}

TEST(IpAddressText, Format) {
  EXPECT_EQ(FormatIpAddress(0xC0A8010A), L"192.168.1.10");
  EXPECT_EQ(FormatIpAddress(0), L"0.0.0.0");
  EXPECT_EQ(FormatIpAddress(0xFFFFFFFF), L"255.255.255.255");
  EXPECT_EQ(IpAddress(FormatIpAddress(0x7F000001)), 0x7F000001u);
}
