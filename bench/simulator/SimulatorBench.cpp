// Answered Get requests per second with 16 requests in flight: our agent
// simulator and Net-SNMP's snmpd answering the same OID, side by side, and a
// bare UDP echo server as the ceiling of the machine.
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "bench/simulator/LoadGenerator.h"
#include "simulator/SimulatorEntry.h"
#include "simulator/ThreadActionSimuler.h"
#include "tests/common/NetSnmp.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kOutstanding = 16;
constexpr double kSecondsPerRound = 0.3;
const char kSysDescr[] = "Tavelo benchmark agent";
// sysDescr.0 as OID content octets.
const std::vector<uint8_t> kSysDescrOid = {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00};

// snmpd answering sysDescr to community "public", with `more` configuration.
std::string SnmpdConfig(const std::string& more = "") {
  return std::string("rocommunity public 127.0.0.1\nsysDescr ") + kSysDescr + "\ndontLogTCPWrappersConnects yes\n" +
         more;
}

struct Agents {
  Agents() : snmpd(SnmpdConfig(), "public") {
    simulator.kind = CSimulatorEntry::KindSimulator;
    simulator.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"Tavelo benchmark agent");
    simulator.AddValue(L"1.3.6.1.2.1.1.3.0", L"TimeTicks", L"4242");
    simulator.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"bench-host");
    simulator.SortValues();
    simulator_port = netsnmp::FreeUdpPort();
    started =
        engine.Start(simulator_port, true, true, L"public", &simulator) && engine.WaitBegun(5000) && snmpd.Start();
  }
  ~Agents() {
    engine.Stop();
    engine.WaitIdle(5000);
  }
  CSimulatorEntry simulator;
  CThreadActionSimuler engine;
  uint16_t simulator_port = 0;
  bool started = false;
  netsnmp::Agent snmpd;
  simbench::EchoServer echo;
};

// Rounds alternate between the three servers so that a change in the load
// of the machine touches them alike. Besides the rates, the CPU time each
// server spends per answered request is reported: on a busy machine the
// rates follow the share of CPU the servers get, the cost per request does not.
void BM_AnsweredGetRequests(benchmark::State& state) {
  Agents agents;
  if (!agents.started) {
    state.SkipWithError("an agent could not be started");
    return;
  }
  const simbench::GetRequest request("public", kSysDescrOid);
  struct Total {
    simbench::LoadResult load;
    double cpu = 0;
    void Add(const simbench::LoadResult& round, double cpu_seconds) {
      load.answered += round.answered;
      load.sent += round.sent;
      load.seconds += round.seconds;
      cpu += cpu_seconds;
    }
    double MicrosPerRequest() const { return load.answered ? cpu * 1e6 / static_cast<double>(load.answered) : 0; }
  } ours, theirs, echo;
  // Our agent and the echo server are threads of this process: their CPU is
  // the process's minus this (generator) thread's.
  auto in_process = [&](Total* total, uint16_t port) {
    const double before = simbench::OtherThreadsCpuSeconds();
    const simbench::LoadResult round = simbench::RunLoad(port, request, kOutstanding, kSecondsPerRound);
    total->Add(round, simbench::OtherThreadsCpuSeconds() - before);
  };
  for (auto _ : state) {
    in_process(&ours, agents.simulator_port);
    const double before = simbench::ProcessCpuSeconds(agents.snmpd.Pid());
    const simbench::LoadResult round = simbench::RunLoad(agents.snmpd.Port(), request, kOutstanding, kSecondsPerRound);
    theirs.Add(round, simbench::ProcessCpuSeconds(agents.snmpd.Pid()) - before);
    in_process(&echo, agents.echo.port());
  }
  state.counters["tavelo_per_s"] = ours.load.Rate();
  state.counters["snmpd_per_s"] = theirs.load.Rate();
  state.counters["echo_per_s"] = echo.load.Rate();
  state.counters["ratio_vs_snmpd"] = theirs.load.Rate() > 0 ? ours.load.Rate() / theirs.load.Rate() : 0;
  state.counters["tavelo_cpu_us"] = ours.MicrosPerRequest();
  state.counters["snmpd_cpu_us"] = theirs.MicrosPerRequest();
  state.counters["echo_cpu_us"] = echo.MicrosPerRequest();
  state.counters["cpu_ratio_vs_snmpd"] =
      ours.MicrosPerRequest() > 0 ? theirs.MicrosPerRequest() / ours.MicrosPerRequest() : 0;
}
BENCHMARK(BM_AnsweredGetRequests)->Iterations(10)->Unit(benchmark::kSecond)->UseRealTime();

// Runs a Net-SNMP tool to its end with its output in `out_path`; its wall
// time in seconds, or a negative number when it could not run.
double RunTool(const std::vector<std::string>& args, const std::string& out_path) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = netsnmp::Spawn(args, out_path, "/dev/null");
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The lines of a walk's output but the end of the view, which the
// simulator reaches and snmpd, with more behind, does not.
std::string WalkedLines(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  for (std::string line; std::getline(in, line);) {
    if (line.find("No more variables left in this MIB View") == std::string::npos) text += line + "\n";
  }
  return text;
}

// snmpbulkwalk of the same 100 strings served by our simulator and by
// snmpd (the strings as `override` values), rounds alternating. Besides the
// walk times (mostly the tool's own start), the CPU each server spends per
// walk.
void BM_BulkWalkHundredValues(benchmark::State& state) {
  std::string overrides;
  CSimulatorEntry simulator;
  simulator.kind = CSimulatorEntry::KindSimulator;
  for (int i = 1; i <= 100; ++i) {
    const std::string oid = "1.3.6.1.4.1.99999.1." + std::to_string(i) + ".0";
    overrides += "override ." + oid + " octet_str \"value " + std::to_string(i) + "\"\n";
    simulator.AddValue(std::wstring(oid.begin(), oid.end()), L"Octet String", L"value " + std::to_wstring(i));
  }
  simulator.SortValues();
  netsnmp::Agent snmpd(SnmpdConfig(overrides), "public");
  CThreadActionSimuler engine;
  const uint16_t port = netsnmp::FreeUdpPort();
  if (!snmpd.Start() || !engine.Start(port, true, true, L"public", &simulator) || !engine.WaitBegun(5000)) {
    state.SkipWithError("an agent could not be started");
    return;
  }
  const std::string out =
      (std::filesystem::temp_directory_path() / ("tavelo-bulkwalk-" + std::to_string(::getpid()) + ".txt")).string();
  auto walk = [&](uint16_t to) {
    return RunTool({"snmpbulkwalk", "-v2c", "-c", "public", "-On", "-Cr" + std::to_string(state.range(0)), "-t", "1",
                    "127.0.0.1:" + std::to_string(to), "1.3.6.1.4.1.99999"},
                   out);
  };
  // Both must list the same 100 values.
  std::string listed[2];
  for (int i = 0; i < 2; ++i) {
    if (walk(i == 0 ? port : snmpd.Port()) < 0) break;
    listed[i] = WalkedLines(out);
  }
  const size_t lines = static_cast<size_t>(std::count(listed[0].begin(), listed[0].end(), '\n'));
  if (listed[0] != listed[1] || lines != 100) {
    state.SkipWithError("the two walks differ or do not list 100 values");
    engine.Stop();
    engine.WaitIdle(5000);
    return;
  }
  double ours_wall = 0, theirs_wall = 0, ours_cpu = 0, theirs_cpu = 0;
  int64_t walks = 0;
  for (auto _ : state) {
    double before = simbench::OtherThreadsCpuSeconds();
    ours_wall += walk(port);
    ours_cpu += simbench::OtherThreadsCpuSeconds() - before;
    before = simbench::ProcessCpuSeconds(snmpd.Pid());
    theirs_wall += walk(snmpd.Port());
    theirs_cpu += simbench::ProcessCpuSeconds(snmpd.Pid()) - before;
    ++walks;
  }
  engine.Stop();
  engine.WaitIdle(5000);
  std::filesystem::remove(out);
  const double n = static_cast<double>(walks);
  state.counters["tavelo_walk_ms"] = ours_wall * 1e3 / n;
  state.counters["snmpd_walk_ms"] = theirs_wall * 1e3 / n;
  state.counters["walk_time_ratio_vs_snmpd"] = theirs_wall > 0 ? ours_wall / theirs_wall : 0;
  state.counters["tavelo_cpu_us_per_walk"] = ours_cpu * 1e6 / n;
  state.counters["snmpd_cpu_us_per_walk"] = theirs_cpu * 1e6 / n;
  state.counters["cpu_ratio_vs_snmpd"] = theirs_cpu > 0 ? ours_cpu / theirs_cpu : 0;
}
BENCHMARK(BM_BulkWalkHundredValues)->Arg(10)->Arg(25)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// A simulator of 100 strings, 1.3.6.1.2.1.1.1.0 to 1.3.6.1.2.1.1.100.0.
void FillHundredValues(CSimulatorEntry& simulator) {
  simulator.kind = CSimulatorEntry::KindSimulator;
  for (int i = 1; i <= 100; ++i) {
    simulator.AddValue(L"1.3.6.1.2.1.1." + std::to_wstring(i) + L".0", L"Octet String", L"value " + std::to_wstring(i));
  }
}

// The engine's own work for one Get, without the network.
void BM_HandleOneGet(benchmark::State& state) {
  CSimulatorEntry simulator;
  FillHundredValues(simulator);
  CThreadActionSimuler engine;
  // Parameters only; the worker is never handed to a thread here.
  engine.Configure(true, true, L"public", &simulator);
  const simbench::GetRequest request("public", {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x32, 0x00});
  for (auto _ : state) {
    CBerDecoder decoder;
    decoder.Assign(request.bytes().data(), static_cast<uint32_t>(request.bytes().size()));
    CBerEncoder answer;
    benchmark::DoNotOptimize(engine.HandleDatagram(decoder, answer));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HandleOneGet);

// The same Get through the shortcut the serve loop takes for plain requests.
void BM_AnswerFastGet(benchmark::State& state) {
  CSimulatorEntry simulator;
  FillHundredValues(simulator);
  CThreadActionSimuler engine;
  engine.Configure(true, true, L"public", &simulator);
  const simbench::GetRequest request("public", {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x32, 0x00});
  std::vector<uint8_t> answer;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        engine.AnswerFast(request.bytes().data(), static_cast<uint32_t>(request.bytes().size()), &answer));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AnswerFastGet);

}  // namespace

BENCHMARK_MAIN();
