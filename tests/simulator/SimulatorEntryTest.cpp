#include "simulator/SimulatorEntry.h"

#include "tests/simulator/TestSupport.h"

#include <gtest/gtest.h>

using namespace simtest;

TEST(SimulatorEntry, DuplicatesAreRefusedByTheirArcsAndTheHundredthValueIsTheLast) {
  LogCapture log(0);
  CSimulatorEntry s;
  EXPECT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"host"));
  EXPECT_FALSE(s.AddValue(L".1.3.6.1.2.1.1.5.0.", L"Integer", L"3"));
  EXPECT_TRUE(s.AddValue(L"1.3.6.1.2.1.1.5", L"Octet String", L"prefix"));
  for (int i = 3; i <= 100; ++i) ASSERT_TRUE(s.AddValue(L"1.3.6.1.4.1.7." + std::to_wstring(i), L"Integer", L"0"));
  EXPECT_FALSE(s.AddValue(L"1.3.6.1.4.1.7.101", L"Integer", L"101"));
  EXPECT_EQ(s.values.size(), 100u);
  EXPECT_EQ(s.values[0].value, L"host");
  EXPECT_EQ(log.CountContaining(L"Maximum number of values is reached, ignoring new value"), 1u);
}

// Texts and OIDs at the edges of what their type and SNMP carry.
TEST(SimulatorEntry, ValuesOutsideTheirTypeOrWhatSnmpCarriesAreRefused) {
  std::wstring arcs_128 = L"1.3";
  for (int i = 2; i < 128; ++i) arcs_128 += L".7";
  struct Row {
    std::wstring oid;
    const wchar_t* type;
    std::wstring text;
    bool accepted;
  };
  const Row rows[] = {
      {L"1.3.6.1.4.1.1", L"Integer", L"-9223372036854775808", true},
      {L"1.3.6.1.4.1.1", L"Integer", L"9223372036854775807", true},
      {L"1.3.6.1.4.1.1", L"Integer", L"9223372036854775808", false},
      {L"1.3.6.1.4.1.1", L"Integer", L"-9223372036854775809", false},
      {L"1.3.6.1.4.1.1", L"Counter32", L"4294967295", true},
      {L"1.3.6.1.4.1.1", L"Counter32", L"4294967296", false},
      {L"1.3.6.1.4.1.1", L"Counter64", L"18446744073709551616", false},
      {L"1.3.6.1.4.1.1", L"IP Address", L"255.255.255.255", true},
      {L"1.3.6.1.4.1.1", L"IP Address", L"10.0.0.256", false},
      {L"1.3.6.1.4.1.1", L"Octet String", L"\u0100", false},
      {L"1.3.6.1.4.1.1", L"octet string", L"x", false},
      {L"1.3.6.1.4.1.4294967295", L"Opaque", L"x", true},
      {L"1.3.6.1.4.1.4294967296", L"Integer", L"1", false},
      {arcs_128, L"Integer", L"1", true},
      {arcs_128 + L".7", L"Integer", L"1", false},
  };
  LogCapture log(0);
  for (const Row& row : rows) {
    SCOPED_TRACE(quillog::WideToUtf8(row.type) + " '" + quillog::WideToUtf8(row.text) + "' at " +
                 quillog::WideToUtf8(row.oid.substr(0, 30)));
    CSimulatorEntry s;
    EXPECT_EQ(s.AddValue(row.oid, row.type, row.text), row.accepted);
    EXPECT_EQ(s.values.size(), row.accepted ? 1u : 0u);
  }
}
