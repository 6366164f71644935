// Answered Get requests per second with 16 requests in flight: our agent
// simulator and Net-SNMP's snmpd answering the same OID, side by side, and a
// bare UDP echo server as the ceiling of the machine.
#include "bench/simulator/LoadGenerator.h"
#include "simulator/SimulatorEntry.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "simulator/ThreadActionSimuler.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kOutstanding = 16;
constexpr double kSecondsPerRound = 0.3;
const char kSysDescr[] = "Tavelo benchmark agent";
// sysDescr.0 as OID content octets.
const std::vector<uint8_t> kSysDescrOid = {0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00};

struct Agents {
  Agents() : snmpd(kSysDescr) {
    simulator.kind = CSimulatorEntry::KindSimulator;
    simulator.AddValue(L"1.3.6.1.2.1.1.1.0", L"Octet String", L"Tavelo benchmark agent");
    simulator.AddValue(L"1.3.6.1.2.1.1.3.0", L"TimeTicks", L"4242");
    simulator.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"bench-host");
    simulator.SortValues();
    simulator_port = simbench::FreeUdpPort();
    started = engine.Start(simulator_port, true, true, L"public", &simulator) && engine.WaitBegun(5000);
  }
  ~Agents() {
    engine.Stop();
    engine.WaitIdle(5000);
  }
  CSimulatorEntry simulator;
  CThreadActionSimuler engine;
  uint16_t simulator_port = 0;
  bool started = false;
  simbench::Snmpd snmpd;
  simbench::EchoServer echo;
};

// Rounds alternate between the three servers so that a change in the load
// of the machine touches them alike. Besides the rates, the CPU time each
// server spends per answered request is reported: on a busy machine the
// rates follow the share of CPU the servers get, the cost per request does not.
void BM_AnsweredGetRequests(benchmark::State& state) {
  Agents agents;
  if (!agents.started || !agents.snmpd.ok()) {
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
    const double before = simbench::ProcessCpuSeconds(agents.snmpd.pid());
    const simbench::LoadResult round = simbench::RunLoad(agents.snmpd.port(), request, kOutstanding, kSecondsPerRound);
    theirs.Add(round, simbench::ProcessCpuSeconds(agents.snmpd.pid()) - before);
    in_process(&echo, agents.echo.port());
  }
  state.counters["tavelo_per_s"] = ours.load.Rate();
  state.counters["snmpd_per_s"] = theirs.load.Rate();
  state.counters["echo_per_s"] = echo.load.Rate();
  state.counters["ratio_vs_snmpd"] = theirs.load.Rate() > 0 ? ours.load.Rate() / theirs.load.Rate() : 0;
  state.counters["tavelo_cpu_us"] = ours.MicrosPerRequest();
  state.counters["snmpd_cpu_us"] = theirs.MicrosPerRequest();
  state.counters["echo_cpu_us"] = echo.MicrosPerRequest();
  state.counters["cpu_ratio_vs_snmpd"] = ours.MicrosPerRequest() > 0 ? theirs.MicrosPerRequest() / ours.MicrosPerRequest() : 0;
}
BENCHMARK(BM_AnsweredGetRequests)->Iterations(10)->Unit(benchmark::kSecond)->UseRealTime();


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
