// Cost of a raise: one dropped below the threshold beside the floor of what
// it must do (lookup, highest level, threshold; the goal is at most 1.4
// times the floor), a plain fprintf to /dev/null, and one that formats and
// prints to /dev/null.
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "zkerr.h"

namespace {

FILE *null_stream() {
  static FILE *stream = std::fopen("/dev/null", "w");
  return stream;
}

// The floor: a plain function doing only what a dropped raise must do, on
// records and a table shaped like the library's: the lookup (the fixed
// record of -1, made on first use, else an entry of a growable table), the
// highest-level count and the compare.
struct floor_record {
  bool in_use = true;
  unsigned level = 4;
  unsigned maxlevel = 1;
};
floor_record floor_storage;
std::atomic<floor_record *> floor_fixed{nullptr};
std::vector<std::unique_ptr<floor_record>> *floor_table = nullptr;

__attribute__((noinline)) floor_record *floor_make_fixed() {
  floor_fixed.store(&floor_storage, std::memory_order_release);
  return &floor_storage;
}

__attribute__((noinline)) int floor_raise(int handle, unsigned level) {
  floor_record *h = nullptr;
  if (static_cast<unsigned>(handle) + 1u < 2u) {
    h = floor_fixed.load(std::memory_order_acquire);
    if (!h) h = floor_make_fixed();
  } else if (floor_table && handle >= 1 && static_cast<std::size_t>(handle) <= floor_table->size()) {
    h = (*floor_table)[handle - 1].get();
    if (!h->in_use) h = nullptr;
  }
  if (!h) return 0;
  if (level <= 6 && level > h->maxlevel) h->maxlevel = level;
  if (level < h->level) return 1;
  return 2;
}

void BM_DroppedRaiseFloor(benchmark::State &state) {
  int handle = static_cast<int>(state.range(0));
  if (!floor_table) {
    floor_table = new std::vector<std::unique_ptr<floor_record>>();
    floor_table->push_back(std::make_unique<floor_record>());
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(handle);
    benchmark::DoNotOptimize(floor_raise(handle, 3));
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
