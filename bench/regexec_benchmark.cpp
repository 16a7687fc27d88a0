// Matcher speed on a million file names, beside the C library's regexec and
// std::regex in the same run, on deep choices, and on a nested repetition.
#include <benchmark/benchmark.h>
#include <regex.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "zk_regexp.h"
#include "zkerr.h"

namespace {

constexpr int kNames = 1000000;

// Names like a data directory holds: letters, digits and '_', an extension,
// some starting with a digit or an 'a'.
const std::vector<std::string> &file_names() {
  static const std::vector<std::string> names = [] {
    std::mt19937 rng(7);
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789_";
    const char *extensions[] = {".dat", ".txt", ".c", ".h", ".dat.gz", ".log", "", ".data"};
    std::vector<std::string> out;
    out.reserve(kNames);
    for (int i = 0; i < kNames; ++i) {
      std::string name;
      std::size_t length = 1 + rng() % 16;
      for (std::size_t k = 0; k < length; ++k) name += alphabet[rng() % (sizeof alphabet - 1)];
      name += extensions[rng() % 8];
      out.push_back(name);
    }
    return out;
  }();
  return names;
}

const char *const kPatterns[] = {"^.*\\.dat", "^[0-9]\\.dat", "^a.c", "dat$"};

void label(benchmark::State &state) { state.SetLabel(kPatterns[state.range(0)]); }

void BM_MatchLibrary(benchmark::State &state) {
  const auto &names = file_names();
  zk_regexp *r = zk_regcomp(kPatterns[state.range(0)]);
  for (auto _ : state) {
    long hits = 0;
    for (const std::string &n : names) hits += zk_regexec(r, n.c_str());
    benchmark::DoNotOptimize(hits);
  }
  std::free(r);
  label(state);
}
BENCHMARK(BM_MatchLibrary)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_MatchRegexec(benchmark::State &state) {
  const auto &names = file_names();
  regex_t r;
  regcomp(&r, kPatterns[state.range(0)], REG_EXTENDED | REG_NOSUB);
  for (auto _ : state) {
    long hits = 0;
    for (const std::string &n : names) hits += regexec(&r, n.c_str(), 0, nullptr, 0) == 0;
    benchmark::DoNotOptimize(hits);
  }
  regfree(&r);
  label(state);
}
BENCHMARK(BM_MatchRegexec)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void BM_MatchStdRegex(benchmark::State &state) {
  const auto &names = file_names();
  std::regex r(kPatterns[state.range(0)], std::regex::extended | std::regex::nosubs);
  for (auto _ : state) {
    long hits = 0;
    for (const std::string &n : names) hits += std::regex_search(n, r);
    benchmark::DoNotOptimize(hits);
  }
  label(state);
}
BENCHMARK(BM_MatchStdRegex)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// A search that nests at every character, "(a|b)*$" on n "ab": the
// choice points on the matcher's own stack, beside the C library's regexec.
std::string ab_times(std::int64_t n) {
  std::string out;
  for (std::int64_t i = 0; i < n; ++i) out += "ab";
  return out;
}

void BM_ChoicesLibrary(benchmark::State &state) {
  const std::string subject = ab_times(state.range(0));
  zk_regexp *r = zk_regcomp("(a|b)*$");
  for (auto _ : state) benchmark::DoNotOptimize(zk_regexec(r, subject.c_str()));
  std::free(r);
}
BENCHMARK(BM_ChoicesLibrary)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_ChoicesRegexec(benchmark::State &state) {
  const std::string subject = ab_times(state.range(0));
  regex_t r;
  regcomp(&r, "(a|b)*$", REG_EXTENDED);
  regmatch_t groups[2];
  for (auto _ : state) benchmark::DoNotOptimize(regexec(&r, subject.c_str(), 2, groups, 0));
  regfree(&r);
}
BENCHMARK(BM_ChoicesRegexec)->Arg(10)->Arg(200)->Unit(benchmark::kMicrosecond);

// "^(a+)+$" on n 'a' and a 'b': a matcher without memory of failed
// attempts needs time that doubles with each 'a'.
void BM_NestedRepeat(benchmark::State &state) {
  zkerr_file(-1, nullptr);  // the long subject ends in the depth bound's report
  std::string subject(static_cast<std::size_t>(state.range(0)), 'a');
  subject += 'b';
  zk_regexp *r = zk_regcomp("^(a+)+$");
  for (auto _ : state) benchmark::DoNotOptimize(zk_regexec(r, subject.c_str()));
  std::free(r);
}
BENCHMARK(BM_NestedRepeat)->Arg(16)->Arg(20)->Arg(5000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
