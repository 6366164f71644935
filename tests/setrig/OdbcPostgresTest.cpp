// The ODBC exports with the PostgreSQL ODBC driver, against a PostgreSQL
// server the suite starts on a free loopback port; rows are read back with
// psql.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/setrig/OdbcTestSupport.h"

namespace {

class OdbcPostgresTest : public odbctest::PostgresSuite {
 protected:
  void SetUp() override {
    PostgresSuite::SetUp();
    char buffer[8];
    Setrig_OdbcGetDriver(0, buffer, sizeof buffer);  // registers before any capture
  }

  // The port goes with the server, as a further attribute for the driver.
  static std::string Server() { return "127.0.0.1;PORT=" + Port(); }
  static const char* User() { return server_->user().c_str(); }
  static const char* Password() { return server_->password().c_str(); }

  std::string Script(const std::string& name, const std::string& bytes) const {
    odbctest::WriteFile(dir_.str(name), bytes);
    return dir_.str(name);
  }
  std::string Psql(const std::string& database, const std::string& sql) const {
    std::string output;
    EXPECT_EQ(server_->Psql(database, sql, &output), 0) << output;
    return output;
  }

  TempDir dir_;
};

TEST_F(OdbcPostgresTest, CheckConnectWithTheRightAndAWrongPassword) {
  LogCapture log;
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kPostgresDriver, Server().c_str(), User(), Password(), "postgres"), 1);
  EXPECT_TRUE(log.HasContaining(L"ODBC connection string: '"));
  // The password holds a ';' and must travel in braces to be accepted.
  EXPECT_EQ(log.CountContaining(quillog::Utf8ToWide(Password())), 0u);

  log.Clear();
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kPostgresDriver, Server().c_str(), User(), "wrong", "postgres"), 0);
  EXPECT_TRUE(log.Has(L"SQLConnect()", QUILLOG_ERROR));
  EXPECT_TRUE(log.HasContaining(L"password authentication failed"));
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kPostgresDriver, Server().c_str(), User(), Password(), "nodb"), 0);
}

TEST_F(OdbcPostgresTest, PlayScriptIntoANamedDatabase) {
  Psql("postgres", "CREATE DATABASE workbench");
  const std::string script = Script("pg.sql",
                                    "CREATE TABLE agent(id integer PRIMARY KEY, name text, seen date);\n"
                                    "INSERT INTO agent VALUES (1, 'first', '2024-02-29');\nGO\n"
                                    "INSERT INTO agent VALUES (1, 'duplicate', NULL)\nGO\n"
                                    "INSERT INTO agent VALUES (2, 'caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC', NULL)\nGO\n");
  LogCapture log;
  EXPECT_EQ(Setrig_OdbcPlayScript(odbctest::kPostgresDriver, Server().c_str(), User(), Password(), "workbench",
                                  script.c_str()),
            1);
  EXPECT_EQ(Psql("workbench", "SELECT id, name, seen FROM agent ORDER BY id"),
            "1|first|2024-02-29\n2|caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC|\n");
  EXPECT_TRUE(log.HasContaining(L"1 of the 3 batches of the script"));
  EXPECT_EQ(log.CountContaining(quillog::Utf8ToWide(Password())), 0u);
}

TEST_F(OdbcPostgresTest, PlayScriptWithoutDatabaseUsesTheServersDefault) {
  const std::string script = Script("default.sql", odbctest::Utf16File(L"CREATE TABLE played(n integer)\r\ngo\r\n"
                                                                       L"INSERT INTO played VALUES (42)\r\n"));
  EXPECT_EQ(Setrig_OdbcPlayScript(odbctest::kPostgresDriver, Server().c_str(), User(), Password(), nullptr,
                                  script.c_str()),
            1);
  // libpq's default database is the one named like the user.
  EXPECT_EQ(Psql(server_->user(), "SELECT n FROM played"), "42\n");
}

TEST_F(OdbcPostgresTest, GetDriverNamesThePostgresDriver) {
  char buffer[64];
  ASSERT_EQ(Setrig_OdbcGetDriver(1, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, odbctest::kPostgresDriver);
}

}  // namespace
