// Loading MIB modules, side by side with Net-SNMP's snmptranslate on the
// same folder: the IETF set (444 modules) and the whole collection.
//
//   bench_smi [--benchmark_filter=...]    (folder: $TAVELO_MIBS_DIR or the
//                                          one next to the repository)
//
// The process benchmarks run our smi_load_tool and snmptranslate as child
// processes (start to exit, output discarded) and report each child's peak
// memory; the summary at the end gives our time over theirs.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "quillog/Quillog.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"

extern char** environ;

namespace {

std::string MibsDir() {
  const char* env = std::getenv("TAVELO_MIBS_DIR");
  return env && *env ? env : TAVELO_MIBS_DIR;
}

std::vector<std::string> IetfModules() {
  std::vector<std::string> names;
  std::ifstream list(MibsDir() + "/IETF-MODULES.txt");
  for (std::string line; std::getline(list, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

std::string Join(const std::vector<std::string>& names, char sep) {
  std::string joined;
  for (const auto& n : names) joined += (joined.empty() ? "" : std::string(1, sep)) + n;
  return joined;
}

struct RunResult {
  double seconds = -1;
  long peak_kb = 0;
  int status = -1;
};

// Runs argv with output discarded; wall time and the child's peak memory.
RunResult RunProcess(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  RunResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) == pid) {
      result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      result.peak_kb = usage.ru_maxrss;
      result.status = status;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  return result;
}

std::map<std::string, double>& Means() {
  static std::map<std::string, double> means;
  return means;
}

void ProcessBenchmark(benchmark::State& state, const std::string& key, const std::vector<std::string>& args) {
  double total = 0;
  long peak = 0;
  for (auto _ : state) {
    const RunResult r = RunProcess(args);
    if (r.seconds < 0) {
      state.SkipWithError(("cannot run " + args[0]).c_str());
      return;
    }
    state.SetIterationTime(r.seconds);
    total += r.seconds;
    peak = std::max(peak, r.peak_kb);
  }
  state.counters["peak_MB"] = static_cast<double>(peak) / 1024.0;
  Means()[key] = total / static_cast<double>(state.iterations());
}

void BM_TaveloIetfInProcess(benchmark::State& state) {
  SetMibSearchFolders({quillog::Utf8ToWide(MibsDir())});
  const auto keys = ModuleKeysFromList(quillog::Utf8ToWide(Join(IetfModules(), ';')));
  CSmiTree tree;
  CSmiLoader loader(tree);
  for (auto _ : state) {
    if (!loader.Load(keys, true, 1)) {
      state.SkipWithError("IETF load failed");
      break;
    }
  }
  state.counters["objects"] = static_cast<double>(tree.ObjectCount());
  state.counters["modules"] = static_cast<double>(tree.Modules().size());
  SetMibSearchFolders({});
}

void BM_TaveloIetfProcess(benchmark::State& state) {
  ProcessBenchmark(state, "tavelo-ietf",
                   {SMI_LOAD_TOOL, "--list=" + MibsDir() + "/IETF-MODULES.txt", MibsDir()});
}

void BM_SnmptranslateIetf(benchmark::State& state) {
  ProcessBenchmark(state, "netsnmp-ietf",
                   {"snmptranslate", "-M", MibsDir(), "-m", Join(IetfModules(), ':'), "-Tz"});
}

void BM_TaveloAllProcess(benchmark::State& state) {
  ProcessBenchmark(state, "tavelo-all", {SMI_LOAD_TOOL, "--keep-going", MibsDir()});
}

void BM_SnmptranslateAll(benchmark::State& state) {
  ProcessBenchmark(state, "netsnmp-all", {"snmptranslate", "-M", MibsDir(), "-m", "ALL", "-Tz"});
}

// Child processes first: a child's peak memory counts the parent's pages it
// starts with, so the parent must not hold a loaded tree yet.
BENCHMARK(BM_TaveloIetfProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_SnmptranslateIetf)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TaveloAllProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_SnmptranslateAll)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_TaveloIetfInProcess)->Unit(benchmark::kMillisecond)->Iterations(3);

void PrintRatio(const char* what, const std::string& ours, const std::string& theirs) {
  auto& m = Means();
  if (!m.count(ours) || !m.count(theirs) || m[theirs] <= 0) return;
  std::printf("%s: tavelo %.3f s, snmptranslate %.3f s, ratio %.2f (below 1: faster)\n", what, m[ours], m[theirs],
              m[ours] / m[theirs]);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatio("IETF set, one load", "tavelo-ietf", "netsnmp-ietf");
  PrintRatio("whole collection, one load", "tavelo-all", "netsnmp-all");
  return 0;
}
