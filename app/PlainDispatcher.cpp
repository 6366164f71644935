#include "app/PlainDispatcher.h"

CPlainDispatcher::CPlainDispatcher() = default;

CPlainDispatcher::~CPlainDispatcher() {
  Quit();
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

bool CPlainDispatcher::StartThread() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (quit_ || thread_.joinable() || runner_ != std::thread::id()) return false;
  thread_ = std::thread([this] { _loop(); });
  runner_ = thread_.get_id();
  return true;
}

void CPlainDispatcher::Run() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (runner_ != std::thread::id() && runner_ != std::this_thread::get_id()) return;
    runner_ = std::this_thread::get_id();
  }
  _loop();
}

void CPlainDispatcher::_loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  runner_ = std::this_thread::get_id();
  while (true) {
    cv_.wait(lock, [this] { return quit_ || !queue_.empty(); });
    if (quit_) break;
    _run_one(lock);
  }
}

size_t CPlainDispatcher::RunPending() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::thread::id self = std::this_thread::get_id();
  if (runner_ != std::thread::id() && runner_ != self) return 0;
  bool bound_here = runner_ == std::thread::id();
  runner_ = self;
  size_t count = queue_.size();
  size_t ran = 0;
  while (ran < count && !quit_ && _run_one(lock)) ++ran;
  if (bound_here) runner_ = std::thread::id();
  return ran;
}

bool CPlainDispatcher::_run_one(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  std::shared_ptr<CDispatchCall> item = queue_.front();
  queue_.pop_front();
  busy_ = true;
  lock.unlock();
  item->Finish(item->Run(L"CPlainDispatcher"));
  lock.lock();
  busy_ = false;
  if (queue_.empty()) idle_cv_.notify_all();
  return true;
}

void CPlainDispatcher::Quit() {
  std::deque<std::shared_ptr<CDispatchCall>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    dropped.swap(queue_);
  }
  for (auto& item : dropped) item->Finish(false);
  cv_.notify_all();
  idle_cv_.notify_all();
}

void CPlainDispatcher::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (runner_ == std::this_thread::get_id()) return;
  idle_cv_.wait(lock, [this] { return quit_ || (queue_.empty() && !busy_); });
}

bool CPlainDispatcher::_enqueue(std::shared_ptr<CDispatchCall> item) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (quit_) return false;
  queue_.push_back(std::move(item));
  cv_.notify_one();
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
  std::lock_guard<std::mutex> lock(mutex_);
  return runner_ == std::this_thread::get_id();
}
