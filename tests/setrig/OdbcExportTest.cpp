// The ODBC exports with the SQLite3 driver: drivers listed, connections
// checked, script files played; rows are read back with sqlite3.
#include "setrig/ScriptPlayer.h"
#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/setrig/OdbcTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr const char* kPassword = "Pw-of-the-installer";

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
  LogCapture log;
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "setup", kPassword, db.c_str()), 1);
  EXPECT_TRUE(log.HasContaining(L";Database=" + quillog::Utf8ToWide(db)));
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "setup", kPassword, db.c_str()), 1)
      << "the first check disconnected again";
  const std::string unreachable = dir.str("no/such/x.db");
  EXPECT_EQ(Setrig_OdbcCheckConnect(odbctest::kSqliteDriver, "localhost", "u", "p", unreachable.c_str()), 0);
}

struct PlayCase {
  const char* name;
  std::string bytes;
  std::string rows;       // SELECT a FROM t afterwards
  std::wstring failures;  // the warning about failed batches, empty for none
};
void PrintTo(const PlayCase& c, std::ostream* os) { *os << c.name; }

class ScriptPlayerTest : public ::testing::TestWithParam<PlayCase> {
 protected:
  void SetUp() override { odbctest::Sqlite(Db(), "CREATE TABLE t(a TEXT)"); }
  std::string Db() const { return m_dir.str("installer.db"); }
  int Play(const std::string& bytes, const char* driver = odbctest::kSqliteDriver) {
    const std::string script = WriteFileBytes(m_dir.str("script.sql"), bytes);
    return Setrig_OdbcPlayScript(driver, "localhost", "setup", kPassword, Db().c_str(), script.c_str());
  }

  TempDir m_dir;
};

TEST_P(ScriptPlayerTest, PlaysEveryBatch) {
  const PlayCase& c = GetParam();
  LogCapture log;
  EXPECT_EQ(Play(c.bytes), 1);
  EXPECT_EQ(odbctest::Sqlite(Db(), "SELECT a FROM t ORDER BY rowid"), c.rows);
  const bool failing = !c.failures.empty();
  EXPECT_EQ(log.CountContaining(failing ? c.failures : L"batches of the script"), failing ? 1u : 0u);
  EXPECT_EQ(log.CountContaining(quillog::Utf8ToWide(kPassword)), 0u);
}

const std::string kInsert1 = "INSERT INTO t VALUES('1')";
const std::string kInsert2 = "INSERT INTO t VALUES('2')";

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptPlayerTest,
    ::testing::Values(
        PlayCase{"NoGo", kInsert1 + "\n", "1\n", L""},
        PlayCase{"LowerCaseGo", kInsert1 + "\ngo\n" + kInsert2, "1\n2\n", L""},
        PlayCase{"IndentedGoIsNoSeparator", kInsert1 + "\n  GO\n" + kInsert2, "", L"1 of the 1 batches"},
        PlayCase{"GoxStartsTheNextBatch", kInsert1 + "\nGO" + kInsert2, "1\n2\n", L""},
        PlayCase{"TrailingGoWithOnlyLineBreaks", kInsert1 + "\r\nGO\r\n\r\n\n", "1\n", L""},
        PlayCase{"GoFirstCarriageReturnLinesAndGoInAValue", "Go\r" + std::string("INSERT INTO t VALUES('GO')\rGO"),
                 "GO\n", L""},
        PlayCase{"FailingMiddleBatch", kInsert1 + "\nGO\nINSERT INTO nowhere VALUES(2)\nGO\n" + kInsert2 + "\n",
                 "1\n2\n", L"1 of the 3 batches"},
        PlayCase{"Utf16", odbctest::Utf16File(L"INSERT INTO t VALUES('\u00e9t\u00e9 \u65e5\U0001F600')\r\ngo\r\n"),
                 "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80\n", L""},
        PlayCase{"Utf8WithMark", "\xEF\xBB\xBFINSERT INTO t VALUES('caf\xC3\xA9')\nGO\n", "caf\xC3\xA9\n", L""},
        PlayCase{"Empty", "", "", L""}, PlayCase{"Utf16MarkOnly", "\xFF\xFE", "", L""}),
    [](const ::testing::TestParamInfo<PlayCase>& info) { return std::string(info.param.name); });

TEST_F(ScriptPlayerTest, FailuresToOpenAreReported) {
  LogCapture log;
  const std::string missing = m_dir.str("missing.sql");
  EXPECT_EQ(Setrig_OdbcPlayScript(odbctest::kSqliteDriver, "localhost", "u", "p", Db().c_str(), missing.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Unable to open the script file " + quillog::Utf8ToWide(missing), QUILLOG_ERROR));
  EXPECT_EQ(Setrig_OdbcPlayScript(odbctest::kSqliteDriver, "localhost", "u", "p", Db().c_str(), nullptr), 0);
  EXPECT_EQ(Play(kInsert1, "No Such Driver"), 0);
  EXPECT_TRUE(log.Has(L"Fail to open ODBC connection to the database", QUILLOG_ERROR));
  EXPECT_EQ(Play(kInsert1), 1) << "the failed connection left nothing behind";
  EXPECT_EQ(odbctest::Sqlite(Db(), "SELECT a FROM t"), "1\n");
}

std::wstring TextOf(const std::string& bytes, ScriptEncoding encoding) {
  return ScriptText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), encoding, L"/s.sql");
}

TEST(ScriptTextTest, WrongEncodingsAndBrokenSequencesAreLoggedAndReplaced) {
  LogCapture log;
  EXPECT_EQ(TextOf(odbctest::Utf16File(L"AB"), ScriptEncoding::Utf8), std::wstring(L"\uFFFD\uFFFDA\0B\0", 6));
  EXPECT_TRUE(log.Has(L"The file /s.sql is an unicode file and you read it as an UTF8 file"));
  EXPECT_EQ(TextOf("AB", ScriptEncoding::Utf16), std::wstring(1, wchar_t(0x4241)));
  EXPECT_TRUE(log.Has(L"The file /s.sql is not an unicode file and you read it as an unicode file"));
  // A lone low surrogate and an odd last byte in UTF-16; a cut sequence in UTF-8.
  EXPECT_EQ(TextOf(std::string("\xFF\xFE"
                               "A\0\x00\xDC"
                               "B",
                               7),
                   ScriptEncoding::Utf16),
            L"A\uFFFD");
  EXPECT_TRUE(log.Has(L"The file /s.sql ends with an odd byte, it is left out"));
  // Two low halves never make a pair.
  EXPECT_EQ(TextOf(std::string("\xFF\xFE\x00\xDC\x00\xDC", 6), ScriptEncoding::Utf16), L"\uFFFD\uFFFD");
  EXPECT_EQ(TextOf("A\xC3", ScriptEncoding::Utf8), L"A\uFFFD");
}

}  // namespace
