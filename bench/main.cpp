// The benchmark program: Google Benchmark's table, then the figures, the
// self-checks and one line per target.
#include <cstdio>

#include <benchmark/benchmark.h>

#include "bench_registry.h"
#include "benchmarks.h"

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  register_engine_benchmarks();
  register_layer_benchmarks();
  register_preview_benchmarks();
  register_preview_drag_benchmarks();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::fflush(stdout);
  return figures_print() ? 1 : 0;
}
