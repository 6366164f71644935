// The ODBC exports, pool and requests with the SQLite3 driver, and with the
// PostgreSQL driver against a server the suite starts on a free loopback
// port; rows read back with sqlite3 and psql. The pool from eight threads too.
#include "kit/ZubException.h"
#include "setrig/OdbcPool.h"
#include "setrig/OdbcRequest.h"
#include "setrig/ScriptPlayer.h"
#include "setrig/Setrig.h"
#include "tests/common/LogCapture.h"
#include "tests/common/Postgres.h"
#include "tests/common/TempDir.h"
#include "tests/common/Thrown.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <glob.h>
#include <memory>
#include <mutex>
#include <set>
#include <stdlib.h>
#include <string>
#include <thread>
#include <vector>

namespace odbctest {

constexpr const char* kSqliteDriver = "Tavelo SQLite3";
constexpr const char* kPostgresDriver = "Tavelo PostgreSQL";

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    m_home = std::make_unique<TempHome>();
    const std::string folder = m_home->str("odbc");
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/odbcinst.ini")
        << "[" << kSqliteDriver << "]\nDriver=" << FindFile("/usr/lib/*/odbc/libsqlite3odbc.so") << "\n\n["
        << kPostgresDriver << "]\nDriver=" << FindFile("/usr/lib/*/odbc/psqlodbcw.so") << "\n";
    std::ofstream(folder + "/odbc.ini").close();
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    ::setenv("ODBCINI", (folder + "/odbc.ini").c_str(), 1);
    char buffer[8];
    Setrig_OdbcGetDriver(0, buffer, sizeof buffer);  // registers with the log before any capture
  }
  void TearDown() override { m_home.reset(); }

 private:
  static std::string FindFile(const char* pattern) {
    glob_t found{};
    std::string path = ::glob(pattern, 0, nullptr, &found) == 0 ? found.gl_pathv[0] : "";
    ::globfree(&found);
    return path;
  }
  std::unique_ptr<TempHome> m_home;
};

// Runs SQL with the sqlite3 program; rows one a line, fields separated by '|'.
std::string Sqlite(const std::string& database, const std::string& sql) {
  std::string output;
  pgtest::Run({"sqlite3", "-batch", database, sql}, &output, 60);
  return output;
}

// UTF-16LE bytes of a text, with the byte order mark.
std::string Utf16File(const std::u16string& text) {
  static_assert(std::endian::native == std::endian::little);
  return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
}

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

}  // namespace odbctest

namespace {

constexpr const char* kPassword = "Pw-of-the-installer";

TEST(OdbcExportTest, GetDriverListsTheRegisteredDrivers) {
  char buffer[64];
  ASSERT_EQ(Setrig_OdbcGetDriver(0, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, odbctest::kSqliteDriver);
  ASSERT_EQ(Setrig_OdbcGetDriver(1, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, odbctest::kPostgresDriver);
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(Setrig_OdbcGetDriver(2, buffer, sizeof buffer), 0);
  EXPECT_EQ(buffer[0], '\0') << "a failed reader leaves an empty string";
  std::memset(buffer, 'X', sizeof buffer);
  ASSERT_EQ(Setrig_OdbcGetDriver(0, buffer, 7), 1);
  EXPECT_STREQ(buffer, "Tavelo");

  LogCapture log;
  EXPECT_EQ(Setrig_OdbcGetDriver(0, buffer, 0), 0);
  EXPECT_EQ(log.Count(L"Invalid buffer", QUILLOG_ERROR), 1u);
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
        PlayCase{"Utf16", odbctest::Utf16File(u"INSERT INTO t VALUES('\u00e9t\u00e9 \u65e5\U0001F600')\r\ngo\r\n"),
                 "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80\n", L""},
        PlayCase{"Utf8WithMark", "\xEF\xBB\xBFINSERT INTO t VALUES('caf\xC3\xA9')\nGO\n", "caf\xC3\xA9\n", L""},
        PlayCase{"Empty", "", "", L""}, PlayCase{"Utf16MarkOnly", "\xFF\xFE", "", L""}),
    [](const ::testing::TestParamInfo<PlayCase>& info) { return std::string(info.param.name); });

TEST_F(ScriptPlayerTest, FailuresToOpenAreReported) {
  LogCapture log;
  const std::string missing = m_dir.str("missing.sql");
  EXPECT_EQ(Setrig_OdbcPlayScript(odbctest::kSqliteDriver, "localhost", "u", "p", Db().c_str(), missing.c_str()), 0);
  EXPECT_TRUE(log.Has(L"Unable to open the script file " + quillog::Utf8ToWide(missing), QUILLOG_ERROR));
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
  EXPECT_EQ(TextOf(odbctest::Utf16File(u"AB"), ScriptEncoding::Utf8), std::wstring(L"\uFFFD\uFFFDA\0B\0", 6));
  EXPECT_TRUE(log.Has(L"The file /s.sql is an unicode file and you read it as an UTF8 file"));
  // A lone low surrogate and an odd last byte in UTF-16; a cut sequence in UTF-8.
  EXPECT_EQ(TextOf(std::string("\xFF\xFE\x41\0\x00\xDC", 6) + "B", ScriptEncoding::Utf16), L"A\uFFFD");
  EXPECT_TRUE(log.Has(L"The file /s.sql ends with an odd byte, it is left out"));
  // Two low halves never make a pair.
  EXPECT_EQ(TextOf(std::string("\xFF\xFE\x00\xDC\x00\xDC", 6), ScriptEncoding::Utf16), L"\uFFFD\uFFFD");
  EXPECT_EQ(TextOf("A\xC3", ScriptEncoding::Utf8), L"A\uFFFD");
}

class OdbcSqliteTest : public ::testing::Test {
 protected:
  CZubOdbcParams Params() const {
    return CZubOdbcParams{
        quillog::Utf8ToWide(odbctest::kSqliteDriver), L"localhost", L"tavelo", kPassword, L"", m_dir.wpath("test.db")};
  }
  std::string Sqlite(const std::string& sql) const { return odbctest::Sqlite(m_dir.str("test.db"), sql); }

  static inline const std::wstring kPassword = L"Sq1ite-pw";
  TempDir m_dir;
  CZubOdbcPool m_pool;
};

TEST_F(OdbcSqliteTest, ConnectHidesThePasswordAndRefusesBadParameters) {
  LogCapture log;
  ASSERT_TRUE(m_pool.Connect(Params()));
  EXPECT_TRUE(log.HasContaining(L"PWD=xxxxxxxx"));  // the SQLite driver gives the password back
  EXPECT_EQ(log.CountContaining(kPassword), 0u);
  EXPECT_FALSE(m_pool.Connect(Params()));
  EXPECT_TRUE(log.Has(L"Already connected", QUILLOG_ERROR));
  EXPECT_TRUE(m_pool.Disconnect());

  const std::string db = m_dir.str("test.db");
  const char* sqlite = odbctest::kSqliteDriver;
  struct Case {
    const char *driver, *server, *user, *password;
    std::wstring message;
  };
  for (const Case& c : {Case{"", "s", "u", "p", L"Bad Driver name"}, Case{sqlite, "", "u", "p", L"Bad Server name"},
                        Case{sqlite, "s", "u", nullptr, L"Bad ODBC login/password"},
                        Case{"No Such Driver", "s", "u", "p", L"[unixODBC][Driver Manager]"}}) {
    log.Clear();
    EXPECT_FALSE(m_pool.Connect(c.driver, c.server, c.user, c.password, nullptr, db.c_str()));
    EXPECT_TRUE(log.HasContaining(c.message, QUILLOG_ERROR)) << c.message;
    EXPECT_FALSE(m_pool.IsConnected());
  }

  // Refused whole rather than cut: 1023 UTF-16 units pass, 1024 do not.
  CZubOdbcParams params = Params();
  const size_t fixed = CZubOdbcPool::BuildConnectionString(params, 0).size() - params.server.size();
  params.server = std::wstring(1024 - fixed, L's');
  EXPECT_FALSE(m_pool.Connect(params));
  EXPECT_TRUE(log.Has(L"The ODBC connection string is longer than 1023 characters", QUILLOG_ERROR));
  params.server.pop_back();
  EXPECT_TRUE(m_pool.Connect(params));
}

TEST_F(OdbcSqliteTest, ConnectionStringQuotesCredentialsAndMasksPasswords) {
  CZubOdbcParams params{L"D", L"127.0.0.1;PORT=5433", L"u;x", L"p{w}d", L"Setrig", L"db"};
  EXPECT_EQ(CZubOdbcPool::BuildConnectionString(params, 3),
            L"DRIVER=D;SERVER=127.0.0.1;PORT=5433;UID={u;x};PWD={p{w}}d};APP=Setrig_3;DATABASE=db");

  struct Case {
    std::wstring text, password, masked;
  };
  for (const Case& c : {Case{L"PWD=abab;X=abab", L"abab", L"PWD=xxxxxxxx;X=xxxxxxxx"}, Case{L"PWD=;", L"", L"PWD=;"},
                        Case{L"PWDX=1;pwd = s", L"", L"PWDX=1;pwd =xxxxxxxx"},  // a key that only begins like one
                        Case{L"UID=u;pwd=p%3bw;X=1", L"p;w", L"UID=u;pwd=xxxxxxxx;X=1"},  // the driver's escaping
                        Case{L"A={x;PWD=y};Password = {a}}b;c};Z=2", L"q", L"A={x;PWD=y};Password =xxxxxxxx;Z=2"}}) {
    EXPECT_EQ(CZubOdbcPool::MaskPassword(c.text, c.password), c.masked) << c.text;
  }
}

TEST_F(OdbcSqliteTest, RequestFailuresAreLoggedOrThrown) {
  ASSERT_TRUE(m_pool.Connect(Params()));
  CZubOdbc odbc(m_pool);
  LogCapture log;
  CZubOdbcReq req(odbc);
  EXPECT_FALSE(req.Prepare(L"INSERT INTO missing VALUES(1)") && req.Finish(false));
  EXPECT_TRUE(log.Has(L"ODBC Request error : [INSERT INTO missing VALUES(1)]", QUILLOG_ERROR));

  // A failure of the execution itself: a key that is already there.
  Sqlite("CREATE TABLE u(a INTEGER PRIMARY KEY)");
  ASSERT_TRUE(req.Prepare(L"INSERT INTO u VALUES(1)") && req.Finish(false));
  log.Clear();
  EXPECT_FALSE(req.Finish(false));
  EXPECT_TRUE(log.Has(L"SQLExecute()", QUILLOG_ERROR));
  EXPECT_EQ(Thrown([&] { req.Finish(true); }), L"Database SQL request error");
}

TEST_F(OdbcSqliteTest, AnOpenTransactionIsRolledBackWhenTheObjectGoes) {
  ASSERT_TRUE(m_pool.Connect(Params()));
  Sqlite("CREATE TABLE t(a INTEGER)");
  LogCapture log;
  for (int a : {1, 2}) {
    CZubOdbc odbc(m_pool);
    ASSERT_TRUE(odbc.BeginTransaction());
    CZubOdbcReq req(odbc);
    ASSERT_TRUE(req.Prepare(L"INSERT INTO t VALUES(" + std::to_wstring(a) + L")") && req.Finish(false));
    if (a == 2) {
      EXPECT_TRUE(odbc.Commit());
    }
  }
  EXPECT_EQ(log.Count(L"A roll back transaction is performed by the destructor", QUILLOG_WARNING), 1u);
  EXPECT_EQ(Sqlite("SELECT a FROM t"), "2\n");
}

TEST_F(OdbcSqliteTest, ConnectorsAreAddedAndOneHeldOutlivesDisconnect) {
  ASSERT_TRUE(m_pool.Connect(Params()));
  CZubOdbc held(m_pool);
  {
    CZubOdbc second(m_pool);  // all taken: one more is opened
    EXPECT_NE(second.Connection(), held.Connection());
    EXPECT_EQ(m_pool.UserCount(), 2u);
  }
  LogCapture log;
  EXPECT_TRUE(m_pool.Disconnect());
  EXPECT_TRUE(log.HasContaining(L"still in use"));
  CZubOdbcReq req(held);  // the connection still works for its holder
  ASSERT_TRUE(req.Prepare(L"SELECT 7") && req.Finish(false));
  EXPECT_EQ(req.ResultSets().at(0).Value(0, 0), L"7");
  EXPECT_EQ(Thrown([&] { CZubOdbc none(m_pool); }), L"No ODBC connectors available");
}

TEST_F(OdbcSqliteTest, EightThreadsNeverShareAConnector) {
  constexpr int kThreads = 8;
  constexpr int kRequests = 25;
  Sqlite("CREATE TABLE hits(thread INTEGER, n INTEGER)");
  ASSERT_TRUE(m_pool.Connect(Params()));
  std::mutex held_mutex;
  std::set<SQLHDBC> held;
  std::atomic<int> shared{0};
  std::atomic<int> failures{0};
  auto work = [&](int thread) {
    for (int n = 0; n < kRequests; ++n) {
      try {
        CZubOdbc odbc(m_pool);
        {
          std::lock_guard<std::mutex> lock(held_mutex);
          if (!held.insert(odbc.Connection()).second) ++shared;
        }
        CZubOdbcReq req(odbc);
        if (!(req.Prepare(L"INSERT INTO hits VALUES(?, ?)") && req.SetParam(1, std::to_wstring(thread)) &&
              req.SetParam(2, std::to_wstring(n)) && req.Finish(false))) {
          ++failures;
        }
        std::lock_guard<std::mutex> lock(held_mutex);
        held.erase(odbc.Connection());
      } catch (CZubException* e) {
        delete e;
        ++failures;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(shared.load(), 0) << "two threads held the same connector at once";
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(m_pool.UserCount(), 0u);
  EXPECT_LE(m_pool.ConnectorCount(), static_cast<size_t>(kThreads));
  EXPECT_TRUE(m_pool.Disconnect());
  EXPECT_EQ(Sqlite("SELECT count(*), count(DISTINCT thread) FROM hits"),
            std::to_string(kThreads * kRequests) + "|" + std::to_string(kThreads) + "\n");
}

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
  EXPECT_EQ(Play(nullptr, odbctest::Utf16File(u"CREATE TABLE played(n integer)\r\ngo\r\nINSERT INTO played VALUES(4)")),
            1);
  EXPECT_EQ(Psql(m_server->user(), "SELECT n FROM played"), "4\n");
}

}  // namespace
