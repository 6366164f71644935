// The ODBC exports and requests with the PostgreSQL ODBC driver against a
// server the suite starts on a free loopback port; rows read back with psql.
#include "setrig/OdbcPool.h"
#include "setrig/OdbcRequest.h"
#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/setrig/OdbcTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// The tests share one server, started once.
class OdbcPostgresTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    m_server = std::make_unique<pgtest::Server>();
    if (!m_server->Start(&m_start_error)) m_server.reset();
  }
  static void TearDownTestSuite() { m_server.reset(); }
  void SetUp() override { ASSERT_TRUE(m_server) << "PostgreSQL did not start: " << m_start_error; }

  // The port goes with the server, as a further attribute for the driver.
  static std::string Server() { return "127.0.0.1;PORT=" + std::to_string(m_server->port()); }
  int Play(const char* database, const std::string& bytes) {
    const std::string script = WriteFileBytes(m_dir.str("script.sql"), bytes);
    return Setrig_OdbcPlayScript(odbctest::kPostgresDriver, Server().c_str(), m_server->user().c_str(),
                                 m_server->password().c_str(), database, script.c_str());
  }
  int Check(const char* password, const char* database) {
    return Setrig_OdbcCheckConnect(odbctest::kPostgresDriver, Server().c_str(), m_server->user().c_str(), password,
                                   database);
  }
  std::string Psql(const std::string& database, const std::string& sql) const {
    std::string output;
    EXPECT_EQ(m_server->Psql(database, sql, &output), 0) << output;
    return output;
  }

  static inline std::unique_ptr<pgtest::Server> m_server;
  static inline std::string m_start_error;
  TempDir m_dir;
};

TEST_F(OdbcPostgresTest, CheckConnectNeverLogsThePassword) {
  LogCapture log;
  EXPECT_EQ(Check(m_server->password().c_str(), "postgres"), 1);
  // The password holds a ';' and travels in braces; the driver gives it
  // back escaped ("Pg%2ds3cret%3bword"), masked all the same.
  EXPECT_EQ(log.CountContaining(L"s3cret"), 0u);
  EXPECT_TRUE(log.HasContaining(L";PWD=xxxxxxxx;"));

  log.Clear();
  EXPECT_EQ(Check("wrong", "postgres"), 0);
  EXPECT_TRUE(log.HasContaining(L"password authentication failed"));
  EXPECT_EQ(Check(m_server->password().c_str(), "nodb"), 0);
}

TEST_F(OdbcPostgresTest, PlayScriptIntoANamedOrTheDefaultDatabase) {
  Psql("postgres", "CREATE DATABASE workbench");
  LogCapture log;
  EXPECT_EQ(Play("workbench",
                 "CREATE TABLE agent(id integer PRIMARY KEY, name text, seen date);\n"
                 "INSERT INTO agent VALUES (1, 'first', '2024-02-29');\nGO\n"
                 "INSERT INTO agent VALUES (1, 'duplicate', NULL)\nGO\n"
                 "INSERT INTO agent VALUES (2, 'caf\xC3\xA9 \xE6\x97\xA5', NULL)\nGO\n"),
            1);
  EXPECT_EQ(Psql("workbench", "SELECT id, name, seen FROM agent ORDER BY id"),
            "1|first|2024-02-29\n2|caf\xC3\xA9 \xE6\x97\xA5|\n");
  EXPECT_TRUE(log.HasContaining(L"1 of the 3 batches of the script"));
  EXPECT_EQ(log.CountContaining(L"s3cret"), 0u);

  // Without a database libpq takes the one named like the user.
  EXPECT_EQ(Play(nullptr, odbctest::Utf16File(L"CREATE TABLE played(n integer)\r\ngo\r\nINSERT INTO played VALUES(4)")),
            1);
  EXPECT_EQ(Psql(m_server->user(), "SELECT n FROM played"), "4\n");
}

TEST_F(OdbcPostgresTest, RequestsReadEveryResultSet) {
  CZubOdbcPool pool;
  ASSERT_TRUE(pool.Connect(odbctest::kPostgresDriver, Server().c_str(), m_server->user().c_str(),
                           m_server->password().c_str(), "Tavelo", "postgres"));
  CZubOdbc odbc(pool);
  CZubOdbcReq req(odbc);
  ASSERT_TRUE(
      req.Prepare(L"SELECT 1 AS one, DATE '2024-02-29' AS day, NULL::text AS nothing;\n"
                  L"SELECT 'caf\u00e9' AS word UNION ALL SELECT '\U0001F600' ORDER BY 1"));
  ASSERT_TRUE(req.Finish(false));
  ASSERT_EQ(req.ResultSets().size(), 2u);
  const CZubResultSet& first = req.ResultSets()[0];
  EXPECT_EQ(first.Value(0, L"ONE"), L"1") << "names are matched in any case";
  EXPECT_EQ(first.Value(0, L"day"), L"2024-02-29");
  EXPECT_FALSE(first.Value(0, L"nothing").has_value());
  EXPECT_EQ(first.ColumnIndex(L"missing"), -1);
  EXPECT_THROW(first.Value(1, 0), std::out_of_range);
  const CZubResultSet& second = req.ResultSets()[1];
  ASSERT_EQ(second.RowCount(), 2u);
  EXPECT_EQ(second.Value(0, L"word"), L"caf\u00e9");
  EXPECT_EQ(second.Value(1, 0), L"\U0001F600");
}

}  // namespace
