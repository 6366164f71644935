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

TEST(SimulatorEntry, OnlyTheElevenSimulatorTypesAreAccepted) {
  LogCapture log(0);
  CSimulatorEntry s;
  const wchar_t* accepted[] = {L"Boolean",   L"Integer",  L"Octet String", L"Null",      L"Object Identifier",
                               L"IP Address", L"Counter32", L"Gauge32",     L"TimeTicks", L"Opaque",
                               L"Counter64"};
  int arc = 0;
  for (const wchar_t* name : accepted) {
    EXPECT_TRUE(s.AddValue(L"1.3.6.1.4.1." + std::to_wstring(++arc), name, L"1")) << quillog::WideToUtf8(name);
  }
  EXPECT_FALSE(s.AddValue(L"1.3.6.1.4.1.100", L"Bit String", L"1"));
  EXPECT_TRUE(log.HasContaining(L"The type 'Bit String' is not yet allowed"));
  EXPECT_FALSE(s.AddValue(L"1.3.6.1.4.1.101", L"octet string", L"1"));
  EXPECT_TRUE(log.HasContaining(L"The type 'octet string' is not yet allowed"));
  EXPECT_FALSE(s.AddValue(L"1.3.6.1.4.1.102", L"Sequence", L"1"));
  EXPECT_EQ(s.values.size(), 11u);
  EXPECT_EQ(s.values[5].type, 0x40);
  EXPECT_EQ(s.values[10].type, 0x46);
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
