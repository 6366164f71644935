// Base of every background job: the operations a worker thread calls.
#pragma once

#include <atomic>
#include <cstdint>

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

 private:
  std::atomic<CZubThread*> m_thread{nullptr};
};
