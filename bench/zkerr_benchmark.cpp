// Cost of a raise: one dropped below the threshold beside the floor of what
// it must do (lookup, highest level, threshold; the goal is at most 1.4
// times the floor), a plain fprintf to /dev/null, and one that formats and
// prints to /dev/null.
#include <cstdio>

#include <benchmark/benchmark.h>

#include "zkerr.h"

// The floor: a variadic call into another shared object that does only what
// a dropped raise must do, on records and a table shaped like the library's.
extern "C" void zkerr_floor_setup();
extern "C" int zkerr_floor_raise(int handle, unsigned level, const char *format, ...);

namespace {

FILE *null_stream() {
  static FILE *stream = std::fopen("/dev/null", "w");
  return stream;
}

void BM_DroppedRaiseFloor(benchmark::State &state) {
  int handle = static_cast<int>(state.range(0));
  zkerr_floor_setup();
  for (auto _ : state) {
    benchmark::DoNotOptimize(handle);
    benchmark::DoNotOptimize(zkerr_floor_raise(handle, 3, "dropped %d\n", 42));
  }
}
BENCHMARK(BM_DroppedRaiseFloor)->Arg(-1)->Arg(1);

// zkerr_throw(-1, 3, ...) at the default threshold 4, and the same on a
// handler of its own.
void BM_RaiseBelowThreshold(benchmark::State &state) {
  int h = -1;
  if (state.range(0) == 1) {
    zkerr_new(&h);
    zkerr_file(h, null_stream());
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(h);
    benchmark::DoNotOptimize(zkerr_throw(h, 3, "dropped %d\n", 42));
  }
  if (h != -1) zkerr_delete(h);
}
BENCHMARK(BM_RaiseBelowThreshold)->Arg(-1)->Arg(1);

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
