// The connector pool used from eight threads at once (run under TSan too).
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kit/ZubException.h"
#include "setrig/OdbcPool.h"
#include "setrig/OdbcRequest.h"
#include "tests/setrig/OdbcTestSupport.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRequestsPerThread = 25;

TEST(OdbcPoolThreads, EightThreadsNeverShareAConnector) {
  TempDir dir;
  const std::string db = dir.str("threads.db");
  odbctest::Sqlite(db, "CREATE TABLE hits(thread INTEGER, n INTEGER)");
  CZubOdbcPool pool;
  ASSERT_TRUE(pool.Connect(odbctest::kSqliteDriver, "localhost", "u", "p", "Threads", db.c_str()));

  std::mutex held_mutex;
  std::set<SQLHDBC> held;
  std::atomic<int> shared{0};
  std::atomic<int> failures{0};
  auto work = [&](int thread) {
    for (int n = 0; n < kRequestsPerThread; ++n) {
      try {
        CZubOdbc odbc(pool);
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
  EXPECT_EQ(pool.UserCount(), 0u);
  EXPECT_LE(pool.ConnectorCount(), static_cast<size_t>(kThreads));
  EXPECT_TRUE(pool.Disconnect());
  EXPECT_EQ(odbctest::Sqlite(db, "SELECT count(*), count(DISTINCT thread) FROM hits"),
            std::to_string(kThreads * kRequestsPerThread) + "|" + std::to_string(kThreads) + "\n");
}

}  // namespace
