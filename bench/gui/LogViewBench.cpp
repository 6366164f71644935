// Logger view under load: 100,000 lines logged from 4 threads at once.
//
// Reports, per run: lines per second from the first line logged until the
// view shows the last one, whether every line arrived in its thread's order,
// the number of row batches, and the longest time the GUI thread's event
// loop did not run (the largest gap between two ticks of a 1 ms timer, less
// the 1 ms), with the CPU time the GUI thread used within that gap: a long
// gap with little CPU is time the system did not schedule the thread.
// A control run logs the same lines with posting off (formatted, then
// dropped) to show the gap the logging threads alone cause on this machine.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise;
// settings go to a temporary folder.
#include "bench/gui/GapMeter.h"
#include "gui/ViewLogs.h"
#include "quillog/Quillog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdlib.h>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kThreads = 4;
constexpr int kLinesPerThread = 25000;
constexpr int kTotal = kThreads * kLinesPerThread;
constexpr int kRuns = 3;
constexpr int kTimeoutMs = 120000;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct Result {
  double seconds_logging = 0;
  double seconds_shown = 0;
  int batches = 0;
  bool complete = false;
  bool ordered = false;
  GapMeter gaps;
};

// Every thread's lines appear, each in order.
bool CheckOrder(const CViewLogs& view) {
  std::vector<int> next(kThreads, 0);
  for (int row = 0; row < view.RowCount(); ++row) {
    int thread = -1;
    int line = -1;
    if (std::swscanf(view.Item(row)->message.c_str(), L"bench thread %d line %d", &thread, &line) != 2) return false;
    if (thread < 0 || thread >= kThreads || line != next[thread]) return false;
    ++next[thread];
  }
  return std::all_of(next.begin(), next.end(), [](int n) { return n == kLinesPerThread; });
}

// Starts the logging threads and runs the event loop until `done` holds
// (checked every millisecond) or the time-out passes.
void LogAndWait(QApplication& app, Result& result, const std::function<bool()>& done) {
  const Clock::time_point start = Clock::now();
  QTimer watcher;
  watcher.setInterval(1);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (!done() && Clock::now() - start < std::chrono::milliseconds(kTimeoutMs)) return;
    result.seconds_shown = Seconds(start);
    app.quit();
  });
  std::atomic<int> running{kThreads};
  std::vector<std::thread> threads;
  result.gaps.Start();
  watcher.start();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &running, &result, start] {
      for (int i = 0; i < kLinesPerThread; ++i) QuillogW(QUILLOG_INFO, 0, L"bench thread %d line %d", t, i);
      if (--running == 0) result.seconds_logging = Seconds(start);
    });
  }
  app.exec();
  result.gaps.Stop();
  for (std::thread& thread : threads) thread.join();
}

void RunOnce(QApplication& app, CViewLogs& view, Result& result) {
  view.ClearList();
  const QMetaObject::Connection counting =
      QObject::connect(view.ListModel(), &QAbstractItemModel::rowsInserted, [&] { ++result.batches; });
  LogAndWait(app, result, [&] { return view.RowCount() >= kTotal; });
  QObject::disconnect(counting);
  result.complete = view.RowCount() == kTotal;
  result.ordered = result.complete && CheckOrder(view);
}

void RunControl(QApplication& app, Result& result) {
  QuillogPostSendMessageDisable();
  LogAndWait(app, result, [&] { return result.seconds_logging > 0; });
  QuillogPostSendMessageEnable();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char pattern[] = "/tmp/tavelo-bench-XXXXXX";
  const std::string home = ::mkdtemp(pattern);
  for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
    ::setenv(variable, home.c_str(), 1);
  }

  int status = 0;
  {
    QApplication app(argc, argv);
    CViewLogs view;
    view.resize(1000, 600);
    view.show();
    // Warm-up: the first lines drawn load the image engine and the fonts,
    // a start-up cost that is not the view's steady behaviour.
    for (int level = QUILLOG_INFO; level <= QUILLOG_DUMP; ++level) QuillogW(level, 0, L"warm-up line");
    // Wait in the event loop, not in a spinning loop: a thread that just ran
    // flat out is scheduled later than its fair share for a while.
    QTimer::singleShot(300, &app, &QCoreApplication::quit);
    app.exec();

    std::printf("Logger view: %d lines from %d threads, %d runs (%s platform, %u CPUs)\n", kTotal, kThreads, kRuns,
                qPrintable(QGuiApplication::platformName()), std::thread::hardware_concurrency());
    std::vector<double> rates;
    std::vector<double> gaps;
    for (int run = 1; run <= kRuns; ++run) {
      Result r;
      RunOnce(app, view, r);
      const double rate = r.seconds_shown > 0 ? kTotal / r.seconds_shown : 0;
      rates.push_back(rate);
      gaps.push_back(r.gaps.longest_ms);
      std::printf(
          "run %d: logged in %.3f s, all shown after %.3f s = %.0f lines/s; %d batches; longest event-loop gap "
          "%.1f ms at %.0f ms (GUI thread busy %.1f ms, waiting for a CPU %.1f ms of it); %s, %s; load %.1f\n",
          run, r.seconds_logging, r.seconds_shown, rate, r.batches, r.gaps.longest_ms, r.gaps.longest_at_ms,
          r.gaps.longest_cpu_ms, r.gaps.longest_wait_ms, r.complete ? "none lost" : "LINES LOST",
          r.ordered ? "each thread in order" : "ORDER BROKEN", GapMeter::LoadAverage());
      if (!r.complete || !r.ordered) status = 1;
    }
    Result control;
    RunControl(app, control);
    std::printf(
        "control, posting off: logged in %.3f s; longest event-loop gap %.1f ms (GUI thread busy %.1f ms, waiting for "
        "a CPU %.1f ms)\n",
        control.seconds_logging, control.gaps.longest_ms, control.gaps.longest_cpu_ms, control.gaps.longest_wait_ms);
    std::sort(rates.begin(), rates.end());
    std::sort(gaps.begin(), gaps.end());
    std::printf("median: %.0f lines/s, longest event-loop gap %.1f ms (goal: under 100 ms); worst gap %.1f ms\n",
                rates[kRuns / 2], gaps[kRuns / 2], gaps.back());
  }
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return status;
}
