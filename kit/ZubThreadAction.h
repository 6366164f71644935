// Base of every background job: the operations a worker thread calls.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class CZubThread;

class CZubThreadAction {
 public:
  CZubThreadAction() = default;
  virtual ~CZubThreadAction();
  CZubThreadAction(const CZubThreadAction&) = delete;
  CZubThreadAction& operator=(const CZubThreadAction&) = delete;

  // Called once when the action starts on a thread.
  virtual void OnBegin() = 0;
  // One step. Event waiter: status 2 and values 0. Completion-queue waiter:
  // the dequeue status (2 success, 4 failed I/O), byte count, key, overlapped.
  virtual void OnAction(uint32_t status, uintptr_t value1, uintptr_t value2, uintptr_t value3) = 0;
  // Called once when the action ends.
  virtual void OnEnd() = 0;
  // The thread's wait timed out.
  virtual void OnTimeout() = 0;
  // An exception escaped the dispatch loop; the thread ends after this.
  virtual void OnException() = 0;

  // The thread that runs (or last ran) the action; null until attached.
  CZubThread* GetThread() const { return m_thread.load(std::memory_order_acquire); }
  void SetThread(CZubThread* thread) { m_thread.store(thread, std::memory_order_release); }

  // Waits until no thread holds the action any more: after a run, its thread
  // still returns from OnEnd and lets go of the action. An owner that
  // destroys an action it started calls this first. False on time-out.
  bool WaitReleased(uint32_t timeout_ms) const;
  bool IsAttached() const;

 private:
  friend class CZubThread;
  // Called by the thread that takes the action and, as its very last touch,
  // by the thread that lets it go.
  void _attach();
  void _detach();

  std::atomic<CZubThread*> m_thread{nullptr};
  mutable std::mutex m_attach_lock;
  mutable std::condition_variable m_attach_cv;
  int m_attached = 0;  // threads holding the action (a restart may overlap a release)
};
