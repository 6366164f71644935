#include "kit/ZubThreadWaiter.h"

#include "kit/ZubThread.h"
#include "quillog/Quillog.h"

namespace {

constexpr uint32_t kStatusSuccess = 2;
constexpr uint32_t kStatusTimeout = 3;
constexpr uint32_t kStatusFailedPacket = 4;
constexpr uint32_t kStatusFailed = 5;

constexpr uint32_t kErrorInvalidHandle = 6;

int32_t AsLogged(uint32_t timeout_ms) { return static_cast<int32_t>(timeout_ms); }

// A closed wait object can never deliver a code again: waiting on it would
// spin, so the thread is told to leave.
uint32_t ClosedWaitObject(const std::wstring& name) {
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"The wait object %s is closed, the thread leaves", name);
  return ThreadExit;
}

}  // namespace

CZubThreadWaiter::~CZubThreadWaiter() = default;

CZubThreadWaiterEvent::CZubThreadWaiterEvent(const wchar_t* name) : m_event(name, false) {}

CZubThreadWaiterEvent::~CZubThreadWaiterEvent() {
  if (m_event.IsValid()) m_event.Close();
}

uint32_t CZubThreadWaiterEvent::Wait(uint32_t timeout_ms, uint32_t* status, uintptr_t* value1, uintptr_t* value2,
                                     uintptr_t* value3) {
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"Waiting %d milliseconds for an event on %s...", AsLogged(timeout_ms),
           m_event.Name());
  *status = kStatusSuccess;
  *value1 = *value2 = *value3 = 0;
  // The pending check and the wait are one step under the event's lock, so
  // a post made just before the wait is never lost.
  const uint32_t result = m_event.WaitUnless(timeout_ms, [this] { return m_pending.load() != 0; });
  if (result == ZubWaitTimeout) return ThreadTimeout;
  if (result == ZubWaitFailed && !m_event.IsValid()) return ClosedWaitObject(m_event.Name());
  if (result != ZubWaitSignaled) return ThreadNone;
  const uint32_t code = m_pending.exchange(0);
  return code != 0 ? code : static_cast<uint32_t>(ThreadAction);
}

bool CZubThreadWaiterEvent::Post(uint32_t code) {
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"Posting event %d in '%s'", code, m_event.Name());
  // A pending exit is kept: a later code must not make the thread stay.
  return m_event.NotifyAfter([this, code] {
    if (m_pending.load() != ThreadExit) m_pending.store(code);
  });
}

CZubThreadWaiterIocp::CZubThreadWaiterIocp(const wchar_t* name) : m_iocp(name) {}

CZubThreadWaiterIocp::~CZubThreadWaiterIocp() {
  if (m_iocp.IsValid()) m_iocp.Close();
}

uint32_t CZubThreadWaiterIocp::Wait(uint32_t timeout_ms, uint32_t* status, uintptr_t* value1, uintptr_t* value2,
                                    uintptr_t* value3) {
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"Waiting %d milliseconds for an iocp on %s...", AsLogged(timeout_ms),
           m_iocp.Name());
  uint32_t bytes = 0;
  uintptr_t key = 0;
  uintptr_t overlapped = 0;
  uint32_t last_error = 0;
  uint32_t dequeue_status;
  if (m_iocp.Dequeue(timeout_ms, &bytes, &key, &overlapped, &last_error)) {
    dequeue_status = kStatusSuccess;
  } else if (overlapped != 0) {
    dequeue_status = kStatusFailedPacket;
  } else if (last_error == kErrorInvalidHandle) {
    *status = kStatusFailed;
    *value1 = *value2 = *value3 = 0;
    return ClosedWaitObject(m_iocp.Name());
  } else {
    bytes = 0;
    key = 0;
    dequeue_status = last_error == ZUB_WAIT_TIMEOUT ? kStatusTimeout : kStatusFailed;
  }
  *status = dequeue_status;
  *value1 = bytes;
  *value2 = key;
  *value3 = overlapped;
  const bool same = bytes == key && key == overlapped;
  switch (dequeue_status) {
    case kStatusSuccess:
      if (!same) return ThreadAction;
      return bytes >= ThreadStart && bytes <= ThreadContinue ? bytes : static_cast<uint32_t>(ThreadNone);
    case kStatusTimeout: return ThreadTimeout;
    case kStatusFailedPacket:
    case kStatusFailed: return same ? static_cast<uint32_t>(ThreadNone) : static_cast<uint32_t>(ThreadAction);
    default: return ThreadNone;
  }
}

bool CZubThreadWaiterIocp::Post(uint32_t code) {
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"Posting iocp %d in '%s'", code, m_iocp.Name());
  if (m_iocp.Post(code, code, code)) return true;
  QuillogW(QUILLOG_INFO, QLF_NONE, L"PostQueuedCompletionStatus() failed on IOCP %s", m_iocp.Name());
  return false;
}
