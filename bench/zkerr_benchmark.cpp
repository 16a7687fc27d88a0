// What a raise costs: below the threshold (a lookup and a compare), and
// printed, side by side with a plain fprintf to /dev/null.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "zkerr.h"

namespace {

FILE *devnull() {
  static FILE *f = std::fopen("/dev/null", "w");
  return f;
}

void BM_RaiseBelowThreshold(benchmark::State &state) {
  zkerr_file(-1, devnull());
  for (auto _ : state) benchmark::DoNotOptimize(zkerr_throw(-1, 3, "file %s not found\n", "x.dat"));
}

void BM_RaisePrinted(benchmark::State &state) {
  zkerr_file(-1, devnull());
  for (auto _ : state) benchmark::DoNotOptimize(zkerr_throw(-1, 4, "file %s not found\n", "x.dat"));
}

void BM_FprintfToDevNull(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(std::fprintf(devnull(), "WARNING file %s not found\n", "x.dat"));
}

BENCHMARK(BM_RaiseBelowThreshold);
BENCHMARK(BM_RaisePrinted);
BENCHMARK(BM_FprintfToDevNull);

}  // namespace

BENCHMARK_MAIN();
