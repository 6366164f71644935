#include "gui/QtDispatcher.h"

#include "quillog/Quillog.h"

#include <QCoreApplication>
#include <QEvent>

#include <condition_variable>

namespace {

const QEvent::Type kRunQueueEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
// Calls run per wake-up, so that painting and input get their turn.
constexpr int kBatch = 256;

}  // namespace

// A queued call. A sender waits on its item, never on the dispatcher.
struct CQtDispatcher::Item {
  std::function<void()> call;
  bool is_send = false;
  std::mutex done_mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool ran = false;

  void Finish(bool has_run) {
    {
      std::lock_guard<std::mutex> lock(done_mutex);
      ran = has_run;
      done = true;
    }
    done_cv.notify_all();
  }
  bool Run() {
    try {
      call();
      return true;
    } catch (...) {
      QuillogW(QUILLOG_ERROR, QLF_NONE, L"CQtDispatcher::Run() : a handler threw an exception");
      return false;
    }
  }
};

CQtDispatcher::CQtDispatcher(QObject* parent) : QObject(parent), gui_thread_(std::this_thread::get_id()) {}

CQtDispatcher::~CQtDispatcher() { Quit(); }

bool CQtDispatcher::IsDispatcherThread() const { return std::this_thread::get_id() == gui_thread_; }

bool CQtDispatcher::HasQuit() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return quit_;
}

size_t CQtDispatcher::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool CQtDispatcher::Post(std::function<void()> call) {
  auto item = std::make_shared<Item>();
  item->call = std::move(call);
  return _enqueue(std::move(item));
}

bool CQtDispatcher::Send(const std::function<void()>& call) {
  if (IsDispatcherThread()) {
    if (HasQuit()) return false;
    call();
    return true;
  }
  auto item = std::make_shared<Item>();
  item->call = call;
  item->is_send = true;
  if (!_enqueue(item)) return false;
  std::unique_lock<std::mutex> lock(item->done_mutex);
  item->done_cv.wait(lock, [&] { return item->done; });
  return item->ran;
}

bool CQtDispatcher::_enqueue(std::shared_ptr<Item> item) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (quit_) return false;
  queue_.push_back(std::move(item));
  _wake_locked();
  return true;
}

void CQtDispatcher::_wake_locked() {
  if (wake_pending_) return;
  wake_pending_ = true;
  // Qt takes ownership of a posted event.
  QCoreApplication::postEvent(this, new QEvent(kRunQueueEvent));
}

std::shared_ptr<CQtDispatcher::Item> CQtDispatcher::_take_next() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty() || quit_) return nullptr;
  std::shared_ptr<Item> item = std::move(queue_.front());
  queue_.pop_front();
  // A handler may open a nested event loop (a modal box): the calls behind
  // this one must still run there, in order.
  if (!queue_.empty()) _wake_locked();
  return item;
}

bool CQtDispatcher::event(QEvent* event) {
  if (event->type() != kRunQueueEvent) return QObject::event(event);
  _run_queue();
  return true;
}

void CQtDispatcher::_run_queue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_pending_ = false;
  }
  for (int i = 0; i < kBatch; ++i) {
    std::shared_ptr<Item> item = _take_next();
    if (!item) return;
    item->Finish(item->Run());
  }
}

void CQtDispatcher::Quit() {
  std::deque<std::shared_ptr<Item>> left;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    left.swap(queue_);
  }
  const bool on_gui = IsDispatcherThread();
  for (auto& item : left) {
    if (item->is_send || !on_gui) {
      item->Finish(false);
      continue;
    }
    item->Finish(item->Run());
  }
}
