// Speed of the line tokenizer on a typical quoted line, and of appending
// many tokens to one list (the array grows twenty slots at a time).
#include <benchmark/benchmark.h>

#include <string>

#include "zkerr.h"
#include "zktoken.h"

namespace {

void BM_TokenizeLine(benchmark::State &state) {
  std::string line;
  for (int i = 0; i < state.range(0); ++i) line += "key" + std::to_string(i) + " = \"some value\", ";
  line += "# trailing comment";
  for (auto _ : state) {
    int handle = -1;
    zktoken_new(&handle, line.c_str(), nullptr, "\"\"", "#", "\\", "=");
    benchmark::DoNotOptimize(zktoken_num(handle));
    zktoken_delete(handle);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_TokenizeLine)->Arg(4)->Arg(64);

void BM_AppendTokens(benchmark::State &state) {
  for (auto _ : state) {
    int handle = -1;
    zktoken_new(&handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < state.range(0); ++i) zktoken_add(handle, "token");
    zktoken_delete(handle);
  }
}
BENCHMARK(BM_AppendTokens)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
