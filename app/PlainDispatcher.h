// A plain dispatcher: a queue of calls run by one thread, for the
// command-line program and the tests.
#pragma once

#include "app/DispatchCall.h"
#include "app/MessageCenter.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class CPlainDispatcher : public CViewDispatcher {
 public:
  CPlainDispatcher();
  // Stops the queue (pending sends are released with false) and joins an
  // owned thread.
  ~CPlainDispatcher() override;

  // Runs the queue on a new thread owned by the dispatcher.
  bool StartThread();
  // Runs the queue on the calling thread until Quit().
  void Run();
  // Runs what is queued now on the calling thread, then returns. The calling
  // thread becomes the dispatcher's thread while it runs.
  size_t RunPending();
  // Ends Run() / the owned thread; later posts and sends are refused.
  void Quit();
  // Blocks until the queue is empty and idle (or the dispatcher has quit).
  void Drain();

  bool Post(std::function<void()> call) override;
  bool Send(const std::function<void()>& call) override;
  bool IsDispatcherThread() const override;

 private:
  bool _enqueue(std::shared_ptr<CDispatchCall> item);
  bool _run_one(std::unique_lock<std::mutex>& lock);
  void _loop();

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::condition_variable m_idle_cv;
  std::deque<std::shared_ptr<CDispatchCall>> m_queue;
  bool m_quit = false;
  bool m_busy = false;
  std::thread::id m_runner;
  std::thread m_thread;
};
