// The GUI thread's dispatcher for the message center.
//
// Post queues a call on the GUI thread and returns; Send waits on its own
// queued item until the GUI thread has run it (a direct call on the GUI
// thread). Quit refuses later calls and releases every waiting sender, so a
// worker blocked in a send can finish before its owner destroys it.
#pragma once

#include "app/DispatchCall.h"
#include "app/MessageCenter.h"

#include <QObject>

#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class CQtDispatcher : public QObject, public CViewDispatcher {
  Q_OBJECT

 public:
  // Create on the GUI thread: the thread that creates it runs its calls.
  explicit CQtDispatcher(QObject* parent = nullptr);
  ~CQtDispatcher() override;

  bool Post(std::function<void()> call) override;
  bool Send(const std::function<void()>& call) override;
  bool IsDispatcherThread() const override;

  // Refuses every later call and releases the waiting senders (their calls
  // do not run). Called on the GUI thread, it also runs the queued posts so
  // that their payloads reach their receivers; elsewhere they are dropped.
  void Quit();
  bool HasQuit() const;
  // Number of calls waiting (tests and diagnostics).
  size_t Pending() const;

 protected:
  bool event(QEvent* event) override;

 private:
  bool _enqueue(std::shared_ptr<CDispatchCall> item);
  std::shared_ptr<CDispatchCall> _take_next();
  void _wake_locked();
  void _run_queue();

  mutable std::mutex m_mutex;
  std::deque<std::shared_ptr<CDispatchCall>> m_queue;
  bool m_quit = false;
  bool m_wake_pending = false;
  const std::thread::id m_gui_thread;
};
