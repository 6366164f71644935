#include "quillog/Quillog.h"

#include <benchmark/benchmark.h>

#include <string>

// A trace line whose feature is off: must cost one mask test.
static void BM_QuillogFeatureOff(benchmark::State& state) {
  QuillogSetFeatureLevel(0);
  const std::wstring name = L"Thread pool #0";
  int i = 0;
  for (auto _ : state) {
    QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"The thread %s is waiting... %d", name, i++);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_QuillogFeatureOff);

// The same line formatted and handed on (no file, no receiver): the cost a
// trace has once its feature is switched on.
static void BM_QuillogFeatureOnNoOutput(benchmark::State& state) {
  QuillogSetFeatureLevel(QLF_LIB_THREAD_LOW);
  QuillogOutputDisable();
  const std::wstring name = L"Thread pool #0";
  int i = 0;
  for (auto _ : state) QuillogW(QUILLOG_USER, QLF_LIB_THREAD_LOW, L"The thread %s is waiting... %d", name, i++);
  QuillogSetFeatureLevel(0);
}
BENCHMARK(BM_QuillogFeatureOnNoOutput);

BENCHMARK_MAIN();
