// The longest time the GUI thread's event loop went without running: the
// largest gap between two ticks of a 1 ms timer, less the 1 ms, with what the
// GUI thread did within that gap: CPU time it used, and time it was ready
// but waited for a CPU (from /proc/thread-self/schedstat). The rest of the
// gap it was blocked (a lock, a page fault, a system call).
#pragma once

#include <QObject>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

class GapMeter {
 public:
  using Clock = std::chrono::steady_clock;

  GapMeter() : m_schedstat(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_ticker.setInterval(1);
    QObject::connect(&m_ticker, &QTimer::timeout, [this] { _tick(); });
  }
  ~GapMeter() {
    if (m_schedstat >= 0) ::close(m_schedstat);
  }
  GapMeter(const GapMeter&) = delete;
  GapMeter& operator=(const GapMeter&) = delete;

  void Start() {
    longest_ms = 0;
    longest_cpu_ms = 0;
    longest_wait_ms = 0;
    longest_at_ms = 0;
    busiest_cpu_ms = 0;
    m_start = m_last = Clock::now();
    m_last_cpu = ThreadCpuMs();
    m_last_wait = WaitMs();
    m_ticker.start();
  }
  void Stop() { m_ticker.stop(); }

  static double ThreadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
  }

  double longest_ms = 0;
  double longest_cpu_ms = 0;
  double longest_wait_ms = 0;  // ready to run, no CPU given
  double longest_at_ms = 0;    // when the longest gap began, from Start()
  double busiest_cpu_ms = 0;   // most CPU time the thread used between two ticks

  // The 1-minute load average, or -1.
  static double LoadAverage() {
    double load = -1;
    if (FILE* file = std::fopen("/proc/loadavg", "r")) {
      if (std::fscanf(file, "%lf", &load) != 1) load = -1;
      std::fclose(file);
    }
    return load;
  }

 private:
  // Time this thread spent on a run queue so far; 0 where not told.
  double WaitMs() const {
    char text[96] = {};
    if (m_schedstat < 0 || ::pread(m_schedstat, text, sizeof text - 1, 0) <= 0) return 0;
    unsigned long long run_ns = 0, wait_ns = 0;
    if (std::sscanf(text, "%llu %llu", &run_ns, &wait_ns) != 2) return 0;
    return static_cast<double>(wait_ns) / 1e6;
  }
  void _tick() {
    const Clock::time_point now = Clock::now();
    const double cpu = ThreadCpuMs();
    const double wait = WaitMs();
    const double gap = std::chrono::duration<double, std::milli>(now - m_last).count() - 1.0;
    if (gap > longest_ms) {
      longest_ms = gap;
      longest_cpu_ms = cpu - m_last_cpu;
      longest_wait_ms = wait - m_last_wait;
      longest_at_ms = std::chrono::duration<double, std::milli>(m_last - m_start).count();
    }
    busiest_cpu_ms = std::max(busiest_cpu_ms, cpu - m_last_cpu);
    m_last = now;
    m_last_cpu = cpu;
    m_last_wait = wait;
  }
  int m_schedstat;
  QTimer m_ticker;
  Clock::time_point m_start;
  Clock::time_point m_last;
  double m_last_cpu = 0;
  double m_last_wait = 0;
};
