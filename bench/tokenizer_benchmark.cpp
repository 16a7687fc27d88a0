// Speed of the line tokenizer beside a std::string split, on short lines and on
// lines of very many fields, and of appending many tokens to one list.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

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

// Ten fields in 73 characters, with the default separators.
const std::string kFieldLine = "run_0042 2026-12-10,21:04:10\tsensor=north value 17.25, unit=degC ok,fin x";

// n one-character fields, one blank apart: 2 n characters.
std::string one_character_fields(long n) {
  std::string line;
  line.reserve(static_cast<std::size_t>(2 * n));
  for (long i = 0; i < n; ++i) line += "x ";
  return line;
}

std::string line_for(long arg) { return arg == 0 ? kFieldLine : one_character_fields(arg); }

void BM_TokenizeFields(benchmark::State &state) {
  const std::string line = line_for(state.range(0));
  int fields = 0;
  for (auto _ : state) {
    int handle = -1;
    zktoken_new(&handle, line.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    fields = zktoken_num(handle);
    benchmark::DoNotOptimize(fields);
    zktoken_delete(handle);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * fields);
  state.SetLabel(std::to_string(line.size()) + " chars, " + std::to_string(fields) + " fields");
}
BENCHMARK(BM_TokenizeFields)->Arg(0)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The peer: the same separators, empty fields dropped, into a new vector.
void BM_SplitFields(benchmark::State &state) {
  const std::string line = line_for(state.range(0));
  const char *separators = " ,\t";
  std::size_t fields = 0;
  for (auto _ : state) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(separators, at)) != std::string::npos) {
      std::size_t end = line.find_first_of(separators, at);
      if (end == std::string::npos) end = line.size();
      out.emplace_back(line, at, end - at);
      at = end;
    }
    fields = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * fields));
  state.SetLabel(std::to_string(line.size()) + " chars, " + std::to_string(fields) + " fields");
}
BENCHMARK(BM_SplitFields)->Arg(0)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

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
