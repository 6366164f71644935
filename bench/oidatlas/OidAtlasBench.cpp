// OidAtlas_Translate of a 12-arc OID, side by side with Net-SNMP's
// snprint_objid on the same OID, and the libraries' sizes on disk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <stdlib.h>
#include <string>

namespace {

constexpr char16_t kOid12[] = u"1.3.6.1.2.1.31.1.1.1.6.3";            // ifHCInOctets.3
constexpr char16_t kOid12Shallow[] = u"1.3.6.1.4.1.99999.1.2.3.4.5";  // enterprises.99999.1.2.3.4.5
constexpr unsigned long kArcs12[] = {1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 6, 3};

class Library {
 public:
  explicit Library(const char* path) : m_handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (m_handle) dlclose(m_handle);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  template <typename F>
  F Get(const char* name) const {
    return m_handle ? reinterpret_cast<F>(dlsym(m_handle, name)) : nullptr;
  }

 private:
  void* m_handle;
};

using TranslateFn = const char16_t* (*)(const char16_t*);

void RegisterAtlas(const std::string& label, const char* path) {
  static std::map<std::string, std::unique_ptr<Library>> libraries;
  auto& lib = libraries[label];
  lib = std::make_unique<Library>(path);
  const auto translate = lib->Get<TranslateFn>("OidAtlas_Translate");
  if (!translate) {
    std::cerr << "cannot load " << path << "\n";
    return;
  }
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  benchmark::AddCustomContext("size of " + std::filesystem::path(path).filename().string(),
                              ec ? "unknown" : std::to_string(size) + " bytes");
  for (const auto& [name, oid] : {std::pair{"12arcs", kOid12}, std::pair{"12arcs_shallow", kOid12Shallow}}) {
    benchmark::RegisterBenchmark(("OidAtlas_Translate/" + label + "/" + name).c_str(),
                                 [translate, oid = oid](benchmark::State& state) {
                                   for (auto _ : state) benchmark::DoNotOptimize(translate(oid));
                                 });
  }
}

// Net-SNMP's library as installed (no headers needed): the MIB tree is
// loaded from the same folder the table is generated from.
void RegisterNetSnmp() {
  static Library netsnmp("libnetsnmp.so.40");
  using InitFn = void (*)();
  using PrintFn = int (*)(char*, size_t, const unsigned long*, size_t);
  const auto init = netsnmp.Get<InitFn>("init_mib");
  const auto print = netsnmp.Get<PrintFn>("snprint_objid");
  const std::filesystem::path mibs = TAVELO_MIBS_DIR;
  if (!init || !print || !std::filesystem::is_directory(mibs)) {
    std::cerr << "Net-SNMP peer not run (libnetsnmp.so.40 or " << mibs << " missing)\n";
    return;
  }
  const std::string home = (std::filesystem::temp_directory_path() / "oidatlas-bench-netsnmp").string();
  std::filesystem::create_directories(home);
  setenv("SNMPCONFPATH", home.c_str(), 1);
  setenv("SNMP_PERSISTENT_DIR", home.c_str(), 1);
  setenv("HOME", home.c_str(), 1);
  setenv("MIBDIRS", mibs.c_str(), 1);
  setenv("MIBS", "IF-MIB", 1);
  init();
  char check[256];
  print(check, sizeof check, kArcs12, 12);
  benchmark::AddCustomContext("netsnmp says", check);
  benchmark::RegisterBenchmark("netsnmp_snprint_objid/12arcs", [print](benchmark::State& state) {
    char buf[256];
    for (auto _ : state) {
      print(buf, sizeof buf, kArcs12, 12);
      benchmark::DoNotOptimize(buf);
    }
  });
}

// Prints our CPU times as ratios to the peer's after the run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // With repetitions, the median stands for the benchmark.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      m_times[run.run_name.str()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto peer = m_times.find("netsnmp_snprint_objid/12arcs");
    if (peer == m_times.end()) return;
    for (const auto& [name, time] : m_times) {
      if (name.rfind("OidAtlas_Translate/", 0) == 0) {
        std::printf("ratio %s / netsnmp_snprint_objid: %.3f\n", name.c_str(), time / peer->second);
      }
    }
  }

 private:
  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  RegisterAtlas("liboidatlas", OIDATLAS_LIBRARY);
  RegisterNetSnmp();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
