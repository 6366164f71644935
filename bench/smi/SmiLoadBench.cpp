// Loading MIB modules, side by side with Net-SNMP's snmptranslate on the
// same folder: the IETF set (444 modules) and the whole collection, and
// end to end as a user runs it: `tavelo mib load --tsv` of the IETF set
// against `snmptranslate -M DIR -m MODULES -Tz`.
//
//   bench_smi [--benchmark_filter=...]    (folder: $TAVELO_MIBS_DIR or the
//                                          one next to the repository)
//
// The side-by-side benchmarks run our smi_load_tool and snmptranslate as
// child processes (start to exit, output discarded), in turns, and report
// CPU time (user + system), wall time and peak memory of each; the summary
// at the end gives ours over theirs (below 1: ours is faster or smaller).
#include "quillog/Quillog.h"
#include "smi/MibFolders.h"
#include "smi/SmiLoader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// A settings folder for the benchmark's runs of tavelo, made once.
std::string SettingsHome() {
  static const std::string home = [] {
    char pattern[] = "/tmp/bench_smi.XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp");
  }();
  return home;
}

struct RunResult {
  double seconds = -1;  // wall
  double cpu = -1;      // user + system
  long peak_kb = 0;
  int status = -1;
};

// Runs argv with output discarded; wall and CPU time and the child's peak memory.
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
      auto tv = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
      result.cpu = tv(usage.ru_utime) + tv(usage.ru_stime);
      result.peak_kb = usage.ru_maxrss;
      result.status = status;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  return result;
}

// What one side of a comparison measured over the runs.
struct Side {
  std::vector<double> cpu;
  std::vector<double> wall;
  long peak_kb = 0;

  void Add(const RunResult& r) {
    cpu.push_back(r.cpu);
    wall.push_back(r.seconds);
    peak_kb = std::max(peak_kb, r.peak_kb);
  }
};

double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Comparison {
  std::string what;
  Side ours;
  Side theirs;
};

std::vector<Comparison>& Comparisons() {
  static std::vector<Comparison> comparisons;
  return comparisons;
}

// Each iteration runs both programs, in turns first, so that a busy moment
// of the machine weighs on both alike. The time reported is ours (wall).
void SideBySide(benchmark::State& state, const std::string& what, const std::vector<std::string>& ours,
                const std::vector<std::string>& theirs) {
  Comparison c{what, {}, {}};
  bool ours_first = true;
  for (auto _ : state) {
    RunResult a, b;
    if (ours_first) {
      a = RunProcess(ours);
      b = RunProcess(theirs);
    } else {
      b = RunProcess(theirs);
      a = RunProcess(ours);
    }
    ours_first = !ours_first;
    if (a.seconds < 0 || b.seconds < 0) {
      state.SkipWithError("cannot run a program");
      return;
    }
    state.SetIterationTime(a.seconds);
    c.ours.Add(a);
    c.theirs.Add(b);
  }
  state.counters["cpu_ms"] = Min(c.ours.cpu) * 1e3;
  state.counters["peer_cpu_ms"] = Min(c.theirs.cpu) * 1e3;
  state.counters["cpu_ratio"] = Min(c.ours.cpu) / Min(c.theirs.cpu);
  state.counters["peak_MB"] = static_cast<double>(c.ours.peak_kb) / 1024.0;
  state.counters["peer_peak_MB"] = static_cast<double>(c.theirs.peak_kb) / 1024.0;
  Comparisons().push_back(std::move(c));
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

void BM_IetfSideBySide(benchmark::State& state) {
  SideBySide(state, "IETF set (444 modules), one load",
             {SMI_LOAD_TOOL, "--list=" + MibsDir() + "/IETF-MODULES.txt", MibsDir()},
             {"snmptranslate", "-M", MibsDir(), "-m", Join(IetfModules(), ':'), "-Tz"});
}

// The modules are listed on the command line, as a user types them; tavelo
// runs with its settings in a folder of its own.
void BM_IetfEndToEnd(benchmark::State& state) {
  const std::vector<std::string> modules = IetfModules();
  std::vector<std::string> ours = {"env",
                                   "HOME=" + SettingsHome(),
                                   "XDG_CONFIG_HOME=" + SettingsHome() + "/config",
                                   "XDG_DATA_HOME=" + SettingsHome() + "/data",
                                   "XDG_STATE_HOME=" + SettingsHome() + "/state",
                                   TAVELO_CLI,
                                   "mib",
                                   "load",
                                   "--tsv",
                                   "-M",
                                   MibsDir()};
  ours.insert(ours.end(), modules.begin(), modules.end());
  SideBySide(state, "IETF set end to end (tavelo mib load --tsv)", ours,
             {"snmptranslate", "-M", MibsDir(), "-m", Join(modules, ':'), "-Tz"});
}

void BM_AllSideBySide(benchmark::State& state) {
  SideBySide(state, "whole collection, one load", {SMI_LOAD_TOOL, "--keep-going", MibsDir()},
             {"snmptranslate", "-M", MibsDir(), "-m", "ALL", "-Tz"});
}

// Child processes first: a child's peak memory counts the parent's pages it
// starts with, so the parent must not hold a loaded tree yet.
BENCHMARK(BM_IetfSideBySide)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_IetfEndToEnd)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_AllSideBySide)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
BENCHMARK(BM_TaveloIetfInProcess)->Unit(benchmark::kMillisecond)->Iterations(3);

void PrintComparison(const Comparison& c) {
  std::printf("%s, tavelo / snmptranslate:\n", c.what.c_str());
  std::printf("  CPU  lowest %.3f / %.3f s = %.2f, median %.3f / %.3f s = %.2f\n", Min(c.ours.cpu), Min(c.theirs.cpu),
              Min(c.ours.cpu) / Min(c.theirs.cpu), Median(c.ours.cpu), Median(c.theirs.cpu),
              Median(c.ours.cpu) / Median(c.theirs.cpu));
  std::printf("  wall lowest %.3f / %.3f s = %.2f\n", Min(c.ours.wall), Min(c.theirs.wall),
              Min(c.ours.wall) / Min(c.theirs.wall));
  std::printf("  peak memory %.1f / %.1f MB = %.2f\n", static_cast<double>(c.ours.peak_kb) / 1024.0,
              static_cast<double>(c.theirs.peak_kb) / 1024.0,
              static_cast<double>(c.ours.peak_kb) / static_cast<double>(std::max(1L, c.theirs.peak_kb)));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const Comparison& c : Comparisons()) PrintComparison(c);
  std::error_code ignored;
  std::filesystem::remove_all(SettingsHome(), ignored);
  return 0;
}
