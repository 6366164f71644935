// Worker threads, waiters and the pool.
#include "kit/ZubCounter.h"
#include "kit/ZubException.h"
#include "kit/ZubThread.h"
#include "kit/ZubThreadAction.h"
#include "kit/ZubThreadPool.h"
#include "kit/ZubThreadWaiter.h"
#include "tests/common/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// One step of an action, or one wait of a waiter: the code with its status and values.
struct Got {
  uint32_t code, status;
  uintptr_t v1, v2, v3;
};

// Counts every call; OnAction can be held until Release().
class ProbeAction : public CZubThreadAction {
 public:
  explicit ProbeAction(bool hold = false, std::atomic<int>* destroyed = nullptr)
      : m_hold(hold), m_destroyed(destroyed) {}
  ~ProbeAction() override {
    if (m_destroyed != nullptr) ++*m_destroyed;
  }

  void OnBegin() override { ++begins; }
  void OnAction(uint32_t status, uintptr_t v1, uintptr_t v2, uintptr_t v3) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_steps.push_back(Got{0, status, v1, v2, v3});
    }
    ++actions;
    if (throw_in_action) throw new CZubException(L"step failed %d", 7);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_hold) return;
    m_inside = true;
    m_cv.notify_all();
    m_cv.wait(lock, [&] { return m_released; });
    m_hold = false;
  }
  void OnEnd() override { ++ends; }
  void OnTimeout() override { ++timeouts; }
  void OnException() override { ++exceptions; }

  bool WaitInside() {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::seconds(5), [&] { return m_inside; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_released = true;
    m_cv.notify_all();
  }
  std::vector<Got> Steps() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_steps;
  }
  // The pooled thread has let the action go (it keeps its thread pointer).
  bool WaitDetached() {
    return WaitUntil([&] { return GetThread() != nullptr && GetThread()->GetAction() != this; });
  }

  std::atomic<int> begins{0}, actions{0}, ends{0}, timeouts{0}, exceptions{0};
  std::atomic<bool> throw_in_action{false};

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_hold;
  bool m_inside = false;
  bool m_released = false;
  std::vector<Got> m_steps;
  std::atomic<int>* m_destroyed;
};

std::wstring PoolName(size_t index) { return QuillogFormat(L"Thread pool #%d", static_cast<int>(index)); }
std::wstring NotPooled(const wchar_t* name) {
  return QuillogFormat(L"The thread '%s' is not in the list of managed thread by the pool", name);
}

Got Take(CZubThreadWaiter& waiter, uint32_t timeout_ms) {
  Got got{0, 0, 9, 9, 9};
  got.code = waiter.Wait(timeout_ms, &got.status, &got.v1, &got.v2, &got.v3);
  return got;
}
constexpr uint32_t Code(int code) { return static_cast<uint32_t>(code); }

class KitPool : public ::testing::Test {
 protected:
  void SetUp() override {
    // Threads left by an earlier test of this process leave first.
    CZubThreadPool::ExitAll();
    ASSERT_TRUE(WaitUntil([] { return CZubThreadPool::GetLiveCount() == 0 && ZubCounterThreads().GetCurrent() == 0; }));
    m_base = CZubThreadPool::GetSize();
  }
  void TearDown() override {
    CZubThreadPool::ExitAll();
    WaitUntil([] { return CZubThreadPool::GetLiveCount() == 0 && ZubCounterThreads().GetCurrent() <= 0; });
  }
  size_t m_base = 0;
};

TEST_F(KitPool, BusyThreadsAreAddedAndIdleOnesReused) {
  LogCapture log;
  ProbeAction first(true), second(true), third, refused;
  const uint32_t id0 = CZubThreadPool::RunAction(&first, false, nullptr, 0);
  ASSERT_TRUE(first.WaitInside());
  const uint32_t id1 = CZubThreadPool::RunAction(&second, false, nullptr, 0);
  ASSERT_TRUE(second.WaitInside());
  ASSERT_NE(id0, ZUB_INVALID_THREAD_ID);
  EXPECT_NE(id0, id1);
  EXPECT_EQ(CZubThreadPool::GetSize(), m_base + 2);
  // A busy thread refuses a second action.
  EXPECT_FALSE(first.GetThread()->StartAction(&refused, false, 0));
  EXPECT_EQ(first.GetThread()->GetAction(), &first);

  first.Release();
  second.Release();
  ASSERT_TRUE(first.WaitDetached());
  ASSERT_TRUE(second.WaitDetached());
  EXPECT_EQ(refused.begins + refused.actions + refused.ends, 0);
  EXPECT_EQ(CZubThreadPool::RunAction(&third, false, nullptr, 0), id0);
  ASSERT_TRUE(third.WaitDetached());
  EXPECT_EQ(third.ends, 1);
  EXPECT_EQ(CZubThreadPool::GetSize(), m_base + 2);
  // A step of the event waiter has status 2 and no data.
  ASSERT_EQ(third.Steps().size(), 1u);
  EXPECT_EQ(third.Steps()[0].status, 2u);
  EXPECT_EQ(third.Steps()[0].v1 + third.Steps()[0].v2 + third.Steps()[0].v3, 0u);
}

TEST_F(KitPool, SlotOfALeftThreadStaysNullAndNamesGoOn) {
  const int32_t handles = ZubCounterHandles().GetCurrent();
  ProbeAction quick;
  const uint32_t id = CZubThreadPool::RunAction(&quick, false, nullptr, 0);
  ASSERT_TRUE(quick.WaitDetached());
  EXPECT_EQ(CZubThreadPool::GetThreadIdAt(m_base), id);
  EXPECT_EQ(CZubThreadPool::GetThreadIdAt(m_base + 1), ZUB_INVALID_THREAD_ID);  // one past the end
  EXPECT_EQ(ZubCounterThreads().GetCurrent(), 1);
  EXPECT_EQ(ZubCounterHandles().GetCurrent(), handles + 2);  // the thread and its waiter's event

  // ThreadExit to an idle thread calls nothing on the action it ran before.
  ASSERT_TRUE(CZubThreadPool::PostThread(id, ThreadExit));
  ASSERT_TRUE(WaitUntil([&] { return CZubThreadPool::GetThreadIdAt(m_base) == ZUB_INVALID_THREAD_ID; }));
  EXPECT_TRUE(WaitUntil([] { return ZubCounterThreads().GetCurrent() == 0; }));
  EXPECT_EQ(ZubCounterHandles().GetCurrent(), handles);
  EXPECT_EQ(std::make_tuple(quick.begins.load(), quick.actions.load(), quick.ends.load()), std::make_tuple(1, 1, 1));
  EXPECT_FALSE(CZubThreadPool::PostThread(id, ThreadStop));

  ProbeAction next;
  const uint32_t next_id = CZubThreadPool::RunAction(&next, false, nullptr, 0);
  ASSERT_TRUE(next.WaitDetached());
  EXPECT_EQ(CZubThreadPool::GetThreadIdAt(m_base + 1), next_id);
  EXPECT_STREQ(next.GetThread()->GetName(), PoolName(m_base + 1).c_str());
}

TEST_F(KitPool, PostWhileBusyIsDeliveredByTheNextWait) {
  ProbeAction busy(true);
  // A long time-out keeps the action attached after its first step.
  const uint32_t id = CZubThreadPool::RunAction(&busy, false, nullptr, 600000);
  ASSERT_TRUE(busy.WaitInside());
  ASSERT_TRUE(CZubThreadPool::PostThread(id, ThreadContinue));
  busy.Release();
  ASSERT_TRUE(WaitUntil([&] { return busy.actions == 2; }, 3000));
  EXPECT_EQ(busy.timeouts, 0);
  EXPECT_EQ(busy.ends, 0);
  ASSERT_TRUE(CZubThreadPool::PostThread(id, ThreadStop));
  ASSERT_TRUE(busy.WaitDetached());
  EXPECT_EQ(busy.ends, 1);
  EXPECT_EQ(busy.GetThread()->GetWaitTimeout(), 0xFFFFFFFFu);
}

TEST_F(KitPool, CallerOwnedActionIsReleasedOnlyAfterItsLastTouch) {
  // Destroying an action its owner started is safe once WaitReleased says so,
  // also right after OnEnd has run: ASan catches a thread that touches it later.
  for (int i = 0; i < 50; ++i) {
    auto action = std::make_unique<ProbeAction>(i == 0);
    EXPECT_FALSE(action->IsAttached());
    ASSERT_NE(CZubThreadPool::RunAction(action.get(), false, nullptr, 0), ZUB_INVALID_THREAD_ID);
    if (i == 0) {
      ASSERT_TRUE(action->WaitInside());
      EXPECT_TRUE(action->IsAttached());
      EXPECT_FALSE(action->WaitReleased(50));  // still inside its step
      action->Release();
    }
    ASSERT_TRUE(action->WaitReleased(5000));
    EXPECT_EQ(action->ends, 1);
  }
}

// Pool threads whose slot still holds this id.
bool InPool(uint32_t id) {
  for (size_t i = 0; i < CZubThreadPool::GetSize(); ++i) {
    if (CZubThreadPool::GetThreadIdAt(i) == id) return true;
  }
  return false;
}

TEST_F(KitPool, ToldThreadLeavesEvenWhenAnActionStartsRightAfter) {
  // The next action must not be handed to the thread that was just told to
  // leave (its exit would be lost under the start).
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    ProbeAction first;
    const uint32_t told = CZubThreadPool::RunAction(&first, false, nullptr, 0);
    ASSERT_TRUE(first.WaitDetached());
    ASSERT_EQ(CZubThreadPool::ExitAll(), 1u);
    ProbeAction next;
    EXPECT_NE(CZubThreadPool::RunAction(&next, false, nullptr, 0), told) << "an action went to a thread told to leave";
    ASSERT_TRUE(WaitUntil([&] { return !InPool(told); })) << "thread " << told << " never left";
    ASSERT_TRUE(next.WaitReleased(5000));
    EXPECT_EQ(std::make_tuple(next.begins.load(), next.ends.load()), std::make_tuple(1, 1));
    CZubThreadPool::ExitAll();
    ASSERT_TRUE(WaitUntil([] { return CZubThreadPool::GetLiveCount() == 0; }));
  }
}

TEST_F(KitPool, ExitAllWhileShortActionsComeAndGoLeavesNoThread) {
  // Owned actions run concurrently, each deleted once, while the pool is told to leave.
  constexpr int kCallers = 3, kRuns = 150;
  std::atomic<int> destroyed{0};
  std::atomic<bool> done{false};
  std::thread exiter([&] {
    while (!done) {
      CZubThreadPool::ExitAll();
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> callers;
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&] {
      for (int i = 0; i < kRuns; ++i) {
        EXPECT_NE(CZubThreadPool::RunAction(new ProbeAction(false, &destroyed), true, nullptr, 0),
                  ZUB_INVALID_THREAD_ID);
      }
    });
  }
  for (std::thread& t : callers) t.join();
  EXPECT_TRUE(WaitUntil([&] { return destroyed == kCallers * kRuns; }, 20000)) << destroyed;
  done = true;
  exiter.join();
  CZubThreadPool::ExitAll();
  EXPECT_TRUE(
      WaitUntil([] { return CZubThreadPool::GetLiveCount() == 0 && ZubCounterThreads().GetCurrent() == 0; }, 10000))
      << CZubThreadPool::GetLiveCount() << " threads stayed";
}

TEST_F(KitPool, NullThreadOrNamelessThreadIsRefused) {
  LogCapture log;
  CZubThreadPool::RemoveThread(nullptr);
  EXPECT_EQ(CZubThread::Create(L"", nullptr), nullptr);
}

// A pending code is taken without waiting; the last post wins, but never over an exit.
TEST(KitWaiterEvent, PendingCodeIsTakenAndOnlyExitIsNeverReplaced) {
  CZubThreadWaiterEvent waiter(L"w");
  EXPECT_EQ(Take(waiter, 0).code, Code(ThreadTimeout));
  EXPECT_TRUE(waiter.Post(ThreadContinue));
  EXPECT_TRUE(waiter.Post(ThreadStop));
  EXPECT_EQ(Take(waiter, ZUB_INFINITE).code, Code(ThreadStop));
  EXPECT_EQ(Take(waiter, 0).code, Code(ThreadTimeout));
  EXPECT_TRUE(waiter.Post(ThreadExit));
  EXPECT_TRUE(waiter.Post(ThreadStart));
  EXPECT_TRUE(waiter.Post(ThreadContinue));
  EXPECT_EQ(Take(waiter, 0).code, Code(ThreadExit));
  // Taken: later codes pass again.
  EXPECT_TRUE(waiter.Post(ThreadStop));
  EXPECT_EQ(Take(waiter, 0).code, Code(ThreadStop));
}

TEST(KitWaiterEvent, PostFromAnotherThreadWakesAnInfiniteWait) {
  CZubThreadWaiterEvent waiter(L"w");
  for (int round = 0; round < 200; ++round) {
    std::thread poster([&] { waiter.Post(ThreadContinue); });
    EXPECT_EQ(Take(waiter, 10000).code, Code(ThreadContinue));
    poster.join();
  }
}

TEST(KitWaiterIocp, PacketsAndCodesAreMapped) {
  CZubThreadWaiterIocp waiter(L"iocp waiter");
  ASSERT_TRUE(waiter.GetIocp()->Post(10, 20, 30));
  const Got packet = Take(waiter, 0);
  EXPECT_EQ(std::make_tuple(packet.code, packet.status, packet.v1, packet.v2, packet.v3),
            std::make_tuple(Code(ThreadAction), 2u, uintptr_t{10}, uintptr_t{20}, uintptr_t{30}));

  for (uint32_t code : {Code(ThreadStart), Code(ThreadContinue)}) {  // both ends of the codes that pass
    EXPECT_TRUE(waiter.Post(code));
    EXPECT_EQ(Take(waiter, 0).code, code);
  }
  EXPECT_TRUE(waiter.Post(ThreadTimeout));  // only codes 1 to 4 pass
  EXPECT_EQ(Take(waiter, 0).code, Code(ThreadNone));

  const Got timeout = Take(waiter, 5);
  EXPECT_EQ(std::make_tuple(timeout.code, timeout.status, timeout.v1),
            std::make_tuple(Code(ThreadTimeout), 3u, uintptr_t{0}));
}

// The thread runs on a waiter its caller owns and keeps after the thread left.
TEST_F(KitPool, IocpWaiterDeliversPacketsToTheAction) {
  LogCapture log;
  auto waiter = std::make_unique<CZubThreadWaiterIocp>(L"iocp");
  CZubThread* thread = CZubThread::Create(L"iocp thread", waiter.get());
  ASSERT_NE(thread, nullptr);
  ProbeAction action;
  ASSERT_TRUE(thread->StartAction(&action, false, 600000));
  ASSERT_TRUE(WaitUntil([&] { return action.actions == 1; }));
  ASSERT_TRUE(waiter->GetIocp()->Post(100, 200, 300));
  ASSERT_TRUE(WaitUntil([&] { return action.actions == 2; }));
  EXPECT_EQ(action.Steps()[1].v1, 100u);
  EXPECT_EQ(action.Steps()[1].v3, 300u);
  thread->Post(ThreadExit);
  // Not a pooled thread: its removal is refused with a warning.
  ASSERT_TRUE(log.WaitFor(NotPooled(L"iocp thread")));
  EXPECT_EQ(action.ends, 1);
  EXPECT_TRUE(waiter->Post(ThreadStop));
  EXPECT_EQ(Take(*waiter, 0).code, Code(ThreadStop));
}

TEST_F(KitPool, ClosedWaitObjectEndsTheThreadInsteadOfSpinning) {
  LogCapture log;
  auto waiter = std::make_unique<CZubThreadWaiterIocp>(L"closing");
  CZubThread* thread = CZubThread::Create(L"closing thread", waiter.get());
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(ZubCloseHandle(waiter->GetIocp()->GetHandle()));
  ASSERT_TRUE(log.WaitFor(NotPooled(L"closing thread")));
  EXPECT_LT(log.CountContaining(L"An unknow action"), 2u);
}

}  // namespace
