// The process-wide pool of worker threads "Thread pool #%d". Slots of
// threads that left are set to null and never removed, so numbers are never
// re-used while the process lives.
#pragma once

#include <cstddef>
#include <cstdint>

class CZubThread;
class CZubThreadAction;
class CZubThreadWaiter;

class CZubThreadPool {
 public:
  // Hands the action to the first idle pooled thread, or to a new one made
  // with `waiter` (null: a new event waiter). Returns the thread id, or
  // 0xFFFFFFFF when no thread could be made.
  static uint32_t RunAction(CZubThreadAction* action, bool owns_action, CZubThreadWaiter* waiter, uint32_t timeout_ms);
  // Called by a thread as it leaves.
  static void RemoveThread(CZubThread* thread);

  // Posts a code to the pooled thread with that id; false when no such
  // thread is in the pool. Safe against the thread leaving meanwhile.
  static bool PostThread(uint32_t thread_id, uint32_t code);
  // Posts ThreadExit to every pooled thread; returns how many were told.
  static size_t ExitAll();
  // Length of the array, null slots included.
  static size_t GetSize();
  // Id of the thread in slot `index`, 0xFFFFFFFF for a null or absent slot.
  static uint32_t GetThreadIdAt(size_t index);
  // Number of non-null slots.
  static size_t GetLiveCount();

  // Marks the thread stopping under the pool's lock so that RunAction no
  // longer picks it: done when ThreadExit is posted to it, and again when
  // it takes ThreadExit (or its wait object is gone).
  static void MarkStopping(CZubThread* thread);

 private:
  friend class CZubThread;
  // The pool's "CZubThreadPool Critical Section", made on first use.
  static class CZubCriticalSection& _section();
};
