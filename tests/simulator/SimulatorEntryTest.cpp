#include "simulator/SimulatorEntry.h"

#include "tests/simulator/TestSupport.h"

#include <gtest/gtest.h>

using namespace simtest;

TEST(SimulatorEntry, DuplicateOidIsRefusedWhateverItsTypeOrValue) {
  LogCapture log(0);
  CSimulatorEntry s;
  EXPECT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"host"));
  EXPECT_FALSE(s.AddValue(L"1.3.6.1.2.1.1.5.0", L"Integer", L"3"));
  // The same arcs written differently are the same OID.
  EXPECT_FALSE(s.AddValue(L".1.3.6.1.2.1.1.5.0.", L"Octet String", L"host"));
  // A prefix and an extension are different OIDs.
  EXPECT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.5", L"Octet String", L"p"));
  EXPECT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.5.0.0", L"Octet String", L"e"));
  ASSERT_EQ(s.values.size(), 3u);
  EXPECT_EQ(s.values[0].value, L"host");
  EXPECT_EQ(log.CountContaining(L"Oid 1.3.6.1.2.1.1.5.0 is already in the list of value, duplicate is rejected"), 1u);
  EXPECT_EQ(log.CountContaining(L"Oid .1.3.6.1.2.1.1.5.0. is already in the list of value, duplicate is rejected"), 1u);
}

// Type names are matched exactly; the other ASN.1 types are refused.
TEST(SimulatorEntry, OnlySimulatorTypeNamesAreAccepted) {
  LogCapture log(0);
  CSimulatorEntry s;
  for (const std::wstring name : {L"Bit String", L"octet string", L"Sequence"}) {
    EXPECT_FALSE(s.AddValue(L"1.3.6.1.4.1.100", name, L"1"));
    EXPECT_TRUE(log.HasContaining(L"The type '" + name + L"' is not yet allowed"));
  }
  EXPECT_TRUE(s.AddValue(L"1.3.6.1.4.1.100", L"Opaque", L"1"));
  EXPECT_EQ(s.values.at(0).type, 0x44);
}

TEST(SimulatorEntry, TheHundredthValueIsAcceptedTheNextRefused) {
  LogCapture log(0);
  CSimulatorEntry s;
  for (int i = 1; i <= 99; ++i) ASSERT_TRUE(s.AddValue(L"1.3.6.1.4.1.7." + std::to_wstring(i), L"Integer", L"0"));
  EXPECT_TRUE(s.AddValue(L"1.3.6.1.4.1.7.100", L"Integer", L"100"));
  EXPECT_FALSE(s.AddValue(L"1.3.6.1.4.1.7.101", L"Integer", L"101"));
  EXPECT_EQ(s.values.size(), 100u);
  EXPECT_EQ(s.values.back().value, L"100");
  EXPECT_EQ(log.CountContaining(L"Maximum number of values is reached, ignoring new value"), 1u);
  // A duplicate in a full list is reported as a duplicate.
  EXPECT_FALSE(s.AddValue(L"1.3.6.1.4.1.7.1", L"Integer", L"0"));
  EXPECT_EQ(log.CountContaining(L"duplicate is rejected"), 1u);
}

// Each type's text is read strictly, at the edges of its range; a text that
// does not parse is refused with a warning naming the value.
TEST(SimulatorEntry, ValueTextsMustParseForTheirType) {
  struct Row {
    const wchar_t* type;
    std::wstring text;
    bool accepted;
  };
  const Row rows[] = {
      {L"Integer", L"-9223372036854775808", true},
      {L"Integer", L"9223372036854775807", true},
      {L"Integer", L"9223372036854775808", false},
      {L"Integer", L"-9223372036854775809", false},
      {L"Integer", L"abc", false},
      {L"Integer", L"", false},
      {L"Integer", L" 5", false},
      {L"Integer", L"5x", false},
      {L"Counter32", L"4294967295", true},
      {L"Counter32", L"4294967296", false},
      {L"Gauge32", L"-1", false},
      {L"TimeTicks", L"0", true},
      {L"Counter64", L"18446744073709551615", true},
      {L"Counter64", L"18446744073709551616", false},
      {L"Boolean", L"true", true},
      {L"Boolean", L"false", true},
      {L"Boolean", L"0", true},
      {L"Boolean", L"yes", false},
      {L"IP Address", L"255.255.255.255", true},
      {L"IP Address", L"999.1.1.1", false},
      {L"IP Address", L"1.2.3", false},
      {L"IP Address", L"1.2.3.4.5", false},
      {L"IP Address", L"10.0.0.256", false},
      {L"IP Address", L"0.0.0.0", true},
      {L"Object Identifier", L"1.3.6.1", true},
      {L"Object Identifier", L"not.an.oid", false},
      {L"Object Identifier", L"1", false},
      {L"Object Identifier", L"1.40", false},
      {L"Object Identifier", L"3.1", false},
      {L"Object Identifier", L"1.3.4294967296", false},
      {L"Octet String", std::wstring(L"\xff\x00\x01", 3), true},
      {L"Octet String", L"\u0100", false},
      {L"Opaque", L"\u20ac", false},
      {L"Null", L"anything", true},
  };
  int arc = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(quillog::WideToUtf8(row.type) + " '" + quillog::WideToUtf8(row.text) + "'");
    LogCapture log(0);
    CSimulatorEntry s;
    const std::wstring oid = L"1.3.6.1.4.1.8." + std::to_wstring(++arc);
    EXPECT_EQ(s.AddValue(oid, row.type, row.text), row.accepted);
    EXPECT_EQ(log.HasContaining(L"The value '" + row.text + L"' of Oid " + oid + L" is not a valid " + row.type),
              !row.accepted);
  }
}

// An OID of an SNMP message holds at most 128 arcs of 32 bits.
TEST(SimulatorEntry, OidsOutsideWhatSnmpCarriesAreRefused) {
  auto arcs = [](size_t count) {
    std::wstring text = L"1.3";
    for (size_t i = 2; i < count; ++i) text += L".7";
    return text;
  };
  struct Row {
    std::wstring oid;
    const wchar_t* why;  // nullptr: accepted
  };
  const Row rows[] = {
      {L"1.3.6.1.4.1.4294967295", nullptr},
      {L"1.3.6.1.4.1.4294967296", L"an arc is above 4294967295"},
      {L"1.3.6.1.4.1.18446744073709551616", L"an arc is above 4294967295"},
      {arcs(128), nullptr},
      {arcs(129), L"it has more than 128 arcs"},
      {L"1", L"it has fewer than 2 arcs"},
      {L"3.1", L"its first arc is above 2"},
      {L"1.40", L"its second arc is above 39"},
      {L"not.an.oid", L"it is not a dotted decimal OID"},
      {L"1.3.-1", L"it is not a dotted decimal OID"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(quillog::WideToUtf8(row.oid));
    LogCapture log(0);
    CSimulatorEntry s;
    EXPECT_EQ(s.AddValue(row.oid, L"Integer", L"1"), row.why == nullptr);
    if (row.why != nullptr) {
      EXPECT_TRUE(log.HasContaining(L"Oid " + row.oid + L" is not a valid OID (" + row.why + L")"));
    }
    EXPECT_EQ(s.values.size(), row.why == nullptr ? 1u : 0u);
  }
}
