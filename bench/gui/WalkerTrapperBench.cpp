// Walker and Trapper views under load, side by side with the command line.
//
//   walk:  the whole MIB of one snmpd (every subtree readable) walked from a
//          shown Walker view ("Restart" with the stored parameters) and by
//          `tavelo walk --getnext` of the same agent (the same requests), in
//          turns, SNMPv1 and SNMPv2c;
//          median times, their ratio (goal: at most 1.3) and the longest
//          event-loop gap during the view's walks.
//   traps: SNMPv2c traps sent at 20,000 a second for 5 s into a shown,
//          listening Trapper view: traps shown, time until the last one
//          shows, and the longest event-loop gap (goal: under 100 ms). The
//          sender stands for other machines: a process of its own in a
//          session of its own, so that it does not take the CPU share of
//          the program's session (the kernel shares CPU time between
//          sessions first). `traps-thread` sends from a thread instead.
//
// `bench_walker_trapper walk` or `... traps` runs one part only.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise;
// settings go to a temporary folder.
#include "app/Settings.h"
#include "bench/gui/GapMeter.h"
#include "gui/MainMenu.h"
#include "gui/QtDispatcher.h"
#include "gui/ViewTrapper.h"
#include "gui/ViewWalker.h"
#include "tests/common/NetSnmp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWalkRounds = 3;
constexpr uint64_t kTrapRate = 20000;
constexpr double kTrapSeconds = 5;

double MsSince(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Runs the event loop until done() holds or timeout_ms passes; a 1 ms
// timer wakes it, so it sleeps between events instead of spinning.
template <typename Pred>
bool LoopUntil(Pred done, int timeout_ms) {
  QTimer tick;
  tick.start(1);
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// An snmpd on a loopback port whose whole MIB community "tumbol" reads.
const char kWholeMibConfig[] = "rocommunity tumbol 127.0.0.1\n";

void StoreWalkParameters(uint16_t port, uint32_t version) {
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_IP, L"127.0.0.1");
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_PORT, -1, port);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_VERSION, -1, version);
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_COMMUNITY, L"tumbol");
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_TIMEOUT, -1, 1000);
  WriteSettingDword(SETTING_DLG_SNMP_PARAMETER_LAST_RETRY, -1, 3);
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_FIRST_OID, L"");
  WriteSettingString(SETTING_DLG_SNMP_PARAMETER_LAST_LAST_OID, L"");
}

bool BenchWalk(CViewWalker& view, const netsnmp::Agent& agent) {
  bool ok = true;
  for (uint32_t version : {1u, 2u}) {
    StoreWalkParameters(agent.Port(), version);
    std::vector<double> ours, cli;
    double longest_gap = 0, gap_cpu = 0, gap_wait = 0;
    int rows = 0;
    size_t lines = 0;
    for (int round = 0; round < kWalkRounds; ++round) {
      GapMeter gaps;
      gaps.Start();
      Clock::time_point start = Clock::now();
      if (!view.OnCommand(ID_WALKER_RESTART)) return false;
      if (!LoopUntil([&] { return !view.IsRequestRunning(); }, 120000)) return false;
      ours.push_back(MsSince(start));
      gaps.Stop();
      if (gaps.longest_ms > longest_gap) {
        longest_gap = gaps.longest_ms;
        gap_cpu = gaps.longest_cpu_ms;
        gap_wait = gaps.longest_wait_ms;
      }
      rows = view.RowCount();

      std::string out, err;
      start = Clock::now();
      // GetNext, as the view asks (over v2c the command asks GetBulk unless told).
      netsnmp::Run({TAVELO_CLI, "walk", "--getnext", "-v", version == 1 ? "1" : "2c", "-c", "tumbol", agent.Target()},
                   &out, &err);
      cli.push_back(MsSince(start));
      lines = static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
    }
    const double ratio = Median(ours) / Median(cli);
    std::printf(
        "whole-MIB walk v%s, median of %d: Walker view %.1f ms (%d rows), tavelo walk %.1f ms (%zu lines); "
        "ratio %.2f (goal <= 1.3); longest event-loop gap %.1f ms (GUI thread busy %.1f ms, waiting for a CPU %.1f "
        "ms)\n",
        version == 1 ? "1" : "2c", kWalkRounds, Median(ours), rows, Median(cli), lines, ratio, longest_gap, gap_cpu,
        gap_wait);
    // Process and socket tables change between two walks of a live agent;
    // a large difference is a lost row.
    if (static_cast<double>(rows) < 0.98 * static_cast<double>(lines)) {
      std::printf("  ROWS MISSING: the view shows far fewer variables than tavelo walk printed\n");
      ok = false;
    }
  }
  return ok;
}

// An SNMPv2c trap: sysUpTime.0, snmpTrapOID.0 and one string binding.
std::vector<uint8_t> TrapDatagram() {
  return {0x30, 0x5a, 0x02, 0x01, 0x01, 0x04, 0x06, 'p',  'u',  'b',  'l',  'i',  'c',  0xa7, 0x4d, 0x02,
          0x04, 0x12, 0x34, 0x56, 0x78, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x3f, 0x30, 0x0e, 0x06,
          0x08, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x03, 0x00, 0x43, 0x02, 0x04, 0xd2, 0x30, 0x17, 0x06,
          0x0a, 0x2b, 0x06, 0x01, 0x06, 0x03, 0x01, 0x01, 0x04, 0x01, 0x00, 0x06, 0x09, 0x2b, 0x06, 0x01,
          0x06, 0x03, 0x01, 0x01, 0x05, 0x03, 0x30, 0x14, 0x06, 0x08, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x01,
          0x05, 0x00, 0x04, 0x08, 'r',  'o',  'u',  't',  'e',  'r',  '-',  '7'};
}

// Sends `rate` traps a second for `seconds`, paced in 1 ms steps.
void SendTraps(uint16_t port, uint64_t rate, double seconds, std::atomic<uint64_t>* sent) {
  const std::vector<uint8_t> trap = TrapDatagram();
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const Clock::time_point start = Clock::now();
  const auto total = static_cast<uint64_t>(static_cast<double>(rate) * seconds);
  uint64_t count = 0;
  while (count < total) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const uint64_t due = std::min<uint64_t>(total, static_cast<uint64_t>(elapsed * static_cast<double>(rate)) + 1);
    for (; count < due; ++count) {
      if (::sendto(fd, trap.data(), trap.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) !=
          static_cast<ssize_t>(trap.size()))
        break;
    }
    sent->store(count);
    std::this_thread::sleep_until(start + std::chrono::microseconds(static_cast<int64_t>(1e6 * count / rate)));
  }
  ::close(fd);
}

// The kernel's count of UDP datagrams dropped for a full receive buffer.
long long UdpReceiveBufferErrors() {
  std::ifstream in("/proc/net/snmp");
  std::string line, names;
  while (std::getline(in, line)) {
    if (line.rfind("Udp: ", 0) != 0) continue;
    if (names.empty()) {
      names = line;
      continue;
    }
    std::istringstream n(names), v(line);
    std::string name, value;
    while (n >> name && v >> value) {
      if (name == "RcvbufErrors") return std::stoll(value);
    }
  }
  return -1;
}

bool BenchTraps(CViewTrapper& view, bool in_thread) {
  const uint16_t port = netsnmp::FreeUdpPort();
  WriteSettingDword(SETTING_DLG_TRAP_PARAMETER_LAST_PORT, -1, port);
  if (!view.OnCommand(ID_TRAPPER_RESTART) || !LoopUntil([&] { return view.IsListening(); }, 5000)) {
    std::printf("traps: the receiver did not start\n");
    return false;
  }
  int batches = 0;
  QObject::connect(view.ListModel(), &QAbstractItemModel::rowsInserted, [&] { ++batches; });
  // Shared with a sender process.
  void* shared =
      ::mmap(nullptr, sizeof(std::atomic<uint64_t>) * 2, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return false;
  auto* counters = static_cast<std::atomic<uint64_t>*>(shared);
  std::atomic<uint64_t>& sent = *new (&counters[0]) std::atomic<uint64_t>(0);
  std::atomic<uint64_t>& sending = *new (&counters[1]) std::atomic<uint64_t>(1);
  GapMeter gaps;
  gaps.Start();
  const Clock::time_point start = Clock::now();
  const long long dropped_before = UdpReceiveBufferErrors();
  std::thread sender;
  pid_t sender_pid = -1;
  if (in_thread) {
    sender = std::thread([&] {
      SendTraps(port, kTrapRate, kTrapSeconds, &sent);
      sending = 0;
    });
  } else {
    sender_pid = ::fork();
    if (sender_pid == 0) {
      ::setsid();
      SendTraps(port, kTrapRate, kTrapSeconds, &sent);
      sending = 0;
      ::_exit(0);
    }
    if (sender_pid < 0) sending = 0;
  }
  // All shown, or no progress for 5 s once the sender is done.
  Clock::time_point last_change = Clock::now();
  size_t last_count = 0;
  LoopUntil(
      [&] {
        if (view.TrapCount() != last_count) {
          last_count = view.TrapCount();
          last_change = Clock::now();
        }
        if (sending) return false;
        return view.TrapCount() >= sent || MsSince(last_change) > 5000;
      },
      120000);
  const double shown_ms = MsSince(start);
  gaps.Stop();
  if (sender.joinable()) sender.join();
  if (sender_pid > 0) {
    int status = 0;
    ::waitpid(sender_pid, &status, 0);
  }
  view.OnCommand(ID_TRAPPER_STOP);
  LoopUntil([&] { return !view.IsReceiving(); }, 5000);
  const bool all = view.TrapCount() == sent;
  const long long dropped = UdpReceiveBufferErrors() - dropped_before;
  std::printf(
      "traps (sender: %s): %llu sent at %llu/s for %.0f s, %zu shown (%s) after %.0f ms in %d row batches; longest "
      "event-loop "
      "gap %.1f ms (GUI thread busy %.1f ms, waiting for a CPU %.1f ms of it; goal: under 100 ms); datagrams the "
      "kernel dropped for a full receive buffer (any socket): %lld\n",
      in_thread ? "a thread" : "a process in its own session", static_cast<unsigned long long>(sent.load()),
      static_cast<unsigned long long>(kTrapRate), kTrapSeconds, view.TrapCount(), all ? "all" : "SOME LOST", shown_ms,
      batches, gaps.longest_ms, gaps.longest_cpu_ms, gaps.longest_wait_ms, dropped);
  ::munmap(shared, sizeof(std::atomic<uint64_t>) * 2);
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char pattern[] = "/tmp/tavelo-bench-XXXXXX";
  const std::string home = ::mkdtemp(pattern);
  for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
    ::setenv(variable, home.c_str(), 1);
  }
  int status = 0;
  {
    QApplication app(argc, argv);
    CQtDispatcher dispatcher;
    netsnmp::Agent agent(kWholeMibConfig);
    std::printf("Walker and Trapper views (%s platform, %u CPUs)\n", qPrintable(QGuiApplication::platformName()),
                std::thread::hardware_concurrency());
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.rfind("traps", 0) == 0) {
    } else if (!agent.Start()) {
      std::printf("snmpd did not start\n");
      status = 1;
    } else {
      CViewWalker walker(&dispatcher);
      walker.resize(1000, 600);
      walker.show();
      if (!BenchWalk(walker, agent)) status = 1;
    }
    if (only != "walk") {
      CViewTrapper trapper(&dispatcher);
      trapper.resize(1000, 600);
      trapper.show();
      if (!BenchTraps(trapper, only == "traps-thread")) status = 1;
    }
    dispatcher.Quit();
  }
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  return status;
}
