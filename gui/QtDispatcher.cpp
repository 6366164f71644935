#include "gui/QtDispatcher.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

const QEvent::Type kRunQueueEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
// Calls run per wake-up, so that painting and input get their turn.
constexpr int kBatch = 256;

}  // namespace

CQtDispatcher::CQtDispatcher(QObject* parent) : QObject(parent), m_gui_thread(std::this_thread::get_id()) {}

CQtDispatcher::~CQtDispatcher() { Quit(); }

bool CQtDispatcher::IsDispatcherThread() const { return std::this_thread::get_id() == m_gui_thread; }

bool CQtDispatcher::HasQuit() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_quit;
}

size_t CQtDispatcher::Pending() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_queue.size();
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
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_quit) return false;
  m_queue.push_back(std::move(item));
  _wake_locked();
  return true;
}

void CQtDispatcher::_wake_locked() {
  if (m_wake_pending) return;
  m_wake_pending = true;
  // Qt takes ownership of a posted event.
  QCoreApplication::postEvent(this, new QEvent(kRunQueueEvent));
}

std::shared_ptr<CDispatchCall> CQtDispatcher::_take_next() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_queue.empty() || m_quit) return nullptr;
  std::shared_ptr<CDispatchCall> item = std::move(m_queue.front());
  m_queue.pop_front();
  // A handler may open a nested event loop (a modal box): the calls behind
  // this one must still run there, in order.
  if (!m_queue.empty()) _wake_locked();
  return item;
}

bool CQtDispatcher::event(QEvent* event) {
  if (event->type() != kRunQueueEvent) return QObject::event(event);
  _run_queue();
  return true;
}

void CQtDispatcher::_run_queue() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wake_pending = false;
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
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
    left.swap(m_queue);
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
