#include "gui/QtDispatcher.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

const QEvent::Type kRunQueueEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
// Calls run per wake-up, so that painting and input get their turn.
constexpr int kBatch = 256;

}  // namespace

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
  auto item = std::make_shared<CDispatchCall>();
  item->call = std::move(call);
  return _enqueue(std::move(item));
}

bool CQtDispatcher::Send(const std::function<void()>& call) {
  if (IsDispatcherThread()) {
    if (HasQuit()) return false;
    call();
    return true;
  }
  auto item = std::make_shared<CDispatchCall>();
  item->call = call;
  item->is_send = true;
  if (!_enqueue(item)) return false;
  return item->Wait();
}

bool CQtDispatcher::_enqueue(std::shared_ptr<CDispatchCall> item) {
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

std::shared_ptr<CDispatchCall> CQtDispatcher::_take_next() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty() || quit_) return nullptr;
  std::shared_ptr<CDispatchCall> item = std::move(queue_.front());
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
    std::shared_ptr<CDispatchCall> item = _take_next();
    if (!item) return;
    item->Finish(item->Run(L"CQtDispatcher"));
  }
}

void CQtDispatcher::Quit() {
  std::deque<std::shared_ptr<CDispatchCall>> left;
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
    item->Finish(item->Run(L"CQtDispatcher"));
  }
}
