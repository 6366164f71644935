// A 10,000-batch SQL script played into SQLite by Setrig_OdbcPlayScript
// (SQLite3 ODBC driver), side by side with the sqlite3 program running the
// same statements from a file. Counters: batches per second.
//
// Both start from an empty database file in the same folder and run every
// statement in autocommit mode; the first statement of both scripts turns
// SQLite's fsync off, so the figures compare statement handling, not the
// disk.
#include "setrig/Setrig.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <glob.h>
#include <iostream>
#include <spawn.h>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kBatches = 10000;

std::string FirstMatch(const char* pattern) {
  glob_t found{};
  std::string path;
  if (::glob(pattern, 0, nullptr, &found) == 0 && found.gl_pathc > 0) path = found.gl_pathv[0];
  ::globfree(&found);
  return path;
}

// A temporary folder with the driver registered (never /etc/odbcinst.ini)
// and both scripts written; removed at the end.
class Workspace {
 public:
  Workspace() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavelo-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    m_dir = pattern;
    std::ofstream(m_dir / "odbcinst.ini")
        << "[Bench SQLite3]\nDriver=" << FirstMatch("/usr/lib/*/odbc/libsqlite3odbc.so") << "\n";
    std::ofstream(m_dir / "odbc.ini").close();
    ::setenv("ODBCSYSINI", m_dir.c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);
    ::setenv("ODBCINI", (m_dir / "odbc.ini").c_str(), 1);
    ::setenv("HOME", m_dir.c_str(), 1);
    ::setenv("XDG_STATE_HOME", (m_dir / "state").c_str(), 1);

    std::ofstream go(m_dir / "batches.sql");
    std::ofstream plain(m_dir / "statements.sql");
    const std::string create = "PRAGMA synchronous = OFF";
    const std::string table = "CREATE TABLE agent(id INTEGER, name TEXT, port INTEGER)";
    go << create << "\nGO\n" << table << "\nGO\n";
    plain << create << ";\n" << table << ";\n";
    for (int i = 0; i < kBatches - 2; ++i) {
      const std::string insert =
          "INSERT INTO agent VALUES(" + std::to_string(i) + ", 'agent-" + std::to_string(i) + "', 161)";
      go << insert << "\nGO\n";
      plain << insert << ";\n";
    }
  }
  ~Workspace() {
    std::error_code ec;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
  }

  std::string Path(const char* name) const { return (m_dir / name).string(); }
  void FreshDatabase() const {
    std::error_code ec;
    std::filesystem::remove(m_dir / "bench.db", ec);
  }
  bool Ready() const { return !m_dir.empty(); }

 private:
  std::filesystem::path m_dir;
};

Workspace& Space() {
  static Workspace space;
  return space;
}

int RunProgram(const std::string& program, const std::string& database, const std::string& command) {
  const char* argv[] = {program.c_str(), "-batch", database.c_str(), command.c_str(), nullptr};
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_SetrigPlayScript(benchmark::State& state) {
  Workspace& space = Space();
  const std::string db = space.Path("bench.db");
  const std::string script = space.Path("batches.sql");
  for (auto _ : state) {
    state.PauseTiming();
    space.FreshDatabase();
    state.ResumeTiming();
    if (!Setrig_OdbcPlayScript("Bench SQLite3", "localhost", "bench", "bench", db.c_str(), script.c_str())) {
      state.SkipWithError("Setrig_OdbcPlayScript failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatches);
  state.counters["batches_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBatches, benchmark::Counter::kIsRate);
}

void BM_Sqlite3Program(benchmark::State& state) {
  Workspace& space = Space();
  const std::string db = space.Path("bench.db");
  const std::string read = ".read " + space.Path("statements.sql");
  for (auto _ : state) {
    state.PauseTiming();
    space.FreshDatabase();
    state.ResumeTiming();
    if (RunProgram("sqlite3", db, read) != 0) {
      state.SkipWithError("sqlite3 failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatches);
  state.counters["batches_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBatches, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SetrigPlayScript)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_Sqlite3Program)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (!Space().Ready()) {
    std::cerr << "cannot make the temporary folder\n";
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
