// The connector pool, requests and the script player against the real
// SQLite3 ODBC driver; rows are read back with the sqlite3 program.
#include <gtest/gtest.h>

#include <string>

#include "kit/ZubException.h"
#include "setrig/OdbcPool.h"
#include "setrig/OdbcRequest.h"
#include "setrig/ScriptPlayer.h"
#include "tests/common/LogCapture.h"
#include "tests/setrig/OdbcTestSupport.h"

namespace {

const auto* const kOdbcEnvironment = ::testing::AddGlobalTestEnvironment(new odbctest::Environment);

class OdbcSqliteTest : public ::testing::Test {
 protected:
  CZubOdbcParams Params() const {
    return CZubOdbcParams{quillog::Utf8ToWide(odbctest::kSqliteDriver), L"localhost", L"tavelo", kPassword, L"",
                          dir_.wpath("test.db")};
  }
  std::string Sqlite(const std::string& sql) const { return odbctest::Sqlite(dir_.str("test.db"), sql); }

  // Runs one batch on a connector of the pool; false when it failed.
  bool Exec(const std::wstring& sql) {
    CZubOdbc odbc(pool_);
    CZubOdbcReq req(odbc);
    return req.Prepare(sql) && req.Finish(false);
  }

  static inline const std::wstring kPassword = L"Sq1ite-pw";
  TempDir dir_;
  CZubOdbcPool pool_;
};

TEST_F(OdbcSqliteTest, ConnectLogsTheConnectionStringWithoutThePassword) {
  LogCapture log;
  ASSERT_TRUE(pool_.Connect(Params()));
  EXPECT_TRUE(pool_.IsConnected());
  EXPECT_EQ(pool_.ConnectorCount(), 1u);
  EXPECT_TRUE(log.HasContaining(L"ODBC connection string: '"));
  EXPECT_TRUE(log.HasContaining(L"PWD=xxxxxxxx"));  // the SQLite driver gives the password back
  EXPECT_EQ(log.CountContaining(kPassword), 0u);

  log.Clear();
  EXPECT_FALSE(pool_.Connect(Params()));
  EXPECT_TRUE(log.Has(L"Already connected", QUILLOG_ERROR));
  EXPECT_TRUE(pool_.Disconnect());
  EXPECT_TRUE(log.Has(L"Disconnecting from database the ODBC connector 0", QUILLOG_INFO));
  EXPECT_FALSE(pool_.IsConnected());
  EXPECT_TRUE(pool_.Connect(Params())) << "connecting again after Disconnect";
}

TEST_F(OdbcSqliteTest, ConnectRefusesBadParameters) {
  LogCapture log;
  const std::string db = dir_.str("test.db");
  EXPECT_FALSE(pool_.Connect(nullptr, "s", "u", "p", nullptr, db.c_str()));
  EXPECT_FALSE(pool_.Connect("", "s", "u", "p", nullptr, db.c_str()));
  EXPECT_EQ(log.Count(L"Bad Driver name", QUILLOG_ERROR), 2u);
  EXPECT_FALSE(pool_.Connect(odbctest::kSqliteDriver, "", "u", "p", nullptr, db.c_str()));
  EXPECT_TRUE(log.Has(L"Bad Server name", QUILLOG_ERROR));
  EXPECT_FALSE(pool_.Connect(odbctest::kSqliteDriver, "s", nullptr, "p", nullptr, db.c_str()));
  EXPECT_FALSE(pool_.Connect(odbctest::kSqliteDriver, "s", "u", nullptr, nullptr, db.c_str()));
  EXPECT_EQ(log.Count(L"Bad ODBC login/password", QUILLOG_ERROR), 2u);

  log.Clear();
  EXPECT_FALSE(pool_.Connect("No Such Driver", "s", "u", "p", nullptr, db.c_str()));
  EXPECT_TRUE(log.Has(L"SQLConnect()", QUILLOG_ERROR));
  EXPECT_TRUE(log.HasContaining(L"[unixODBC][Driver Manager]")) << "the driver manager's diagnostic is logged";
  EXPECT_FALSE(pool_.IsConnected());

  // Refused whole rather than cut: 1023 UTF-16 units pass, 1024 do not.
  CZubOdbcParams params = Params();
  const size_t fixed = CZubOdbcPool::BuildConnectionString(params, 0).size() - params.server.size();
  params.server = std::wstring(1024 - fixed, L's');
  EXPECT_FALSE(pool_.Connect(params));
  EXPECT_TRUE(log.Has(L"The ODBC connection string is longer than 1023 characters", QUILLOG_ERROR));
  log.Clear();
  params.server.pop_back();
  EXPECT_TRUE(pool_.Connect(params));
  EXPECT_FALSE(log.HasContaining(L"longer than"));
}

TEST_F(OdbcSqliteTest, ConnectionStringQuotesCredentialsOnly) {
  CZubOdbcParams params{L"D", L"127.0.0.1;PORT=5433", L"u;x", L"p{w}d", L"Setrig", L"db"};
  EXPECT_EQ(CZubOdbcPool::BuildConnectionString(params, 3),
            L"DRIVER=D;SERVER=127.0.0.1;PORT=5433;UID={u;x};PWD={p{w}}d};APP=Setrig_3;DATABASE=db");
  params.application.clear();
  params.database.clear();
  params.user = L"u";
  params.password = L"pw";
  EXPECT_EQ(CZubOdbcPool::BuildConnectionString(params, 0), L"DRIVER=D;SERVER=127.0.0.1;PORT=5433;UID=u;PWD=pw");
  EXPECT_EQ(CZubOdbcPool::MaskPassword(L"PWD=abab;X=abab", L"abab"), L"PWD=xxxxxxxx;X=xxxxxxxx");
  EXPECT_EQ(CZubOdbcPool::MaskPassword(L"PWD=;", L""), L"PWD=;");
  EXPECT_EQ(CZubOdbcPool::MaskPassword(L"A=xx", L"x"), L"A=xxxxxxxxxxxxxxxx");
  // Password attributes are masked in whatever form the driver wrote them.
  EXPECT_EQ(CZubOdbcPool::MaskPassword(L"UID=u;pwd=p%3bw;X=1", L"p;w"), L"UID=u;pwd=xxxxxxxx;X=1");
  EXPECT_EQ(CZubOdbcPool::MaskPassword(L"A={x;PWD=y};Password = {a}}b;c};Z=2", L"q"),
            L"A={x;PWD=y};Password =xxxxxxxx;Z=2");
  EXPECT_EQ(CZubOdbcPool::MaskPassword(L"X=1;PWD=secret", L""), L"X=1;PWD=xxxxxxxx");
  EXPECT_EQ(CZubOdbcPool::MaskPassword(L"odd;PWD=secret", L""), L"odd;PWD=xxxxxxxx");
}

TEST_F(OdbcSqliteTest, RequestsWithParametersAndResultSets) {
  ASSERT_TRUE(pool_.Connect(Params()));
  ASSERT_TRUE(Exec(L"CREATE TABLE agent(name TEXT, port INTEGER, seen DATE)"));
  {
    CZubOdbc odbc(pool_);
    CZubOdbcReq req(odbc);
    ASSERT_TRUE(req.Prepare(L"INSERT INTO agent VALUES(?, ?, ?)"));
    ASSERT_EQ(req.ParamCount(), 3);
    for (auto [name, port] : {std::pair{L"r\u00e9seau \U0001F600", L"161"}, std::pair{L"b';--", L"1161"}}) {
      ASSERT_TRUE(req.SetParam(1, std::wstring(name)));
      ASSERT_TRUE(req.SetParam(2, std::wstring(port)));
      ASSERT_TRUE(req.SetParam(3, std::nullopt));
      ASSERT_TRUE(req.Finish(true));
    }
    EXPECT_FALSE(req.SetParam(4, L"x"));
  }
  EXPECT_EQ(Sqlite("SELECT name, port, seen IS NULL FROM agent ORDER BY port"),
            "r\xC3\xA9seau \xF0\x9F\x98\x80|161|1\nb';--|1161|1\n");

  ASSERT_TRUE(Exec(L"UPDATE agent SET seen = '2024-02-29' WHERE port = 161"));
  CZubOdbc odbc(pool_);
  CZubOdbcReq req(odbc);
  ASSERT_TRUE(req.Prepare(L"SELECT name, port, seen FROM agent ORDER BY port"));
  ASSERT_TRUE(req.Finish(false));
  ASSERT_EQ(req.ResultSets().size(), 1u);
  const CZubResultSet& rows = req.ResultSets().front();
  ASSERT_EQ(rows.RowCount(), 2u);
  ASSERT_EQ(rows.ColumnCount(), 3u);
  EXPECT_EQ(rows.Value(0, L"NAME"), L"r\u00e9seau \U0001F600");
  EXPECT_EQ(rows.Value(1, 1), L"1161");
  EXPECT_EQ(rows.Value(0, L"seen"), L"2024-02-29");
  EXPECT_FALSE(rows.Value(1, L"seen").has_value());
  EXPECT_EQ(rows.ColumnIndex(L"missing"), -1);
  EXPECT_THROW(rows.Value(2, 0), std::out_of_range);
}

TEST_F(OdbcSqliteTest, RequestFailuresAreLoggedOrThrown) {
  ASSERT_TRUE(pool_.Connect(Params()));
  CZubOdbc odbc(pool_);
  LogCapture log;
  {
    CZubOdbcReq req(odbc);
    try {
      req.Finish(false);
      ADD_FAILURE() << "Finish before Prepare did not throw";
    } catch (CZubException* e) {
      EXPECT_EQ(e->GetMessage(), L"The SQL request needs first to be prepared before using Finish()");
      delete e;
    }
    std::wstring many = L"SELECT ?";
    for (int i = 1; i < 21; ++i) many += L", ?";
    try {
      req.Prepare(many);
      ADD_FAILURE() << "21 parameters did not throw";
    } catch (CZubException* e) {
      EXPECT_EQ(e->GetMessage(), L"Too much parameters for the SQL request");
      delete e;
    }
  }
  // The SQLite driver reports this at Prepare, others at Finish.
  CZubOdbcReq req(odbc);
  EXPECT_FALSE(req.Prepare(L"INSERT INTO missing VALUES(1)") && req.Finish(false));
  EXPECT_TRUE(log.HasContaining(L"no such table"));
  EXPECT_TRUE(log.Has(L"ODBC Request error : [INSERT INTO missing VALUES(1)]", QUILLOG_ERROR));

  // Failures of the execution itself: a key that is already there.
  ASSERT_TRUE(req.Prepare(L"CREATE TABLE u(a INTEGER PRIMARY KEY)") && req.Finish(false));
  ASSERT_TRUE(req.Prepare(L"INSERT INTO u VALUES(1)"));
  ASSERT_TRUE(req.Finish(false));
  log.Clear();
  EXPECT_FALSE(req.Finish(false));
  EXPECT_TRUE(log.Has(L"SQLExecute()", QUILLOG_ERROR));
  EXPECT_TRUE(log.Has(L"ODBC Request error : [INSERT INTO u VALUES(1)]", QUILLOG_ERROR));
  try {
    req.Finish(true);
    ADD_FAILURE() << "a failing Finish(true) did not throw";
  } catch (CZubException* e) {
    EXPECT_EQ(e->GetMessage(), L"Database SQL request error");
    delete e;
  }

  log.Clear();
  {
    CZubOdbcReq unfinished(odbc);
    ASSERT_TRUE(unfinished.Prepare(L"SELECT 1"));
  }
  EXPECT_TRUE(log.Has(L"The SQL request [SELECT 1] has been prepared but never finished"));
}

TEST_F(OdbcSqliteTest, AnOpenTransactionIsRolledBackWhenTheObjectGoes) {
  ASSERT_TRUE(pool_.Connect(Params()));
  ASSERT_TRUE(Exec(L"CREATE TABLE t(a INTEGER)"));
  LogCapture log;
  {
    CZubOdbc odbc(pool_);
    ASSERT_TRUE(odbc.BeginTransaction());
    CZubOdbcReq req(odbc);
    ASSERT_TRUE(req.Prepare(L"INSERT INTO t VALUES(1)"));
    ASSERT_TRUE(req.Finish(false));
  }
  EXPECT_TRUE(log.Has(L"A roll back transaction is performed by the destructor", QUILLOG_WARNING));
  {
    CZubOdbc odbc(pool_);
    ASSERT_TRUE(odbc.BeginTransaction());
    CZubOdbcReq req(odbc);
    ASSERT_TRUE(req.Prepare(L"INSERT INTO t VALUES(2)"));
    ASSERT_TRUE(req.Finish(false));
    EXPECT_TRUE(odbc.Commit());
  }
  EXPECT_EQ(Sqlite("SELECT a FROM t"), "2\n");
}

TEST_F(OdbcSqliteTest, ConnectorsAreAddedWhenAllAreTakenAndHandedOutRoundRobin) {
  ASSERT_TRUE(pool_.Connect(Params()));
  LogCapture log;
  {
    CZubOdbc first(pool_);
    CZubOdbc second(pool_);
    EXPECT_NE(first.Connection(), second.Connection());
    EXPECT_EQ(pool_.ConnectorCount(), 2u);
    EXPECT_EQ(pool_.UserCount(), 2u);
    EXPECT_TRUE(log.Has(L"There are now 2 ODBC connectors"));
  }
  EXPECT_EQ(pool_.UserCount(), 0u);
  log.Clear();
  { CZubOdbc next(pool_); }  // after #1 comes #0
  { CZubOdbc next(pool_); }
  EXPECT_EQ(log.Messages(), (std::vector<std::wstring>{L"Using the ODBC connector #0", L"Using the ODBC connector #1"}));
  EXPECT_EQ(pool_.ConnectorCount(), 2u);

  log.Clear();
  pool_.Release(std::make_shared<CZubOdbcConnector>());
  EXPECT_TRUE(log.Has(L"I try to decremente a 0 value in the ODBC connection pool", QUILLOG_ERROR));
}

TEST_F(OdbcSqliteTest, DisconnectWhileAConnectorIsHeldClosesItOnRelease) {
  ASSERT_TRUE(pool_.Connect(Params()));
  CZubOdbc held(pool_);
  LogCapture log;
  EXPECT_TRUE(pool_.Disconnect());
  EXPECT_TRUE(log.HasContaining(L"still in use"));
  CZubOdbcReq req(held);  // the connection still works for its holder
  ASSERT_TRUE(req.Prepare(L"SELECT 7"));
  ASSERT_TRUE(req.Finish(false));
  EXPECT_EQ(req.ResultSets().at(0).Value(0, 0), L"7");
  try {
    CZubOdbc none(pool_);
    ADD_FAILURE() << "a disconnected pool handed out a connector";
  } catch (CZubException* e) {
    EXPECT_EQ(e->GetMessage(), L"No ODBC connectors available");
    delete e;
  }
}

TEST_F(OdbcSqliteTest, ScriptPlayerGoesOnAfterAFailingBatch) {
  ASSERT_TRUE(pool_.Connect(Params()));
  const std::wstring script =
      L"CREATE TABLE t(a INTEGER, b TEXT)\nGO\nINSERT INTO t VALUES(1, 'one')\ngo\n"
      L"INSERT INTO nowhere VALUES(2)\nGO\nINSERT INTO t VALUES(3, '\u00e9t\u00e9')\nGOINSERT INTO t VALUES(4, 'x')\n"
      L"  GO\n";
  LogCapture log;
  const ScriptResult result = PlayScript(script, pool_);
  EXPECT_EQ(result.batches, 5u);
  EXPECT_EQ(result.failed, 2u);
  EXPECT_TRUE(log.HasContaining(L"ODBC Request error : [\nINSERT INTO nowhere"));
  // "  GO" is no separator: the last batch fails as a whole.
  EXPECT_EQ(Sqlite("SELECT a, b FROM t ORDER BY a"), "1|one\n3|\xC3\xA9t\xC3\xA9\n");
  EXPECT_EQ(pool_.UserCount(), 0u);
}

}  // namespace
