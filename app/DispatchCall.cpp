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
    std::lock_guard<std::mutex> lock(mutex_);
    ran_ = has_run;
    done_ = true;
  }
  cv_.notify_all();
}

bool CDispatchCall::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return done_; });
  return ran_;
}
