// Shared set-up of the worker tests: a view thread with a collecting window
// and a captured show-message interface.
#pragma once

#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "asn1/IpAddress.h"
#include "tests/common/BoxCapture.h"
#include "tests/common/LogCapture.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/ScriptedAgent.h"
#include "tests/common/UdpSocket.h"
#include "workers/ThreadActionTrapper.h"
#include "workers/ThreadActionWalker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Records every walker and trapper code and takes the rows and traps of the
// workers it follows.
class ViewCollector : public CViewWindow {
 public:
  explicit ViewCollector(CViewDispatcher* dispatcher) : CViewWindow(dispatcher) {
    for (uint32_t message : {MSG_VIEW_WALKER, MSG_VIEW_TRAPPER})
      CMessageCenter::Subscribe(L"ViewCollector", this, message, 0);
  }
  intptr_t OnViewMessage(uint32_t message, uintptr_t code, uintptr_t payload) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_codes.push_back(Code{message, code, Clock::now()});
    const bool walker = message == MSG_VIEW_WALKER;
    if (walker && code == MSG_VIEW_WALKER_DATA && m_walker != nullptr) {
      for (auto& row : m_walker->TakeRows(payload)) m_results.push_back(std::move(row));
    } else if (walker && code != MSG_VIEW_WALKER_DATA && payload != 0) {
      m_results.emplace_back(reinterpret_cast<CWalkerResult*>(payload));
    }
    if (!walker && code == MSG_VIEW_TRAPPER_DATA && m_trapper != nullptr)
      for (auto& trap : m_trapper->TakeTraps(payload)) m_traps.push_back(std::move(trap));
    m_cv.notify_all();
    return 1;
  }
  void Follow(CThreadActionWalker* walker, CThreadActionTrapper* trapper = nullptr) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_walker = walker;
    m_trapper = trapper;
  }
  bool WaitTraps(size_t count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, 10s, [&] { return m_traps.size() >= count; });
  }
  // Waits for a code; the time it arrived (none: it did not).
  std::optional<Clock::time_point> WaitFor(uint32_t message, uintptr_t code, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto arrived = [&] {
      return std::find_if(m_codes.begin(), m_codes.end(),
                          [&](const Code& c) { return c.message == message && c.code == code; });
    };
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return arrived() != m_codes.end(); }))
      return std::nullopt;
    return arrived()->at;
  }
  std::vector<std::unique_ptr<CWalkerResult>> TakeResults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::move(m_results);
  }
  std::vector<std::unique_ptr<CTrapRecord>> TakeTraps() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::move(m_traps);
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_codes.clear();
    m_results.clear();
    m_traps.clear();
  }

 private:
  struct Code {
    uint32_t message;
    uintptr_t code;
    Clock::time_point at;
  };
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<Code> m_codes;
  CThreadActionWalker* m_walker = nullptr;
  CThreadActionTrapper* m_trapper = nullptr;
  std::vector<std::unique_ptr<CWalkerResult>> m_results;
  std::vector<std::unique_ptr<CTrapRecord>> m_traps;
};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_view_thread.StartThread());
    m_view = std::make_unique<ViewCollector>(&m_view_thread);
  }
  void TearDown() override {
    CMessageCenter::Unsubscribe(m_view.get());
    m_view_thread.Drain();
  }

  static CThreadActionWalkerParameter Parameter(uint16_t port, const wchar_t* first_oid, uint32_t version = 1,
                                                const wchar_t* community = L"tumbol") {
    CThreadActionWalkerParameter p;
    p.retries = 3;
    p.timeout = 1000;
    p.version = version;
    p.community = community;
    p.port = port;
    p.address = IpAddress(L"127.0.0.1");
    p.FirstOid(first_oid);
    return p;
  }
  bool WaitWalker(uintptr_t code, int timeout_ms = 10000) {
    return m_view->WaitFor(MSG_VIEW_WALKER, code, timeout_ms).has_value();
  }

  // One Get or Set from its start to its finished code; the rows it gave.
  template <typename Worker>
  std::vector<std::unique_ptr<CWalkerResult>> Run(Worker& worker, const CThreadActionWalkerParameter& p,
                                                  uintptr_t finished) {
    m_view->Clear();
    EXPECT_TRUE(worker.Start(p));
    EXPECT_TRUE(WaitWalker(finished)) << "the request did not end";
    worker.WaitReleased(5000);
    return m_view->TakeResults();
  }

  struct WalkRun {
    std::vector<std::wstring> oids;
    CThreadActionWalker::End end = CThreadActionWalker::End::None;
  };
  // A whole walk: the OIDs shown, checking that rows count up from 0.
  WalkRun Walk(const CThreadActionWalkerParameter& p) {
    m_view->Clear();
    CThreadActionWalker walker;
    m_view->Follow(&walker);
    EXPECT_TRUE(walker.Start(p));
    EXPECT_TRUE(WaitWalker(MSG_VIEW_WALKER_FINISHED, 30000)) << "the walk did not end";
    walker.WaitReleased(5000);
    m_view->Follow(nullptr);
    WalkRun run;
    auto results = m_view->TakeResults();
    for (size_t i = 0; i < results.size(); ++i) {
      EXPECT_EQ(results[i]->GetRow(), i);
      run.oids.push_back(results[i]->GetOid().GetText());
    }
    EXPECT_EQ(walker.GetRowNumber(), results.size());
    run.end = walker.GetEnd();
    return run;
  }

  CPlainDispatcher m_view_thread;
  std::unique_ptr<ViewCollector> m_view;
  BoxCapture m_boxes;
};
