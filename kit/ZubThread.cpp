#include "kit/ZubThread.h"

#include "kit/ZubCounter.h"
#include "kit/ZubCriticalSection.h"
#include "kit/ZubException.h"
#include "kit/ZubKernel.h"
#include "kit/ZubPointer.h"
#include "kit/ZubThreadAction.h"
#include "kit/ZubThreadPool.h"
#include "kit/ZubThreadWaiter.h"
#include "quillog/Quillog.h"

#include <memory>
#include <thread>

namespace {

constexpr uint32_t kStepStatus = 2;

uint32_t NextThreadId() {
  static std::atomic<uint32_t> next{1};
  uint32_t id = next.fetch_add(1);
  while (id == 0 || id == ZUB_INVALID_THREAD_ID) id = next.fetch_add(1);
  return id;
}

void LogStep(const wchar_t* text) { QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, text); }

}  // namespace

CZubThread::CZubThread(const wchar_t* name, CZubThreadWaiter* waiter, bool owns_waiter)
    : CZubHandle(name), m_waiter(waiter), m_owns_waiter(owns_waiter) {}

CZubThread::~CZubThread() {
  if (m_owns_waiter) delete m_waiter;
  if (IsValid()) CZubHandle::Close();
}

CZubThread* CZubThread::Create(const wchar_t* name, CZubThreadWaiter* waiter) {
  if (IsNullOrEmpty(name)) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"The name of the thread is NULL or empty");
    return nullptr;
  }
  std::unique_ptr<CZubThreadWaiter> made;
  if (waiter == nullptr) {
    try {
      made = std::make_unique<CZubThreadWaiterEvent>(name);
    } catch (...) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to create a new waiter object (memory allocation error)");
      return nullptr;
    }
  }
  auto destroy = [](CZubThread* object) { delete object; };
  std::unique_ptr<CZubThread, decltype(destroy)> thread(nullptr, destroy);
  try {
    thread.reset(new CZubThread(name, waiter != nullptr ? waiter : made.get(), waiter == nullptr));
  } catch (...) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to create a new thread object (memory allocation error)");
    return nullptr;
  }
  made.release();
  thread->m_thread_id = NextThreadId();
  const std::wstring thread_name = name;
  const uint32_t id = thread->m_thread_id;
  try {
    thread->SetHandle(zubkernel::Insert(std::make_shared<zubkernel::Event>(true)));
    std::thread(&CZubThread::_entry, thread.get()).detach();
  } catch (...) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating the thread %s", thread_name);
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Unable to create a new thread object (start error)");
    return nullptr;
  }
  // From here the thread owns its object.
  CZubThread* started = thread.release();
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_HIGH, L"The thread '%s' %d is created", thread_name, id);
  return started;
}

bool CZubThread::StartAction(CZubThreadAction* action, bool owns_action, uint32_t timeout_ms) {
  {
    // Under the pool's lock, so a thread that is leaving cannot take an action.
    CZubLock lock(CZubThreadPool::_section());
    if (m_action.load() != nullptr || m_stopping.load()) {
      QuillogW(QUILLOG_WARNING, QLF_NONE, L"An action is already running in the thread %d", m_thread_id);
      return false;
    }
    m_owns_action = owns_action;
    m_timeout.store(timeout_ms);
    if (action != nullptr) {
      action->SetThread(this);
      action->_attach();
    }
    m_action.store(action, std::memory_order_release);
  }
  Post(ThreadStart);
  return true;
}

void CZubThread::Post(uint32_t code) {
  // Marked before the post: from now on the pool hands this thread no new
  // action, whose ThreadStart could otherwise replace the pending exit.
  if (code == ThreadExit) CZubThreadPool::MarkStopping(this);
  std::lock_guard<std::mutex> lock(m_waiter_lock);
  if (m_waiter != nullptr) m_waiter->Post(code);
}

CZubThreadWaiter* CZubThread::GetWaiter() const {
  std::lock_guard<std::mutex> lock(m_waiter_lock);
  return m_waiter;
}

void CZubThread::_entry(CZubThread* thread) {
  if (thread == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"A NULL pointer for a thread");
    return;
  }
  ZubCounterThreads().Raise();
  thread->_dispatch();
  ZubCounterThreads().Lower();
  delete thread;
}

void CZubThread::_dispatch() {
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_HIGH, L"The thread %s is starting", Name());
  try {
    for (;;) {
      QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"The thread %s is waiting...", Name());
      uint32_t status = 0;
      uintptr_t value1 = 0, value2 = 0, value3 = 0;
      // Only this thread replaces the waiter, so it may read it unlocked.
      // The action's time-out counts once it has begun: an action attached
      // with time-out 0 whose ThreadStart is still on its way would
      // otherwise get OnTimeout before OnBegin.
      const uint32_t timeout = m_begun ? m_timeout.load() : ZUB_INFINITE;
      const uint32_t code = m_waiter != nullptr ? m_waiter->Wait(timeout, &status, &value1, &value2, &value3)
                                                : static_cast<uint32_t>(ThreadExit);
      QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"The thread %s is released with the action %d", Name(), code);
      if (!_dispatch_one(code, status, value1, value2, value3)) break;
    }
  } catch (CZubException* e) {
    delete e;
    _exception();
  } catch (...) {
    _exception();
  }
  _stop();
}

bool CZubThread::_dispatch_one(uint32_t code, uint32_t status, uintptr_t v1, uintptr_t v2, uintptr_t v3) {
  CZubThreadAction* action = m_action.load(std::memory_order_acquire);
  switch (code) {
    case ThreadStart:
      LogStep(L"Action=ThreadStart");
      if (action == nullptr) return true;
      m_begun = true;
      action->OnBegin();
      action->OnAction(kStepStatus, 0, 0, 0);
      if (m_timeout.load() == 0) _release_action();
      return true;
    case ThreadStop:
      LogStep(L"Action=ThreadStop");
      if (action != nullptr) _release_action();
      return true;
    case ThreadExit:
      LogStep(L"Action=ThreadExit");
      CZubThreadPool::MarkStopping(this);
      _release_action();
      return false;
    case ThreadContinue:
      LogStep(L"Action=ThreadContinue");
      if (action != nullptr) action->OnAction(kStepStatus, 0, 0, 0);
      return true;
    case ThreadTimeout:
      LogStep(L"Action=ThreadTimeout");
      if (action != nullptr) action->OnTimeout();
      return true;
    case ThreadAction:
      LogStep(L"Action=ThreadAction");
      if (action != nullptr) action->OnAction(status, v1, v2, v3);
      return true;
    default: QuillogW(QUILLOG_ERROR, QLF_NONE, L"An unknow action %d in the thread '%s'", code, Name()); return true;
  }
}

void CZubThread::_release_action() {
  CZubThreadAction* action = m_action.load(std::memory_order_acquire);
  m_begun = false;
  if (action == nullptr) return;
  action->OnEnd();
  const bool owned = m_owns_action;
  // Reset before the action pointer: once it is null the pool may start a
  // new action on this thread.
  m_owns_action = false;
  m_timeout.store(ZUB_INFINITE);
  if (owned)
    delete action;
  else
    action->_detach();  // the last touch: its owner may destroy it now
  m_action.store(nullptr, std::memory_order_release);
}

void CZubThread::_exception() {
  QuillogW(QUILLOG_ERROR, QLF_NONE, L"An exception were caught in the thread '%s'", Name());
  CZubThreadAction* action = m_action.load(std::memory_order_acquire);
  if (action == nullptr) return;
  try {
    action->OnException();
  } catch (CZubException* e) {
    delete e;
  } catch (...) {
  }
}

void CZubThread::_stop() {
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_HIGH, L"The thread %s is stopping", Name());
  CZubThreadPool::MarkStopping(this);
  CZubThreadAction* action = m_action.load(std::memory_order_acquire);
  const bool owned = m_owns_action;
  m_owns_action = false;
  m_timeout.store(ZUB_INFINITE);
  if (action != nullptr) {
    if (owned)
      delete action;
    else
      action->_detach();
  }
  m_action.store(nullptr, std::memory_order_release);
  CZubThreadWaiter* waiter = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_waiter_lock);
    waiter = m_waiter;
    m_waiter = nullptr;
  }
  if (m_owns_waiter) delete waiter;
  m_owns_waiter = false;
  if (auto done = zubkernel::FindAs<zubkernel::Event>(GetHandle())) done->Set();
  if (IsValid()) CZubHandle::Close();
  CZubThreadPool::RemoveThread(this);
}
