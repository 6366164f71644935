#include "asn1/Asn1Type.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(TypeTable, NamesAndCodesBothWays) {
  LogCapture log;
  const std::pair<uint8_t, const wchar_t*> known[] = {{0x41, L"Counter32"}, {0xFF, L"Pseudo type Sequence End"},
                                                      {0x30, L"Sequence"},  {0x11, L"Set"},
                                                      {0x04, L"Octet String"}, {0x43, L"TimeTicks"}};
  for (const auto& [code, name] : known) {
    EXPECT_STREQ(GetTypeName(code), name) << int(code);
    EXPECT_EQ(GetTypeCode(name), code) << quillog::WideToUtf8(name);
  }
  EXPECT_EQ(GetTypeCode(std::wstring(L"TimeTicks")), 0x43);
  EXPECT_TRUE(log.Records().empty());
  EXPECT_STREQ(GetTypeName(0x07), L"Unknown type");
  EXPECT_TRUE(log.Has(L"Type 7 is unknown"));
  EXPECT_STREQ(GetTypeName(0x31), L"Unknown type");  // a SET on the wire is not in the table
  EXPECT_EQ(GetTypeCode(L"octet string"), 0);
  EXPECT_TRUE(log.Has(L"Type octet string is unknown"));
  EXPECT_EQ(GetTypeCode(L"Octet String "), 0);
  EXPECT_EQ(GetTypeCode(static_cast<const wchar_t*>(nullptr)), 0);
  // A name that failed to resolve turns back into "Unknown type".
  EXPECT_STREQ(GetTypeName(GetTypeCode(L"nothing")), L"Unknown type");
}

TEST(TypeTable, EveryNameRoundTrips) {
  std::set<std::wstring> names;
  int known = 0;
  for (int code = 0; code < 256; ++code) {
    LogCapture log;
    const std::wstring name = GetTypeName(static_cast<uint8_t>(code));
    if (name == L"Unknown type") continue;
    ++known;
    names.insert(name);
    EXPECT_EQ(GetTypeCode(name), code) << code;
  }
  EXPECT_EQ(known, 44);
  EXPECT_EQ(names.size(), 44u);
}

TEST(TypeTable, CarriesValue) {
  for (int code : {0x05, 0x30, 0x80, 0x81, 0x82, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xFF}) {
    EXPECT_FALSE(CarriesValue(static_cast<uint8_t>(code))) << code;
  }
  for (int code : {0x01, 0x02, 0x04, 0x06, 0x11, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x07}) {
    EXPECT_TRUE(CarriesValue(static_cast<uint8_t>(code))) << code;
  }
  EXPECT_FALSE(CarriesValue(0x31));  // constructed bit decides before the table
}

TEST(TypeTable, Icons) {
  LogCapture log;
  const int expected[][2] = {{0x04, 1}, {0x06, 2}, {0x43, 3}, {0x02, 4},  {0x42, 5}, {0x41, 6},
                             {0x40, 7}, {0x46, 8}, {0x01, 9}, {0x44, 12}, {0x05, 13}};
  for (const auto& row : expected) EXPECT_EQ(GetTypeIcon(static_cast<uint8_t>(row[0])), row[1]);
  EXPECT_TRUE(log.Records().empty());
  EXPECT_EQ(GetTypeIcon(0x03), 0);
  EXPECT_TRUE(log.Has(L"Unknown type of icon for ASN.1 type Bit String"));
  log.Clear();
  EXPECT_EQ(GetTypeIcon(0x07), 0);
  const auto lines = log.Messages();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"Type 7 is unknown");
  EXPECT_EQ(lines[1], L"Unknown type of icon for ASN.1 type Unknown type");
}
