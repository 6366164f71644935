// The connection check and driver listing exports with the SQLite3 driver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/setrig/OdbcTestSupport.h"

namespace {

TEST(OdbcExportTest, GetDriverListsTheRegisteredDrivers) {
  char buffer[64];
  ASSERT_EQ(Setrig_OdbcGetDriver(0, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, odbctest::kSqliteDriver);
  ASSERT_EQ(Setrig_OdbcGetDriver(1, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, odbctest::kPostgresDriver);
  for (uint32_t index : {2u, 0xFFFFFFFFu}) {
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(Setrig_OdbcGetDriver(index, buffer, sizeof buffer), 0);
    EXPECT_EQ(buffer[0], '\0') << "a failed reader leaves an empty string";
  }
  std::memset(buffer, 'X', sizeof buffer);
  ASSERT_EQ(Setrig_OdbcGetDriver(0, buffer, 7), 1);
  EXPECT_STREQ(buffer, "Tavelo");

  LogCapture log;
  EXPECT_EQ(Setrig_OdbcGetDriver(0, nullptr, 8), 0);
  EXPECT_EQ(Setrig_OdbcGetDriver(0, buffer, 0), 0);
  EXPECT_EQ(log.Count(L"Invalid buffer", QUILLOG_ERROR), 2u);
}

TEST(OdbcExportTest, CheckConnect) {
  TempDir dir;
  const std::string db = dir.str("installer.db");
  const char* password = "Pw-of-the-installer";
  LogCapture log;
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "setup", password, db.c_str()), 1);
  EXPECT_TRUE(log.HasContaining(L";Database=" + quillog::Utf8ToWide(db)));
  EXPECT_EQ(log.CountContaining(quillog::Utf8ToWide(password)), 0u);
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "setup", password, db.c_str()), 1)
      << "the first check disconnected again";
  EXPECT_EQ(Setrig_OdbcCheckConnect("No Such Driver", "localhost", "setup", password, db.c_str()), 0);
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, nullptr, "setup", password, db.c_str()), 0);
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "u", "p", dir.str("no/such/x.db").c_str()), 0);
}

}  // namespace
