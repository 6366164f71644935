// Shared set-up of the GUI tests: a temporary home with its XDG folders, a
// Qt dispatcher on the test's (GUI) thread, and a bounded event-loop wait.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <memory>

#include "app/MessageCenter.h"
#include "app/Settings.h"
#include "gui/QtDispatcher.h"
#include "tests/common/TempDir.h"

// Runs the event loop until done() holds; false after timeout_ms.
template <typename Pred>
bool ProcessUntil(Pred done, int timeout_ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents();
  }
  return true;
}

// Ends the test program with a message when a step that must not hang has
// not finished in time (a deadlock cannot be failed any other way).
class Watchdog {
 public:
  Watchdog(const char* what, int timeout_ms)
      : thread_([this, what, timeout_ms] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return done_; })) return;
          std::fprintf(stderr, "Watchdog: %s did not finish within %d ms (deadlock?)\n", what, timeout_ms);
          std::abort();
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::make_unique<TempHome>();
    dispatcher_ = std::make_unique<CQtDispatcher>();
  }
  void TearDown() override {
    dispatcher_->Quit();
    // Nothing of one test may reach the next one.
    CMessageCenter::Clear();
    dispatcher_.reset();
    home_.reset();
  }

  std::unique_ptr<TempHome> home_;
  std::unique_ptr<CQtDispatcher> dispatcher_;
};

// A view window on a dispatcher that counts its messages.
class CountingWindow : public CViewWindow {
 public:
  using CViewWindow::CViewWindow;
  ~CountingWindow() override { CMessageCenter::Unsubscribe(this); }
  intptr_t OnViewMessage(uint32_t message, uintptr_t sub_code, uintptr_t) override {
    last_message = message;
    last_sub_code = sub_code;
    ++count;
    return static_cast<intptr_t>(sub_code) + 100;
  }
  uint32_t last_message = 0;
  uintptr_t last_sub_code = 0;
  int count = 0;
};
