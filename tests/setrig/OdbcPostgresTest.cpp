// The ODBC exports with the PostgreSQL ODBC driver, against a PostgreSQL
// server the suite starts on a free loopback port; rows are read back with
// psql.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "setrig/OdbcPool.h"
#include "setrig/OdbcRequest.h"
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
  // The password holds a ';' and must travel in braces to be accepted; the
  // driver gives it back escaped ("Pg%2ds3cret%3bword"), masked all the same.
  EXPECT_EQ(log.CountContaining(quillog::Utf8ToWide(Password())), 0u);
  EXPECT_EQ(log.CountContaining(L"s3cret"), 0u);
  EXPECT_TRUE(log.HasContaining(L";PWD=xxxxxxxx;"));

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
  EXPECT_EQ(log.CountContaining(L"s3cret"), 0u);
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

TEST_F(OdbcPostgresTest, RequestsReadEveryResultSetAndBindParameters) {
  CZubOdbcPool pool;
  ASSERT_TRUE(pool.Connect(odbctest::kPostgresDriver, Server().c_str(), User(), Password(), "Tavelo", "postgres"));
  CZubOdbc odbc(pool);
  CZubOdbcReq req(odbc);
  ASSERT_TRUE(req.Prepare(L"SELECT 1 AS one, DATE '2024-02-29' AS day, NULL::text AS nothing;\n"
                          L"SELECT 'caf\u00e9' AS word UNION ALL SELECT '\U0001F600' ORDER BY 1"));
  ASSERT_TRUE(req.Finish(false));
  ASSERT_EQ(req.ResultSets().size(), 2u);
  const CZubResultSet& first = req.ResultSets()[0];
  ASSERT_EQ(first.RowCount(), 1u);
  EXPECT_EQ(first.Value(0, L"one"), L"1");
  EXPECT_EQ(first.Value(0, L"day"), L"2024-02-29");
  EXPECT_FALSE(first.Value(0, L"nothing").has_value());
  const CZubResultSet& second = req.ResultSets()[1];
  ASSERT_EQ(second.RowCount(), 2u);
  EXPECT_EQ(second.Value(0, L"word"), L"caf\u00e9");
  EXPECT_EQ(second.Value(1, 0), L"\U0001F600");

  ASSERT_TRUE(req.Prepare(L"SELECT upper(?) AS shout, ?::text IS NULL AS missing"));
  ASSERT_EQ(req.ParamCount(), 2);
  ASSERT_TRUE(req.SetParam(1, L"\u00e9t\u00e9"));
  ASSERT_TRUE(req.SetParam(2, std::nullopt));
  ASSERT_TRUE(req.Finish(true));
  ASSERT_EQ(req.ResultSets().size(), 1u);
  EXPECT_EQ(req.ResultSets()[0].Value(0, L"shout"), L"\u00c9T\u00c9");
  EXPECT_EQ(req.ResultSets()[0].Value(0, L"missing"), L"1");
}

TEST_F(OdbcPostgresTest, GetDriverNamesThePostgresDriver) {
  char buffer[64];
  ASSERT_EQ(Setrig_OdbcGetDriver(1, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, odbctest::kPostgresDriver);
}

}  // namespace
