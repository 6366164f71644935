#include "asn1/Asn1Oid.h"
#include "asn1/IpAddress.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

TEST(Oid, CheckRule) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", nullptr},
      {L"2.39.5", nullptr},
      {L"1", L"An OID MUST have at least 2 numbers"},
      {L"3.1", L"Value of the first number of an OID MUST not be > 2"},
      {L"2.40", L"Value of the second number of an OID MUST not be > 39"},
  };
  for (const auto& [text, refusal] : cases) {
    LogCapture log;
    EXPECT_EQ(CAsn1Oid(text).Check(), refusal == nullptr) << quillog::WideToUtf8(text);
    const std::wstring expected = refusal == nullptr ? L"" : std::wstring(L"CAsn1Oid::Check() ==> ") + refusal;
    EXPECT_EQ(log.Messages(), refusal == nullptr ? std::vector<std::wstring>{} : std::vector<std::wstring>{expected});
  }
}

// Arcs are unsigned 64-bit: out-of-range tokens saturate, never wrap.
TEST(Oid, ParseAndText) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L".1.3.6.", L"1.3.6"},
      {L"...", L""},
      {L" 1. +3.\t6abc", L"1.3.6"},
      {L"1.-1", L"1.18446744073709551615"},
      {L"1.3.18446744073709551615", L"1.3.18446744073709551615"},
      {L"1.3.18446744073709551616", L"1.3.18446744073709551615"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(CAsn1Oid(text).GetText(), shown) << quillog::WideToUtf8(text);
  EXPECT_TRUE(CAsn1Oid(static_cast<const wchar_t*>(nullptr)).IsEmpty());
  CAsn1Oid oid(L"9.9.9");
  oid.Parse(L"1.2");
  EXPECT_EQ(oid, CAsn1Oid({1, 2}));
}

TEST(Oid, Order) {
  const std::tuple<const wchar_t*, const wchar_t*, int> rows[] = {
      {L"1.3.6.1.2.1.1.9.1.4.9", L"1.3.6.1.2.1.2", -1},
      {L"1.3.6.1.2.1", L"1.3.6.1.2.1.2", -1},  // a proper prefix is smaller
      {L"1.3.6", L"1.3.6", 0},
      {L"", L"0.0", -1},
      {L"1.3.6.1.2.1.1.10.0", L"1.3.6.1.2.1.1.9.0", 1},  // numbers, not texts
      {L"1.18446744073709551615", L"1.2.3", 1},          // unsigned arcs
  };
  for (const auto& [left_text, right_text, order] : rows) {
    SCOPED_TRACE(quillog::WideToUtf8(left_text) + " vs " + quillog::WideToUtf8(right_text));
    const CAsn1Oid left(left_text);
    const CAsn1Oid right(right_text);
    EXPECT_EQ(CAsn1Oid::Compare(left.GetArcs(), right.GetArcs()), order);
    EXPECT_EQ(CAsn1Oid::Compare(right.GetArcs(), left.GetArcs()), -order);
    EXPECT_EQ(left < right, order < 0);
    EXPECT_EQ(left >= right, order >= 0);
    EXPECT_EQ(left == right, order == 0);
  }
}

TEST(IpAddressText, ParseAndFormat) {
  const std::pair<const wchar_t*, const wchar_t*> failures[] = {
      {L"1.2.3", L"Not enough fields in dotted address 1.2.3"},
      {L"1.2.3.4.5", L"Too much '.' in dotted address"},
      {L"1.2.3.256", L"Bad number value in dotted address 1.2.3.256"},
      {L"4294967297.1.1.1", L"Bad number value in dotted address 4294967297.1.1.1"},  // would wrap to 1
      {L"", L"Pointer is NULL or Empty"},
  };
  for (const auto& [text, message] : failures) {
    LogCapture log;
    EXPECT_EQ(IpAddress(text), IP_ADDRESS_FAILURE) << quillog::WideToUtf8(text);
    EXPECT_TRUE(log.Has(message)) << quillog::WideToUtf8(text);
  }
  EXPECT_EQ(IpAddress(static_cast<const wchar_t*>(nullptr)), IP_ADDRESS_FAILURE);
  EXPECT_EQ(IpAddress(L"192.168.1.10"), 0xC0A8010Au);
  EXPECT_EQ(FormatIpAddress(0xC0A8010A), L"192.168.1.10");
  EXPECT_EQ(FormatIpAddress(0xFFFFFFFF), L"255.255.255.255");
}
