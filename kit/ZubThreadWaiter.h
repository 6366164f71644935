// How a worker thread receives its action codes: by event or by
// completion queue.
#pragma once

#include "kit/ZubEvent.h"

#include <atomic>
#include <cstdint>

class CZubThreadWaiter {
 public:
  CZubThreadWaiter() = default;
  virtual ~CZubThreadWaiter();
  CZubThreadWaiter(const CZubThreadWaiter&) = delete;
  CZubThreadWaiter& operator=(const CZubThreadWaiter&) = delete;

  // Waits up to timeout_ms (0xFFFFFFFF: infinite) and returns an action code
  // (ZubThreadCode), with a status and three values.
  virtual uint32_t Wait(uint32_t timeout_ms, uint32_t* status, uintptr_t* value1, uintptr_t* value2,
                        uintptr_t* value3) = 0;
  virtual bool Post(uint32_t code) = 0;
  // The embedded event or completion queue.
  virtual CZubHandle* GetWaitObject() = 0;
};

// Event waiter: a pending code and an auto-reset event. Only the last of
// several quick posts is seen, except that a pending ThreadExit is never
// replaced.
class CZubThreadWaiterEvent : public CZubThreadWaiter {
 public:
  explicit CZubThreadWaiterEvent(const wchar_t* name);
  ~CZubThreadWaiterEvent() override;

  uint32_t Wait(uint32_t timeout_ms, uint32_t* status, uintptr_t* value1, uintptr_t* value2,
                uintptr_t* value3) override;
  bool Post(uint32_t code) override;
  CZubHandle* GetWaitObject() override { return &m_event; }

 private:
  CZubEvent m_event;
  std::atomic<uint32_t> m_pending{0};
};

// Completion-queue waiter. Its queue is made with the waiter; other threads
// post packets through GetIocp()->Post(bytes, key, overlapped), which reach
// the action's OnAction (a packet whose three values are equal is a posted
// action code).
class CZubThreadWaiterIocp : public CZubThreadWaiter {
 public:
  explicit CZubThreadWaiterIocp(const wchar_t* name);
  ~CZubThreadWaiterIocp() override;

  uint32_t Wait(uint32_t timeout_ms, uint32_t* status, uintptr_t* value1, uintptr_t* value2,
                uintptr_t* value3) override;
  bool Post(uint32_t code) override;
  CZubHandle* GetWaitObject() override { return &m_iocp; }
  CZubIocp* GetIocp() { return &m_iocp; }

 private:
  CZubIocp m_iocp;
};
