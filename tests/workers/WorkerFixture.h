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
#include "workers/ThreadActionWalkerParameter.h"
#include "workers/TrapRecord.h"
#include "workers/WalkerResult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Records every walker and trapper message and owns the data records: a
// walk's rows are taken from the walker it follows.
class ViewCollector : public CViewWindow {
 public:
  explicit ViewCollector(CViewDispatcher* dispatcher) : CViewWindow(dispatcher) {
    CMessageCenter::Subscribe(L"ViewCollector", this, MSG_VIEW_WALKER, 0);
    CMessageCenter::Subscribe(L"ViewCollector", this, MSG_VIEW_TRAPPER, 0);
  }
  intptr_t OnViewMessage(uint32_t message, uintptr_t code, uintptr_t payload) override {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_messages.push_back(Message{message, code, Clock::now()});
    if (message == MSG_VIEW_WALKER && code == MSG_VIEW_WALKER_DATA) {
      if (m_walker != nullptr)
        for (auto& row : m_walker->TakeRows(payload)) m_results.push_back(std::move(row));
    } else if (message == MSG_VIEW_WALKER && payload != 0) {
      m_results.emplace_back(reinterpret_cast<CWalkerResult*>(payload));
    }
    if (message == MSG_VIEW_TRAPPER && code == MSG_VIEW_TRAPPER_DATA && m_trapper != nullptr)
      for (auto& trap : m_trapper->TakeTraps(payload)) m_traps.push_back(std::move(trap));
    m_cv.notify_all();
    const auto delay = m_note_delay;
    lock.unlock();
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
    return 1;
  }
  void FollowTraps(CThreadActionTrapper* trapper) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trapper = trapper;
  }
  // Makes every note take this long to handle: a slow view.
  void SetNoteDelay(std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_note_delay = delay;
  }
  // Waits until `count` traps have been taken in all.
  bool WaitTraps(size_t count, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return m_traps.size() >= count; });
  }
  void Follow(CThreadActionWalker* walker) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_walker = walker;
  }
  // Waits until a message with this code has arrived `count` times.
  bool WaitFor(uint32_t message, uintptr_t code, size_t count = 1, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                         [&] { return CountLocked(message, code) >= count; });
  }
  size_t Count(uint32_t message, uintptr_t code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return CountLocked(message, code);
  }
  std::vector<uintptr_t> Codes(uint32_t message) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<uintptr_t> out;
    for (const Message& m : m_messages)
      if (m.message == message) out.push_back(m.code);
    return out;
  }
  Clock::time_point TimeOf(uint32_t message, uintptr_t code) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Message& m : m_messages)
      if (m.message == message && m.code == code) return m.at;
    return {};
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
    m_messages.clear();
    m_results.clear();
    m_traps.clear();
  }

 private:
  struct Message {
    uint32_t message;
    uintptr_t code;
    Clock::time_point at;
  };
  size_t CountLocked(uint32_t message, uintptr_t code) const {
    return std::count_if(m_messages.begin(), m_messages.end(),
                         [&](const Message& m) { return m.message == message && m.code == code; });
  }
  std::mutex m_mutex;
  std::condition_variable m_cv;
  std::vector<Message> m_messages;
  CThreadActionWalker* m_walker = nullptr;
  CThreadActionTrapper* m_trapper = nullptr;
  std::chrono::milliseconds m_note_delay{0};
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
    return m_view->WaitFor(MSG_VIEW_WALKER, code, 1, timeout_ms);
  }

  // One Get or Set from its start to its finished code.
  template <typename Worker>
  void Run(Worker& worker, const CThreadActionWalkerParameter& p, uintptr_t finished) {
    m_view->Clear();
    ASSERT_TRUE(worker.Start(p));
    ASSERT_TRUE(WaitWalker(finished)) << "the request did not end";
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
