#include "asn1/Asn1Type.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <string>

// Every known name leads back to its own code: no duplicates.
TEST(TypeTable, NamesCodesValuesAndIcons) {
  LogCapture log;
  for (int code = 0; code < 256; ++code) {
    const std::wstring name = GetTypeName(static_cast<uint8_t>(code));
    if (name == L"Unknown type") continue;
    EXPECT_EQ(GetTypeCode(name), code) << code;
  }
  EXPECT_EQ(GetTypeCode(L"octet string"), 0);  // names match in case
  EXPECT_EQ(GetTypeCode(static_cast<const wchar_t*>(nullptr)), 0);
  for (int code : {0x05, 0x30, 0x31, 0x82, 0xA2, 0xFF}) EXPECT_FALSE(CarriesValue(static_cast<uint8_t>(code))) << code;
  for (int code : {0x02, 0x11, 0x46, 0x07}) EXPECT_TRUE(CarriesValue(static_cast<uint8_t>(code))) << code;
  EXPECT_EQ(GetTypeIcon(0x43), 3);
}
