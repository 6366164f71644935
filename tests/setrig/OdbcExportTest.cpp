// The three ODBC exports of libsetrig.so with the SQLite3 ODBC driver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/setrig/OdbcTestSupport.h"

namespace {

constexpr const char* kPassword = "Pw-of-the-installer";

class OdbcExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The first export call registers with the logging library and resets
    // the feature mask: do it before any capture.
    char buffer[8];
    Setrig_OdbcGetDriver(0, buffer, sizeof buffer);
  }

  std::string Db() const { return dir_.str("installer.db"); }
  std::string Script(const std::string& name, const std::string& bytes) const {
    odbctest::WriteFile(dir_.str(name), bytes);
    return dir_.str(name);
  }
  int Play(const std::string& script) {
    return Setrig_OdbcPlayScript(odbctest::kSqliteDriver, "localhost", "setup", kPassword, Db().c_str(),
                                 script.c_str());
  }
  std::string Rows(const std::string& sql) const { return odbctest::Sqlite(Db(), sql); }

  TempDir dir_;
};

TEST_F(OdbcExportTest, GetDriverListsTheRegisteredDrivers) {
  char buffer[64];
  std::memset(buffer, 'X', sizeof buffer);
  ASSERT_EQ(Setrig_OdbcGetDriver(0, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, odbctest::kSqliteDriver);
  ASSERT_EQ(Setrig_OdbcGetDriver(1, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, odbctest::kPostgresDriver);

  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(Setrig_OdbcGetDriver(2, buffer, sizeof buffer), 0);
  EXPECT_EQ(buffer[0], '\0') << "a failed reader leaves an empty string";
  EXPECT_EQ(Setrig_OdbcGetDriver(0xFFFFFFFFu, buffer, sizeof buffer), 0);

  std::memset(buffer, 'X', sizeof buffer);
  ASSERT_EQ(Setrig_OdbcGetDriver(0, buffer, 7), 1);
  EXPECT_STREQ(buffer, "Tavelo");
  EXPECT_EQ(buffer[7], 'X');

  LogCapture log;
  EXPECT_EQ(Setrig_OdbcGetDriver(0, nullptr, 8), 0);
  EXPECT_EQ(Setrig_OdbcGetDriver(0, buffer, 0), 0);
  EXPECT_EQ(log.Count(L"Invalid buffer", QUILLOG_ERROR), 2u);
}

TEST_F(OdbcExportTest, CheckConnect) {
  LogCapture log;
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "setup", kPassword, Db().c_str()), 1);
  EXPECT_TRUE(log.HasContaining(L"ODBC connection string: '"));
  EXPECT_TRUE(log.HasContaining(L";Database=" + quillog::Utf8ToWide(Db())));
  EXPECT_EQ(log.CountContaining(quillog::Utf8ToWide(kPassword)), 0u);
  // Disconnected again: a second check connects anew.
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "setup", kPassword, Db().c_str()), 1);

  EXPECT_EQ(Setrig_OdbcCheckConnect("No Such Driver", "localhost", "setup", kPassword, Db().c_str()), 0);
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, nullptr, "setup", kPassword, Db().c_str()), 0);
  const std::string unreachable = dir_.str("no/such/folder/x.db");
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "u", "p", unreachable.c_str()), 0);
}

TEST_F(OdbcExportTest, PlayScriptPlaysEveryBatchAndGoesOnAfterAFailure) {
  const std::string script = Script("setup.sql",
                                    "CREATE TABLE agent(id INTEGER, name TEXT)\nGO\n"
                                    "INSERT INTO agent VALUES(1, 'first')\ngo\n"
                                    "INSERT INTO missing VALUES(2)\nGO\n"
                                    "INSERT INTO agent VALUES(3, 'third')\r\nGO\r\n\r\n");
  LogCapture log;
  EXPECT_EQ(Play(script), 1);
  EXPECT_EQ(Rows("SELECT id, name FROM agent ORDER BY id"), "1|first\n3|third\n");
  EXPECT_TRUE(log.HasContaining(L"1 of the 4 batches of the script"));
  EXPECT_EQ(log.CountContaining(quillog::Utf8ToWide(kPassword)), 0u);
  EXPECT_TRUE(log.HasContaining(L"PWD=xxxxxxxx"));
}

TEST_F(OdbcExportTest, PlayScriptReadsUtf16AndMarkedUtf8Files) {
  ASSERT_EQ(Play(Script("create.sql", "CREATE TABLE t(k TEXT, v TEXT)")), 1);
  ASSERT_EQ(Play(Script("utf16.sql", odbctest::Utf16File(L"INSERT INTO t VALUES('utf16', '\u00e9t\u00e9 \u65e5\u672c "
                                                          L"\U0001F600')\r\nGO\r\n"))),
            1);
  ASSERT_EQ(Play(Script("utf8.sql", "\xEF\xBB\xBFINSERT INTO t VALUES('utf8', 'caf\xC3\xA9')\nGO\n")), 1);
  // Nothing to play is no failure.
  EXPECT_EQ(Play(Script("empty.sql", "")), 1);
  EXPECT_EQ(Play(Script("mark-only.sql", "\xFF\xFE")), 1);
  EXPECT_EQ(Rows("SELECT k, v FROM t ORDER BY k"),
            "utf16|\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\nutf8|caf\xC3\xA9\n");
}

TEST_F(OdbcExportTest, PlayScriptFailures) {
  LogCapture log;
  const std::string missing = dir_.str("missing.sql");
  EXPECT_EQ(Play(missing), 0);
  EXPECT_TRUE(log.Has(L"Unable to open the script file " + quillog::Utf8ToWide(missing), QUILLOG_ERROR));
  EXPECT_EQ(Setrig_OdbcPlayScript(odbctest::kSqliteDriver, "localhost", "u", "p", Db().c_str(), nullptr), 0);

  const std::string script = Script("ok.sql", "CREATE TABLE t(a)");
  EXPECT_EQ(Setrig_OdbcPlayScript("No Such Driver", "localhost", "u", "p", Db().c_str(), script.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Fail to open ODBC connection to the database", QUILLOG_ERROR));
  // The failed connection left nothing behind: the next play connects.
  EXPECT_EQ(Play(script), 1);
  EXPECT_EQ(Rows("SELECT count(*) FROM sqlite_master WHERE name = 't'"), "1\n");
}

}  // namespace
