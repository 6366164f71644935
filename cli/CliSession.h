// The plumbing a long-running command needs: a plain dispatcher run on the
// main thread, a view window that hands each view message to a function, and
// Ctrl-C (SIGINT, SIGTERM) turned into a call on the dispatcher's thread.
#pragma once

#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "app/ShowMessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace cli {

using ViewHandler = std::function<intptr_t(uint32_t message, uintptr_t sub_code, uintptr_t payload)>;

class CliWindow : public CViewWindow {
 public:
  CliWindow(CViewDispatcher* dispatcher, ViewHandler handler)
      : CViewWindow(dispatcher), m_handler(std::move(handler)) {}
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t payload) override {
    return m_handler(message, sub_code, payload);
  }

 private:
  ViewHandler m_handler;
};

// Runs each sent call at once on the sending thread, one call at a time;
// posted calls go to the fallback's queue. A Get's or Set's result is then
// printed on the worker's thread; a walk posts its rows, which the main
// thread prints in order while the worker goes on.
class DirectDispatcher : public CViewDispatcher {
 public:
  explicit DirectDispatcher(CViewDispatcher* fallback) : m_fallback(fallback) {}
  bool Post(std::function<void()> call) override { return m_fallback->Post(std::move(call)); }
  bool Send(const std::function<void()>& call) override {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    call();
    return true;
  }
  bool IsDispatcherThread() const override { return true; }

 private:
  CViewDispatcher* m_fallback;
  std::recursive_mutex m_mutex;
};

// Keeps the warnings and errors the core logs while a command runs, so a
// failure can be explained in one line ("no answer ... (Too much timeout)").
class LogWatch {
 public:
  LogWatch();
  ~LogWatch();
  LogWatch(const LogWatch&) = delete;
  LogWatch& operator=(const LogWatch&) = delete;
  // The last warning or error logged since construction; empty when none.
  static std::string LastProblem();
  // Whether one of the first warnings or errors logged since construction
  // holds the text.
  static bool Saw(const std::string& fragment);
};

// Message boxes asked for by the core become "tavelo: text" lines on
// standard error while this object lives; Failed() tells whether one came.
class ErrorLines : public CShowMessage {
 public:
  ErrorLines();
  ~ErrorLines() override;
  void Show(const std::wstring& caption, const std::wstring& text, ShowMessageIcon icon) override;
  bool Failed() const;

 private:
  CShowMessage* m_previous;
  mutable std::mutex m_mutex;
  bool m_failed = false;
};

class CliSession {
 public:
  // Blocks SIGINT and SIGTERM in this thread and every thread started later,
  // and watches for them on a thread of its own.
  CliSession();
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  CPlainDispatcher& Dispatcher() { return m_dispatcher; }
  // Called on the dispatcher's thread when the user interrupts.
  void OnInterrupt(std::function<void()> stop) { m_on_interrupt = std::move(stop); }
  bool Interrupted() const { return m_interrupted.load(); }
  // Runs the dispatcher on the calling thread until Quit().
  void Run() { m_dispatcher.Run(); }
  void Quit() { m_dispatcher.Quit(); }

 private:
  void _watch();

  CPlainDispatcher m_dispatcher;
  std::function<void()> m_on_interrupt;
  std::atomic<bool> m_interrupted{false};
  std::atomic<bool> m_done{false};
  std::thread m_watcher;
};

// Why UDP port `port` of `address` (host order; 0 for every address) cannot
// be listened on, found by trying: "port 161 is in use"; empty when it can.
std::string ListenProblem(uint32_t address, uint32_t port);

}  // namespace cli
