// Cost of a raise: one dropped below the threshold beside a plain fprintf to
// /dev/null, and one that formats and prints to /dev/null.
#include <cstdio>

#include <benchmark/benchmark.h>

#include "zkerr.h"

namespace {

FILE *null_stream() {
  static FILE *stream = std::fopen("/dev/null", "w");
  return stream;
}

void BM_RaiseBelowThreshold(benchmark::State &state) {
  int h = 0;
  zkerr_new(&h);
  zkerr_file(h, null_stream());
  for (auto _ : state) benchmark::DoNotOptimize(zkerr_throw(h, 3, "dropped %d\n", 42));
  zkerr_delete(h);
}
BENCHMARK(BM_RaiseBelowThreshold);

void BM_FprintfToDevNull(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(std::fprintf(null_stream(), "dropped %d\n", 42));
}
BENCHMARK(BM_FprintfToDevNull);

void BM_RaisePrinted(benchmark::State &state) {
  int h = 0;
  zkerr_new(&h);
  zkerr_file(h, null_stream());
  zkerr_prefix(h, "bench: ");
  for (auto _ : state) benchmark::DoNotOptimize(zkerr_throw(h, 4, "printed %d of %s\n", 42, "many"));
  zkerr_delete(h);
}
BENCHMARK(BM_RaisePrinted);

}  // namespace

BENCHMARK_MAIN();
