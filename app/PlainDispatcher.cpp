#include "app/PlainDispatcher.h"

CPlainDispatcher::CPlainDispatcher() = default;

CPlainDispatcher::~CPlainDispatcher() {
  Quit();
  if (!m_thread.joinable()) return;
  if (m_thread.get_id() == std::this_thread::get_id()) {
    m_thread.detach();
  } else {
    m_thread.join();
  }
}

bool CPlainDispatcher::StartThread() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_quit || m_thread.joinable() || m_runner != std::thread::id()) return false;
  m_thread = std::thread([this] { _loop(); });
  m_runner = m_thread.get_id();
  return true;
}

void CPlainDispatcher::Run() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_runner != std::thread::id() && m_runner != std::this_thread::get_id()) return;
    m_runner = std::this_thread::get_id();
  }
  _loop();
}

void CPlainDispatcher::_loop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_runner = std::this_thread::get_id();
  while (true) {
    m_cv.wait(lock, [this] { return m_quit || !m_queue.empty(); });
    if (m_quit) break;
    _run_one(lock);
  }
}

size_t CPlainDispatcher::RunPending() {
  std::unique_lock<std::mutex> lock(m_mutex);
  std::thread::id self = std::this_thread::get_id();
  if (m_runner != std::thread::id() && m_runner != self) return 0;
  bool bound_here = m_runner == std::thread::id();
  m_runner = self;
  size_t count = m_queue.size();
  size_t ran = 0;
  while (ran < count && !m_quit && _run_one(lock)) ++ran;
  if (bound_here) m_runner = std::thread::id();
  return ran;
}

bool CPlainDispatcher::_run_one(std::unique_lock<std::mutex>& lock) {
  if (m_queue.empty()) return false;
  std::shared_ptr<CDispatchCall> item = m_queue.front();
  m_queue.pop_front();
  m_busy = true;
  lock.unlock();
  item->Finish(item->Run(L"CPlainDispatcher"));
  lock.lock();
  m_busy = false;
  if (m_queue.empty()) m_idle_cv.notify_all();
  return true;
}

void CPlainDispatcher::Quit() {
  std::deque<std::shared_ptr<CDispatchCall>> dropped;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
    dropped.swap(m_queue);
  }
  for (auto& item : dropped) item->Finish(false);
  m_cv.notify_all();
  m_idle_cv.notify_all();
}

void CPlainDispatcher::Drain() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_runner == std::this_thread::get_id()) return;
  m_idle_cv.wait(lock, [this] { return m_quit || (m_queue.empty() && !m_busy); });
}

bool CPlainDispatcher::_enqueue(std::shared_ptr<CDispatchCall> item) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_quit) return false;
  m_queue.push_back(std::move(item));
  m_cv.notify_one();
  return true;
}

bool CPlainDispatcher::Post(std::function<void()> call) {
  auto item = std::make_shared<CDispatchCall>();
  item->call = std::move(call);
  return _enqueue(std::move(item));
}

bool CPlainDispatcher::Send(const std::function<void()>& call) {
  if (IsDispatcherThread()) {
    call();
    return true;
  }
  auto item = std::make_shared<CDispatchCall>();
  item->call = call;
  item->is_send = true;
  if (!_enqueue(item)) return false;
  return item->Wait();
}

bool CPlainDispatcher::IsDispatcherThread() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_runner == std::this_thread::get_id();
}
