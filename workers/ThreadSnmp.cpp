#include "workers/ThreadSnmp.h"

#include "app/MessageCenter.h"
#include "kit/ZubThread.h"
#include "kit/ZubThreadPool.h"

namespace {

constexpr size_t kTraceChars = 1023;  // a buffer of 1024 wide characters
constexpr uint32_t kReleaseWaitMs = 10000;
constexpr uint32_t kReleaseSliceMs = 50;

}  // namespace

CThreadSnmp::~CThreadSnmp() {
  if (!WaitReleased(kReleaseWaitMs))
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"CThreadSnmp::~CThreadSnmp() : destroyed while a thread still holds it");
}

void CThreadSnmp::_shutdown() {
  // A worker between Start and its begin step is not running yet: look again.
  for (uint32_t waited = 0; waited < kReleaseWaitMs; waited += kReleaseSliceMs) {
    if (m_running.load()) Stop();
    if (WaitReleased(kReleaseSliceMs)) return;
  }
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"%s is destroyed while its thread still holds it", GetClassName());
}

void CThreadSnmp::_trace(const wchar_t* separator, const std::wstring& text) const {
  std::wstring line = text.size() > kTraceChars ? text.substr(0, kTraceChars) : text;
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_SNMP, L"%s %s %s", GetClassName(), separator, line);
}

bool CThreadSnmp::_start_check() {
  Trace(TRACE_LIFE, L"Starting thread...");
  if (m_running.load()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s is already running...", GetClassName());
    return false;
  }
  return true;
}

bool CThreadSnmp::_start_run() {
  uint32_t id = CZubThreadPool::RunAction(this, false, nullptr, 0);
  if (id == ZUB_INVALID_THREAD_ID) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"Unable to start %s", GetClassName());
    return false;
  }
  m_thread_id.store(id);
  return true;
}

bool CThreadSnmp::Stop() {
  Trace(TRACE_LIFE, L"Stopping thread...");
  if (!m_running.load()) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"%s is not running...", GetClassName());
    return false;
  }
  if (m_socket.IsOpen()) m_socket.SocketClose();
  // By id: the pool checks that the thread still exists.
  CZubThreadPool::PostThread(m_thread_id.load(), ThreadExit);
  return true;
}

void CThreadSnmp::OnBegin() {
  Trace(TRACE_LIFE, L"Beginning...");
  if (!CZubTcpStaticFunction::IsStarted()) {
    Trace(TRACE_LIFE, L"Initializing socket API...");
    if (!CZubTcpStaticFunction::InitLow()) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while initializing low level socket");
      return;
    }
  }
  Trace(TRACE_LIFE, L"Creating UDP socket...");
  if (!_open_socket()) return;
  _reset_counters();
  m_running.store(true);
  _deliver(_started_code(), 0);
}

void CThreadSnmp::OnEnd() {
  Trace(TRACE_LIFE, L"Closing UDP socket...");
  // A Stop racing with this step may have closed the socket first: that is
  // no failure, and the finished code must still go out.
  if (m_socket.IsOpen() && !m_socket.SocketClose() && m_socket.IsOpen()) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while closing UDP socket");
    return;
  }
  // The owner may destroy the worker once it has the finished code: nothing
  // of the object is touched after the delivery.
  const wchar_t* name = GetClassName();
  m_running.store(false);
  _deliver(_finished_code(), 0);
  QuillogW(QUILLOG_INFO, QLF_PROGRAM_SNMP, L"%s %s %s", name, TRACE_LIFE, L"Finishing...");
}

size_t CThreadSnmp::_post(uint32_t code, uintptr_t payload) {
  size_t queued = 0;
  CMessageCenter::PostViewMessage(GetClassName(), _view_message(), code, payload, &queued);
  return queued;
}

size_t CThreadSnmp::_deliver(uint32_t code, uintptr_t payload) {
  size_t taken = 0;
  const wchar_t* name = GetClassName();
  const uint32_t message = _view_message();
  if (_posts()) {
    CMessageCenter::PostViewMessage(name, message, code, payload, &taken);
  } else {
    CMessageCenter::SendViewMessage(name, message, code, payload, &taken);
  }
  return taken;
}
