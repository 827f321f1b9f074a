// The benchmarks' entry point: the journal is off, as the figures are about
// the simulated machine, not about writing journal lines.
#include <benchmark/benchmark.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  setenv("WINSIM_JOURNAL", "0", 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
