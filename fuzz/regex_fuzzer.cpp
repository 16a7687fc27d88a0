// Fuzz target for the expression engine: the input up to its first NUL is the
// pattern, the rest the subject; compile, match, free, each input in time, and
// every answer held to the reference matcher of the tests.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/reference_regexec.hpp"
#include "zk_regexp.h"
#include "zkerr.h"

namespace {

std::string g_reports;

int collect(char *message) {
  g_reports += message;
  return 0;
}

std::string report(const std::string &message) { return "FATAL Error in regular expression: " + message + " \n"; }

[[noreturn]] void disagree(const std::string &pattern, const std::string &subject, const char *what) {
  std::fprintf(stderr, "the engine and the reference disagree (%s)\npattern \"%s\"\nsubject \"%s\"\nreports \"%s\"\n",
               what, pattern.c_str(), subject.c_str(), g_reports.c_str());
  std::abort();
}

// Steps the reference may take on one input, about 40 ms in the instrumented
// build (two million took up to half a second, and the run slowed to 47
// inputs a second); beyond them the input is matched but not compared.
constexpr long reference_budget = 250'000;

// The engine's answer on a compiled pattern against the reference's.
void compare(zk_regexp *r, const std::string &pattern, const std::string &subject) {
  const regex_test::ReferenceResult want = regex_test::reference_match(pattern, subject.c_str(), reference_budget);
  g_reports.clear();
  const char *s = subject.c_str();  // the subject ends at its own first NUL
  const int matched = zk_regexec(r, s);
  // A 0 with the depth bound's report is not an answer.
  if (matched == 0 && g_reports == report("recursion too deep")) return;
  if (!g_reports.empty()) disagree(pattern, subject, "a report");
  if (want.outcome == regex_test::ReferenceResult::undecided) return;
  if (matched != (want.outcome == regex_test::ReferenceResult::match)) disagree(pattern, subject, "the result");
  if (!matched) return;
  for (int i = 0; i < ZK_NSUBEXP; ++i) {
    const long start = r->match_start[i] ? r->match_start[i] - s : -1;
    const long end = r->match_end[i] ? r->match_end[i] - s : -1;
    if (start != want.start[i] || end != want.end[i]) disagree(pattern, subject, "the bounds");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static bool quiet = [] {
    zkerr_file(-1, nullptr);
    zkerr_window(-1, collect);
    return true;
  }();
  (void)quiet;
  std::string input(reinterpret_cast<const char *>(data), size);
  std::size_t split = input.find('\0');
  std::string pattern = input.substr(0, split);
  std::string subject = split == std::string::npos ? std::string() : input.substr(split + 1);
  subject.resize(std::char_traits<char>::length(subject.c_str()));
  g_reports.clear();
  zk_regexp *r = zk_regcomp(pattern.c_str());
  const regex_test::ReferenceResult parsed = regex_test::reference_match(pattern, "", 1);
  if (parsed.outcome == regex_test::ReferenceResult::bad_pattern) {
    if (r || g_reports != report(parsed.error)) disagree(pattern, subject, "the compile error");
  } else if (!r) {
    if (g_reports != report("regexp too big")) disagree(pattern, subject, "a pattern refused");
  } else {
    compare(r, pattern, subject);
  }
  std::free(r);
  return 0;
}
