#include "kit/ZubThreadPool.h"

#include "kit/ZubCriticalSection.h"
#include "kit/ZubNoDestructor.h"
#include "kit/ZubPointer.h"
#include "kit/ZubThread.h"
#include "quillog/Quillog.h"

#include <vector>

namespace {

// Never destroyed: pooled threads may still leave while the process exits.
std::vector<CZubThread*>& Threads() {
  static ZubNoDestructor<std::vector<CZubThread*>> threads;
  return threads.get();
}

int32_t AsLogged(size_t n) { return static_cast<int32_t>(n); }

}  // namespace

CZubCriticalSection& CZubThreadPool::_section() {
  static ZubNoDestructor<CZubCriticalSection> section(L"CZubThreadPool Critical Section");
  return section.get();
}

uint32_t CZubThreadPool::RunAction(CZubThreadAction* action, bool owns_action, CZubThreadWaiter* waiter,
                                   uint32_t timeout_ms) {
  CZubLock lock(_section());
  std::vector<CZubThread*>& threads = Threads();
  for (CZubThread* thread : threads) {
    if (thread == nullptr || thread->GetAction() != nullptr || thread->IsStopping()) continue;
    QuillogW(QUILLOG_USER, QLF_LIB_THREAD_POOL, L"Re-using the thread %d '%s' in the pool of threads",
             thread->GetThreadId(), thread->Name());
    thread->StartAction(action, owns_action, timeout_ms);
    return thread->GetThreadId();
  }
  try {
    threads.reserve(threads.size() + 1);
  } catch (...) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating a new thread");
    return ZUB_INVALID_THREAD_ID;
  }
  const std::wstring name = QuillogFormat(L"Thread pool #%d", AsLogged(threads.size()));
  CZubThread* thread = CZubThread::Create(name.c_str(), waiter);
  if (thread == nullptr) {
    QuillogW(QUILLOG_ERROR, QLF_NONE, L"Error while creating a new thread");
    return ZUB_INVALID_THREAD_ID;
  }
  threads.push_back(thread);
  QuillogW(QUILLOG_USER, QLF_LIB_THREAD_POOL,
           L"Adding the thread %d '%s' in the pool of threads, there are now %d threads", thread->GetThreadId(),
           thread->Name(), AsLogged(threads.size()));
  thread->StartAction(action, owns_action, timeout_ms);
  return thread->GetThreadId();
}

void CZubThreadPool::RemoveThread(CZubThread* thread) {
  CZubLock lock(_section());
  if (IsNull(thread)) {
    QuillogW(QUILLOG_WARNING, QLF_NONE, L"The thread to remove is NULL");
    return;
  }
  for (CZubThread*& slot : Threads()) {
    if (slot != thread) continue;
    QuillogW(QUILLOG_USER, QLF_LIB_THREAD_POOL, L"Removing the thread %d '%s' from the list of managed thread",
             thread->GetThreadId(), thread->Name());
    slot = nullptr;
    return;
  }
  QuillogW(QUILLOG_WARNING, QLF_NONE, L"The thread '%s' is not in the list of managed thread by the pool",
           thread->Name());
}

bool CZubThreadPool::PostThread(uint32_t thread_id, uint32_t code) {
  CZubLock lock(_section());
  for (CZubThread* thread : Threads()) {
    if (thread == nullptr || thread->GetThreadId() != thread_id) continue;
    thread->Post(code);
    return true;
  }
  return false;
}

size_t CZubThreadPool::ExitAll() {
  CZubLock lock(_section());
  size_t told = 0;
  for (CZubThread* thread : Threads()) {
    if (thread == nullptr) continue;
    thread->Post(ThreadExit);
    ++told;
  }
  return told;
}

size_t CZubThreadPool::GetSize() {
  CZubLock lock(_section());
  return Threads().size();
}

uint32_t CZubThreadPool::GetThreadIdAt(size_t index) {
  CZubLock lock(_section());
  const std::vector<CZubThread*>& threads = Threads();
  if (index >= threads.size() || threads[index] == nullptr) return ZUB_INVALID_THREAD_ID;
  return threads[index]->GetThreadId();
}

size_t CZubThreadPool::GetLiveCount() {
  CZubLock lock(_section());
  size_t live = 0;
  for (CZubThread* thread : Threads()) live += thread != nullptr ? 1 : 0;
  return live;
}

void CZubThreadPool::MarkStopping(CZubThread* thread) {
  CZubLock lock(_section());
  thread->m_stopping.store(true);
}
