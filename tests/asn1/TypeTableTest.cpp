#include "asn1/Asn1Type.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <string>

TEST(TypeTable, NamesCodesValuesAndIcons) {
  LogCapture log;
  EXPECT_STREQ(GetTypeName(0x41), L"Counter32");
  EXPECT_EQ(GetTypeCode(L"Set"), 0x11);
  // Every known name leads back to its own code: no duplicates.
  int known = 0;
  for (int code = 0; code < 256; ++code) {
    const std::wstring name = GetTypeName(static_cast<uint8_t>(code));
    if (name == L"Unknown type") continue;
    ++known;
    EXPECT_EQ(GetTypeCode(name), code) << code;
  }
  EXPECT_EQ(known, 44);
  EXPECT_TRUE(log.Has(L"Type 7 is unknown"));
  EXPECT_EQ(GetTypeCode(L"octet string"), 0);  // names match in case
  EXPECT_TRUE(log.Has(L"Type octet string is unknown"));
  EXPECT_EQ(GetTypeCode(static_cast<const wchar_t*>(nullptr)), 0);

  for (int code : {0x05, 0x30, 0x31, 0x82, 0xA2, 0xFF}) EXPECT_FALSE(CarriesValue(static_cast<uint8_t>(code))) << code;
  for (int code : {0x02, 0x11, 0x46, 0x07}) EXPECT_TRUE(CarriesValue(static_cast<uint8_t>(code))) << code;
  EXPECT_EQ(GetTypeIcon(0x43), 3);
  EXPECT_EQ(GetTypeIcon(0x03), 0);
  EXPECT_TRUE(log.Has(L"Unknown type of icon for ASN.1 type Bit String"));
}
