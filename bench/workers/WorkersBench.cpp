// Walker and trap receiver, side by side with Net-SNMP in the same run.
//
//   walk:  a whole-MIB walk of one snmpd by CThreadActionWalker and by
//          snmpwalk (v1 and v2c); the summary gives ours / theirs.
//   bulk walk: the same walk as whole programs, `tavelo walk -v 2c` (GetBulk)
//          and `snmpbulkwalk -v2c`, output to /dev/null.
//   traps: SNMPv2c traps sent by a paced loader at a given rate for a given
//          time; every trap must be received, decoded and delivered.
#include "app/MessageCenter.h"
#include "app/PlainDispatcher.h"
#include "asn1/IpAddress.h"
#include "tests/common/NetSnmp.h"
#include "tests/common/TempDir.h"
#include "workers/ThreadActionTrapper.h"
#include "workers/ThreadActionWalker.h"
#include "workers/TrapRecord.h"
#include "workers/WalkerResult.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <sys/wait.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Counts and frees what the workers deliver; signals the finished codes.
class CountingView : public CViewWindow {
 public:
  explicit CountingView(CViewDispatcher* d) : CViewWindow(d) {
    CMessageCenter::Subscribe(L"CountingView", this, MSG_VIEW_WALKER, 0);
    CMessageCenter::Subscribe(L"CountingView", this, MSG_VIEW_TRAPPER, 0);
  }
  intptr_t OnViewMessage(uint32_t message, uintptr_t code, uintptr_t payload) override {
    if (message == MSG_VIEW_WALKER && code == MSG_VIEW_WALKER_DATA) {
      if (CThreadActionWalker* w = walker.load()) m_rows.fetch_add(w->TakeRows(payload).size());
    } else if (message == MSG_VIEW_TRAPPER && code == MSG_VIEW_TRAPPER_DATA) {
      if (CThreadActionTrapper* t = trapper.load()) m_traps.fetch_add(t->TakeTraps(payload).size());
    } else if ((message == MSG_VIEW_WALKER && code == MSG_VIEW_WALKER_FINISHED) ||
               (message == MSG_VIEW_TRAPPER && code != MSG_VIEW_TRAPPER_DATA)) {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_events;
      m_cv.notify_all();
    }
    return 0;
  }
  void WaitEvents(uint64_t count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::seconds(60), [&] { return m_events >= count; });
  }
  uint64_t Events() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }
  std::atomic<uint64_t> m_rows{0};
  std::atomic<uint64_t> m_traps{0};
  std::atomic<CThreadActionWalker*> walker{nullptr};    // whose rows DATA announces
  std::atomic<CThreadActionTrapper*> trapper{nullptr};  // whose traps DATA announces

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  uint64_t m_events = 0;
};

struct World {
  World() {
    dispatcher.StartThread();
    view = std::make_unique<CountingView>(&dispatcher);
    agent_ok = agent.Start();
  }
  netsnmp::Agent agent;
  bool agent_ok = false;
  CPlainDispatcher dispatcher;
  std::unique_ptr<CountingView> view;
};

World& TheWorld() {
  static World* world = new World();
  return *world;
}

std::map<std::string, double> g_walk_ms;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Ours and snmpwalk in turns, so that both see the same machine load; the
// figures are the medians of the rounds.
void BM_WholeMibWalk(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.agent_ok) return state.SkipWithError("snmpd did not start");
  const bool v2c = state.range(0) == 1;
  CThreadActionWalkerParameter p;
  p.retries = 3;
  p.timeout = 1000;
  p.version = v2c ? 1 : 0;
  p.community = L"tumbol";
  p.port = w.agent.Port();
  p.address = IpAddress(L"127.0.0.1");
  CThreadActionWalker walker;
  w.view->walker = &walker;
  std::vector<double> ours, theirs;
  uint64_t rows = 0;
  size_t lines = 0;
  for (auto _ : state) {
    const uint64_t before = w.view->m_rows.load();
    const uint64_t events = w.view->Events();
    auto start = Clock::now();
    walker.Start(p);
    w.view->WaitEvents(events + 1);
    ours.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    walker.WaitReleased(10000);
    rows = w.view->m_rows.load() - before;

    std::string out;
    start = Clock::now();
    netsnmp::Run({"snmpwalk", v2c ? "-v2c" : "-v1", "-c", "tumbol", "-On", w.agent.Target(), ".1"}, &out);
    theirs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    lines = netsnmp::WalkOids(out).size();
  }
  w.dispatcher.Drain();
  w.view->walker = nullptr;
  const std::string v = v2c ? "2c" : "1";
  g_walk_ms["ours v" + v] = Median(ours);
  g_walk_ms["snmpwalk v" + v] = Median(theirs);
  state.counters["ours_ms"] = Median(ours);
  state.counters["snmpwalk_ms"] = Median(theirs);
  state.counters["ratio"] = Median(ours) / Median(theirs);
  state.counters["variables"] = static_cast<double>(rows);
  state.counters["snmpwalk_variables"] = static_cast<double>(lines);
}

// Runs a program to its end, its output thrown away; milliseconds, or -1
// when it failed.
double TimedRun(const std::vector<std::string>& args) {
  const auto start = Clock::now();
  const pid_t pid = netsnmp::Spawn(args, "/dev/null");
  if (pid <= 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Ours and snmpbulkwalk in turns, as whole processes; medians of the rounds.
void BM_BulkWalkProcesses(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.agent_ok) return state.SkipWithError("snmpd did not start");
  static TempHome home;  // tavelo's settings and logs stay out of the user's folders
  std::vector<double> ours, theirs;
  for (auto _ : state) {
    const double a = TimedRun({TAVELO_CLI_PATH, "walk", "-v", "2c", "-c", "tumbol", w.agent.Target()});
    const double b = TimedRun({"snmpbulkwalk", "-v2c", "-c", "tumbol", "-On", w.agent.Target(), ".1"});
    if (a < 0 || b < 0) return state.SkipWithError("a walk failed");
    ours.push_back(a);
    theirs.push_back(b);
  }
  g_walk_ms["tavelo walk v2c"] = Median(ours);
  g_walk_ms["snmpbulkwalk v2c"] = Median(theirs);
  state.counters["tavelo_ms"] = Median(ours);
  state.counters["snmpbulkwalk_ms"] = Median(theirs);
  state.counters["ratio"] = Median(ours) / Median(theirs);
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

// Sends `rate` traps a second for `seconds`, in 1 ms bursts.
void Load(uint16_t port, uint64_t rate, double seconds, uint64_t* sent) {
  const std::vector<uint8_t> trap = TrapDatagram();
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto start = Clock::now();
  const uint64_t total = static_cast<uint64_t>(rate * seconds);
  *sent = 0;
  while (*sent < total) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const uint64_t due = std::min<uint64_t>(total, static_cast<uint64_t>(elapsed * rate) + 1);
    while (*sent < due) {
      if (::sendto(fd, trap.data(), trap.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
          static_cast<ssize_t>(trap.size()))
        ++*sent;
    }
    std::this_thread::sleep_until(start + std::chrono::microseconds(static_cast<int64_t>(1e6 * (*sent) / rate)));
  }
  ::close(fd);
}

std::map<uint64_t, uint64_t> g_lost_at_rate;

void BM_TrapIntake(benchmark::State& state) {
  World& w = TheWorld();
  const uint64_t rate = static_cast<uint64_t>(state.range(0));
  const double seconds = static_cast<double>(state.range(1));
  uint64_t sent = 0;
  uint64_t received = 0;
  for (auto _ : state) {
    CThreadActionTrapper trapper;
    const uint16_t port = netsnmp::FreeUdpPort();
    w.view->trapper.store(&trapper);
    trapper.Start(port);
    // Running once its begin step bound the port; let go at once when it could not.
    for (int i = 0; i < 500 && !trapper.IsRunning() && trapper.IsAttached(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!trapper.IsRunning()) {
      w.view->trapper.store(nullptr);
      return state.SkipWithError("trap port taken");
    }
    const uint64_t before = w.view->m_traps.load();
    Load(port, rate, seconds, &sent);
    // Let the receiver and the view catch up.
    uint64_t last = 0;
    for (int i = 0; i < 200; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      received = w.view->m_traps.load() - before;
      if (received == sent || (received == last && i > 20)) break;
      last = received;
    }
    trapper.Stop();
    trapper.WaitReleased(10000);
    w.view->trapper.store(nullptr);
  }
  g_lost_at_rate[rate] = sent - received;
  state.counters["sent"] = static_cast<double>(sent);
  state.counters["received"] = static_cast<double>(received);
  state.counters["lost"] = static_cast<double>(sent - received);
}

BENCHMARK(BM_WholeMibWalk)->Arg(0)->Arg(1)->Iterations(31)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BulkWalkProcesses)->Iterations(31)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TrapIntake)
    ->Args({20000, 5})
    ->Args({50000, 2})
    ->Args({100000, 2})
    ->Args({200000, 2})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  for (const char* v : {"1", "2c"}) {
    auto ours = g_walk_ms.find(std::string("ours v") + v);
    auto theirs = g_walk_ms.find(std::string("snmpwalk v") + v);
    if (ours == g_walk_ms.end() || theirs == g_walk_ms.end()) continue;
    std::printf("whole-MIB walk v%s (median): ours %.2f ms, snmpwalk %.2f ms, ratio ours/theirs %.2f (goal <= 1.0)\n",
                v, ours->second, theirs->second, ours->second / theirs->second);
  }
  auto tavelo = g_walk_ms.find("tavelo walk v2c");
  auto bulk = g_walk_ms.find("snmpbulkwalk v2c");
  if (tavelo != g_walk_ms.end() && bulk != g_walk_ms.end())
    std::printf(
        "whole-MIB bulk walk as processes (median): tavelo walk -v 2c %.2f ms, snmpbulkwalk %.2f ms, ratio "
        "%.2f (goal <= 1.0)\n",
        tavelo->second, bulk->second, tavelo->second / bulk->second);
  uint64_t best = 0;
  for (const auto& [rate, lost] : g_lost_at_rate) {
    std::printf("trap intake at %llu traps/s: %llu lost\n", static_cast<unsigned long long>(rate),
                static_cast<unsigned long long>(lost));
    if (lost == 0 && rate > best) best = rate;
  }
  if (!g_lost_at_rate.empty())
    std::printf("highest rate with zero loss: %llu traps/s (goal: 20000 for 5 s)\n",
                static_cast<unsigned long long>(best));
  benchmark::Shutdown();
  return 0;
}
