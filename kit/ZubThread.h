// A worker thread: a name, a system thread and a waiter through which other
// threads post it action codes. Always created on the heap with Create; its
// own thread deletes it when it ends, so another thread may only touch it
// while it is known to be alive (CZubThreadPool::PostThread is always safe).
#pragma once

#include "kit/ZubHandle.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class CZubThreadAction;
class CZubThreadWaiter;

// Action codes carried by Post and returned by a waiter.
enum ZubThreadCode : uint32_t {
  ThreadNone = 0,
  ThreadStart = 1,
  ThreadStop = 2,
  ThreadExit = 3,
  ThreadContinue = 4,
  ThreadTimeout = 5,
  ThreadAction = 6,
};

inline constexpr uint32_t ZUB_INVALID_THREAD_ID = 0xFFFFFFFFu;

class CZubThread : public CZubHandle {
 public:
  // Makes the object and starts its thread; null on failure. Without a
  // waiter an event waiter named like the thread is made and owned.
  static CZubThread* Create(const wchar_t* name, CZubThreadWaiter* waiter);

  // Attaches an action and posts ThreadStart; false when an action is
  // already attached or the thread is stopping.
  bool StartAction(CZubThreadAction* action, bool owns_action, uint32_t timeout_ms);
  // Forwards the code to the waiter (nothing without one). ThreadExit marks
  // the thread stopping first, so no new action is handed to it.
  void Post(uint32_t code);

  uint32_t GetThreadId() const { return m_thread_id; }
  CZubThreadAction* GetAction() const { return m_action.load(std::memory_order_acquire); }
  CZubThreadWaiter* GetWaiter() const;
  uint32_t GetWaitTimeout() const { return m_timeout.load(std::memory_order_acquire); }
  bool IsStopping() const { return m_stopping.load(std::memory_order_acquire); }

 private:
  friend class CZubThreadPool;

  CZubThread(const wchar_t* name, CZubThreadWaiter* waiter, bool owns_waiter);
  ~CZubThread() override;

  static void _entry(CZubThread* thread);
  void _dispatch();
  bool _dispatch_one(uint32_t code, uint32_t status, uintptr_t v1, uintptr_t v2, uintptr_t v3);
  void _release_action();
  void _exception();
  void _stop();

  uint32_t m_thread_id = ZUB_INVALID_THREAD_ID;
  mutable std::mutex m_waiter_lock;
  CZubThreadWaiter* m_waiter = nullptr;
  bool m_owns_waiter = false;
  std::atomic<CZubThreadAction*> m_action{nullptr};
  bool m_owns_action = false;
  std::atomic<uint32_t> m_timeout{0xFFFFFFFFu};
  std::atomic<bool> m_stopping{false};
  bool m_begun = false;  // the current action has had its ThreadStart (this thread only)
};
