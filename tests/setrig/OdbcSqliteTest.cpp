// The connector pool and requests against the real SQLite3 ODBC driver,
// from one thread and from eight (run under TSan too); rows are read back
// with the sqlite3 program.
#include "kit/ZubException.h"
#include "setrig/OdbcPool.h"
#include "setrig/OdbcRequest.h"
#include "tests/common/LogCapture.h"
#include "tests/common/Thrown.h"
#include "tests/setrig/OdbcTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

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
  EXPECT_FALSE(m_pool.IsConnected());

  const std::string db = m_dir.str("test.db");
  const char* sqlite = odbctest::kSqliteDriver;
  struct Case {
    const char *driver, *server, *user, *password;
    std::wstring message;
  };
  for (const Case& c :
       {Case{nullptr, "s", "u", "p", L"Bad Driver name"}, Case{"", "s", "u", "p", L"Bad Driver name"},
        Case{sqlite, "", "u", "p", L"Bad Server name"}, Case{sqlite, "s", nullptr, "p", L"Bad ODBC login/password"},
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
  params = {L"D", L"s", L"u", L"pw", L"", L""};
  EXPECT_EQ(CZubOdbcPool::BuildConnectionString(params, 0), L"DRIVER=D;SERVER=s;UID=u;PWD=pw");

  struct Case {
    std::wstring text, password, masked;
  };
  for (const Case& c : {Case{L"PWD=abab;X=abab", L"abab", L"PWD=xxxxxxxx;X=xxxxxxxx"}, Case{L"PWD=;", L"", L"PWD=;"},
                        Case{L"PWDX=1;pwd = s", L"", L"PWDX=1;pwd =xxxxxxxx"},  // a key that only begins like one
                        Case{L"UID=u;pwd=p%3bw;X=1", L"p;w", L"UID=u;pwd=xxxxxxxx;X=1"},  // the driver's escaping
                        Case{L"A={x;PWD=y};Password = {a}}b;c};Z=2", L"q", L"A={x;PWD=y};Password =xxxxxxxx;Z=2"},
                        Case{L"odd;PWD=secret", L"", L"odd;PWD=xxxxxxxx"}}) {
    EXPECT_EQ(CZubOdbcPool::MaskPassword(c.text, c.password), c.masked) << c.text;
  }
}

TEST_F(OdbcSqliteTest, ParametersAreBoundNotSpliced) {
  ASSERT_TRUE(m_pool.Connect(Params()));
  Sqlite("CREATE TABLE agent(name TEXT, port INTEGER, seen DATE)");
  {
    CZubOdbc odbc(m_pool);
    CZubOdbcReq req(odbc);
    ASSERT_TRUE(req.Prepare(L"INSERT INTO agent VALUES(?, ?, ?)"));
    ASSERT_EQ(req.ParamCount(), 3);
    for (auto [name, port] : {std::pair{L"r\u00e9seau \U0001F600", L"161"}, std::pair{L"b';--", L"1161"}}) {
      ASSERT_TRUE(req.SetParam(1, std::wstring(name)) && req.SetParam(2, std::wstring(port)) &&
                  req.SetParam(3, std::nullopt) && req.Finish(true));
    }
    EXPECT_FALSE(req.SetParam(4, L"x"));
  }
  EXPECT_EQ(Sqlite("SELECT name, port, seen IS NULL FROM agent ORDER BY port"),
            "r\xC3\xA9seau \xF0\x9F\x98\x80|161|1\nb';--|1161|1\n");
}

TEST_F(OdbcSqliteTest, RequestFailuresAreLoggedOrThrown) {
  ASSERT_TRUE(m_pool.Connect(Params()));
  CZubOdbc odbc(m_pool);
  LogCapture log;
  {
    CZubOdbcReq req(odbc);
    EXPECT_EQ(Thrown([&] { req.Finish(false); }), L"The SQL request needs first to be prepared before using Finish()");
    std::wstring many = L"SELECT ?";
    for (int i = 1; i < 21; ++i) many += L", ?";
    EXPECT_EQ(Thrown([&] { req.Prepare(many); }), L"Too much parameters for the SQL request");
  }
  CZubOdbcReq req(odbc);
  EXPECT_FALSE(req.Prepare(L"INSERT INTO missing VALUES(1)") && req.Finish(false));
  EXPECT_TRUE(log.HasContaining(L"no such table"));
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
  m_pool.Release(std::make_shared<CZubOdbcConnector>());
  EXPECT_TRUE(log.Has(L"I try to decremente a 0 value in the ODBC connection pool", QUILLOG_ERROR));
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

}  // namespace
