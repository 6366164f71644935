// Answered Get requests per second with 16 requests in flight: our agent
// simulator and Net-SNMP's snmpd answering the same OID, side by side, and a
// bare UDP echo server as the ceiling of the machine.
#include "bench/simulator/LoadGenerator.h"
#include "simulator/SimulatorEntry.h"
#include "asn1/BerDecoder.h"
#include "asn1/BerEncoder.h"
#include "workers/ThreadActionSimuler.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kOutstanding = 16;
constexpr double kSecondsPerRound = 1.0;
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
// of the machine touches them alike.
void BM_AnsweredGetRequests(benchmark::State& state) {
  Agents agents;
  if (!agents.started || !agents.snmpd.ok()) {
    state.SkipWithError("an agent could not be started");
    return;
  }
  const simbench::GetRequest request("public", kSysDescrOid);
  simbench::LoadResult ours, theirs, echo;
  for (auto _ : state) {
    auto add = [](simbench::LoadResult* total, const simbench::LoadResult& round) {
      total->answered += round.answered;
      total->sent += round.sent;
      total->seconds += round.seconds;
    };
    add(&ours, simbench::RunLoad(agents.simulator_port, request, kOutstanding, kSecondsPerRound));
    add(&theirs, simbench::RunLoad(agents.snmpd.port(), request, kOutstanding, kSecondsPerRound));
    add(&echo, simbench::RunLoad(agents.echo.port(), request, kOutstanding, kSecondsPerRound));
  }
  state.counters["tavelo_per_s"] = ours.Rate();
  state.counters["snmpd_per_s"] = theirs.Rate();
  state.counters["echo_per_s"] = echo.Rate();
  state.counters["ratio_vs_snmpd"] = theirs.Rate() > 0 ? ours.Rate() / theirs.Rate() : 0;
  state.counters["tavelo_lost"] = static_cast<double>(ours.sent - ours.answered);
}
BENCHMARK(BM_AnsweredGetRequests)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();


// The engine's own work for one Get, without the network.
void BM_HandleOneGet(benchmark::State& state) {
  CSimulatorEntry simulator;
  simulator.kind = CSimulatorEntry::KindSimulator;
  for (int i = 1; i <= 100; ++i) {
    simulator.AddValue(L"1.3.6.1.2.1.1." + std::to_wstring(i) + L".0", L"Octet String", L"value " + std::to_wstring(i));
  }
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

}  // namespace

BENCHMARK_MAIN();
