#include "app/DispatchCall.h"

#include "quillog/Quillog.h"

bool CDispatchCall::Run(const wchar_t* owner) {
  try {
    call();
    return true;
  } catch (...) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"%s::Run() : a handler threw an exception", owner);
    return false;
  }
}

void CDispatchCall::Finish(bool has_run) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ran = has_run;
    m_done = true;
  }
  m_cv.notify_all();
}

bool CDispatchCall::Wait() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_cv.wait(lock, [this] { return m_done; });
  return m_ran;
}
