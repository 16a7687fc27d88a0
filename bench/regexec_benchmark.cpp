// Matcher speed on file names, beside the C library's regexec asked for ten
// match positions (the work zk_regexec does) and without positions
// (REG_NOSUB), and std::regex, in the same run; on deep choices, on a nested
// repetition, and on chains of repetitions that a search without memory
// across start positions makes quadratic.
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
constexpr int kPathNames = 300000;

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

// Relative paths as users filter them: up to three folders, a stem such as
// run, IMG or backup, a separator, a number of up to six digits, sometimes a
// suffix, and an extension.
const std::vector<std::string> &path_names() {
  static const std::vector<std::string> names = [] {
    std::mt19937 rng(25);
    const char *folders[] = {"data", "raw", "calib", "2024", "archive", "obs", "night", "reduced", "tmp", "old"};
    const char *stems[] = {"run",  "IMG",   "backup", "scan", "frame", "log", "DSC", "dark",
                           "flat", "notes", "report", "tmp",  "old",   "Sky", "bias"};
    const char *separators[] = {"_", "_", "-", ""};
    const char *suffixes[] = {"", "", "", "_v2", "_final", "_raw", "~"};
    const char *extensions[] = {".txt", ".csv", ".dat", ".fits", ".log", ".jpg", ".tar.gz", ".bak", "", ".fits.gz"};
    std::vector<std::string> out;
    out.reserve(kPathNames);
    for (int i = 0; i < kPathNames; ++i) {
      std::string name;
      for (int depth = static_cast<int>(rng() % 4); depth > 0; --depth) name += std::string(folders[rng() % 10]) + "/";
      name += stems[rng() % 15];
      name += separators[rng() % 4];
      for (int digits = static_cast<int>(rng() % 7); digits > 0; --digits) name += static_cast<char>('0' + rng() % 10);
      name += suffixes[rng() % 7];
      name += extensions[rng() % 10];
      out.push_back(name);
    }
    return out;
  }();
  return names;
}

// The first four run on file_names, the others on path_names.
// clang-format off
const char *const kPatterns[] = {
    "^.*\\.dat", "^[0-9]\\.dat", "^a.c", "dat$",
    // Filters users write: groups and alternations of words first, classes
    // with counted repeats, optional groups, anchored and not.
    "(backup|tmp|old)", "^([a-z]+/)*[a-z]+_[0-9]+\\.txt$", "^[A-Za-z]+_[0-9][0-9][0-9][0-9]\\.fits$",
    "\\.(txt|csv|dat)$", "^.*\\.dat$", "^run_[0-9]+\\.log$", "(IMG|DSC)_[0-9]+\\.jpg$", "^(raw|calib)/",
    "[0-9][0-9][0-9][0-9]\\.fits", "^([a-z0-9]+/)*IMG_[0-9]+(_[a-z0-9]+)?\\.jpg$", "backup", "(\\.bak|~)$",
    "^[^/]*$", "/(run|scan)[_-]?[0-9]+", "\\.fits(\\.gz)?$", "(^|/)tmp/", "[Ss]ky|[Dd]ark|[Ff]lat"};
// clang-format on
constexpr int kFirstPathPattern = 4;
constexpr int kLastPattern = static_cast<int>(sizeof kPatterns / sizeof kPatterns[0]) - 1;

const std::vector<std::string> &names_for(std::int64_t shape) {
  return shape < kFirstPathPattern ? file_names() : path_names();
}

// The pattern, the hits (which must agree between the matchers) and the
// time per name.
void report(benchmark::State &state, long hits) {
  const auto &names = names_for(state.range(0));
  state.SetLabel(kPatterns[state.range(0)]);
  state.counters["hits"] = static_cast<double>(hits);
  state.counters["per_name"] = benchmark::Counter(
      static_cast<double>(names.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_MatchLibrary(benchmark::State &state) {
  const auto &names = names_for(state.range(0));
  zk_regexp *r = zk_regcomp(kPatterns[state.range(0)]);
  long hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (const std::string &n : names) hits += zk_regexec(r, n.c_str());
    benchmark::DoNotOptimize(hits);
  }
  std::free(r);
  report(state, hits);
}
BENCHMARK(BM_MatchLibrary)->DenseRange(0, kLastPattern)->Unit(benchmark::kMillisecond);

// The C library with the positions of the match and nine groups.
void BM_MatchRegexecPositions(benchmark::State &state) {
  const auto &names = names_for(state.range(0));
  regex_t r;
  regcomp(&r, kPatterns[state.range(0)], REG_EXTENDED);
  regmatch_t positions[ZK_NSUBEXP];
  long hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (const std::string &n : names) hits += regexec(&r, n.c_str(), ZK_NSUBEXP, positions, 0) == 0;
    benchmark::DoNotOptimize(hits);
  }
  regfree(&r);
  report(state, hits);
}
BENCHMARK(BM_MatchRegexecPositions)->DenseRange(0, kLastPattern)->Unit(benchmark::kMillisecond);

// The C library telling only whether a name matches.
void BM_MatchRegexecNosub(benchmark::State &state) {
  const auto &names = names_for(state.range(0));
  regex_t r;
  regcomp(&r, kPatterns[state.range(0)], REG_EXTENDED | REG_NOSUB);
  long hits = 0;
  for (auto _ : state) {
    hits = 0;
    for (const std::string &n : names) hits += regexec(&r, n.c_str(), 0, nullptr, 0) == 0;
    benchmark::DoNotOptimize(hits);
  }
  regfree(&r);
  report(state, hits);
}
BENCHMARK(BM_MatchRegexecNosub)->DenseRange(0, kLastPattern)->Unit(benchmark::kMillisecond);

void BM_MatchStdRegex(benchmark::State &state) {
  const auto &names = file_names();
  std::regex r(kPatterns[state.range(0)], std::regex::extended | std::regex::nosubs);
  for (auto _ : state) {
    long hits = 0;
    for (const std::string &n : names) hits += std::regex_search(n, r);
    benchmark::DoNotOptimize(hits);
  }
  state.SetLabel(kPatterns[state.range(0)]);
}
BENCHMARK(BM_MatchStdRegex)->DenseRange(0, kFirstPathPattern - 1)->Unit(benchmark::kMillisecond);

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
  zkerr_file(-1, nullptr);  // a bound reached is reported
  std::string subject(static_cast<std::size_t>(state.range(0)), 'a');
  subject += 'b';
  zk_regexp *r = zk_regcomp("^(a+)+$");
  for (auto _ : state) benchmark::DoNotOptimize(zk_regexec(r, subject.c_str()));
  std::free(r);
}
BENCHMARK(BM_NestedRepeat)->Arg(16)->Arg(20)->Arg(5000)->Unit(benchmark::kMicrosecond);

// Chains of repetitions without groups, on subjects without a match: every
// start position meets the failures of the ones before. Arguments: the
// chain and the subject's length.
std::string chain_pattern(std::int64_t chain) {
  std::string out;
  if (chain == 0) {
    for (int i = 0; i < 20; ++i) out += "a[ab]*";
    return out + "x";
  }
  for (int i = 0; i < 40; ++i) out += "a.*";
  return out + "x$";
}

// "x" (which the pattern must hold, so the subject is searched) and "ab"
// to the length.
std::string chain_subject(std::int64_t length) {
  std::string out = "x";
  for (std::int64_t i = 1; i < length; ++i) out += "ab"[i % 2];
  return out;
}

void BM_ChainLibrary(benchmark::State &state) {
  zk_regexp *r = zk_regcomp(chain_pattern(state.range(0)).c_str());
  const std::string subject = chain_subject(state.range(1));
  for (auto _ : state) benchmark::DoNotOptimize(zk_regexec(r, subject.c_str()));
  std::free(r);
  state.SetLabel(chain_pattern(state.range(0)).substr(0, 12) + "...");
}
BENCHMARK(BM_ChainLibrary)->ArgsProduct({{0, 1}, {940, 1880}})->Unit(benchmark::kMillisecond);

void BM_ChainRegexec(benchmark::State &state) {
  regex_t r;
  regcomp(&r, chain_pattern(state.range(0)).c_str(), REG_EXTENDED);
  const std::string subject = chain_subject(state.range(1));
  regmatch_t positions[ZK_NSUBEXP];
  for (auto _ : state) benchmark::DoNotOptimize(regexec(&r, subject.c_str(), ZK_NSUBEXP, positions, 0));
  regfree(&r);
  state.SetLabel(chain_pattern(state.range(0)).substr(0, 12) + "...");
}
BENCHMARK(BM_ChainRegexec)->ArgsProduct({{0, 1}, {940, 1880}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
