// The library's compiler and matcher against an independent reference read
// from the pattern text (results, group bounds, compile errors), and the right
// answers where a plain backtracker would need exponential time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/reference_regexec.hpp"
#include "support/regex_messages.hpp"
#include "zk_regexp.h"

namespace {

using regex_test::fatal;
using regex_test::g_messages;
using regex_test::ReferenceResult;
using RegexDifferential = regex_test::RegexTest;

// What one matcher made of a subject: result, every match field as an
// offset (-1 for NULL), and the reports.
struct Outcome {
  int matched;
  std::vector<long> fields;
  std::string reports;
  bool operator==(const Outcome &o) const { return matched == o.matched && fields == o.fields && reports == o.reports; }
};

std::ostream &operator<<(std::ostream &out, const Outcome &o) {
  out << o.matched << " [";
  for (long f : o.fields) out << f << ' ';
  return out << "] \"" << o.reports << '"';
}

Outcome run_library(zk_regexp *r, const char *subject) {
  // Fields from an earlier call must not decide the comparison.
  for (int i = 0; i < ZK_NSUBEXP; ++i) r->match_start[i] = r->match_end[i] = const_cast<char *>(subject);
  g_messages.clear();
  Outcome o{zk_regexec(r, subject), {}, {}};
  for (int i = 0; i < ZK_NSUBEXP; ++i) {
    o.fields.push_back(r->match_start[i] ? r->match_start[i] - subject : -1);
    o.fields.push_back(r->match_end[i] ? r->match_end[i] - subject : -1);
  }
  o.reports = g_messages;
  return o;
}

// The reference's answer in the library's terms; the fields of a failed
// match mean nothing, so there they are taken from the library's own.
Outcome expected(const ReferenceResult &want, const Outcome &library) {
  if (want.outcome != ReferenceResult::match) return {0, library.fields, ""};
  Outcome o{1, {}, ""};
  for (int i = 0; i < ZK_NSUBEXP; ++i) {
    o.fields.push_back(want.start[i]);
    o.fields.push_back(want.end[i]);
  }
  return o;
}

// Whether a pattern that does not compile is a failure of the test (the
// fixed cases) or a case with nothing to compare (fuzzed and random ones).
enum class Pattern { fixed, may_not_compile };

// Holds the library to the reference on pattern and subject: the same
// compile error or none, then the same result and bounds. A 0 that comes
// with the depth bound's report is the library saying it did not decide,
// which the comparison leaves open.
void expect_same(const std::string &pattern, const std::string &subject, Pattern kind = Pattern::fixed) {
  SCOPED_TRACE("pattern \"" + pattern + "\" subject \"" + subject + '"');
  const ReferenceResult want = regex_test::reference_match(pattern, subject.c_str());
  g_messages.clear();
  zk_regexp *r = zk_regcomp(pattern.c_str());
  if (want.outcome == ReferenceResult::bad_pattern) {
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(g_messages, fatal(want.error));
    EXPECT_EQ(kind, Pattern::may_not_compile) << want.error;
    std::free(r);
    return;
  }
  if (!r) {
    ADD_FAILURE() << "does not compile: " << g_messages;
    return;
  }
  if (want.outcome == ReferenceResult::undecided) {
    EXPECT_EQ(kind, Pattern::may_not_compile) << "too costly for the reference";
  } else {
    const Outcome library = run_library(r, subject.c_str());
    if (library.matched != 0 || library.reports != fatal("recursion too deep")) {
      EXPECT_EQ(library, expected(want, library));
    }
  }
  std::free(r);
}

std::vector<std::string> corpus(const std::string &target) {
  std::vector<std::string> inputs;
  std::filesystem::path dir = std::filesystem::path(HESTREL_TEST_SOURCE_DIR) / ".." / "fuzz" / "corpora" / target;
  for (const auto &entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  EXPECT_FALSE(inputs.empty()) << dir;
  return inputs;
}

// The regex fuzzer's reading of an input: pattern, NUL, subject.
TEST_F(RegexDifferential, AgreesOnTheRegexCorpus) {
  for (const std::string &input : corpus("regex_fuzzer")) {
    std::size_t split = input.find('\0');
    std::string subject = split == std::string::npos ? std::string() : input.substr(split + 1);
    expect_same(input.substr(0, split), subject.c_str(), Pattern::may_not_compile);
  }
}

// Random patterns over a small alphabet with every operator, against short
// subjects over the same letters.
TEST_F(RegexDifferential, AgreesOnGeneratedPatterns) {
  std::mt19937 rng(11);
  // Sets of 8 and 16 members are searched a word at a time, 17 byte by byte.
  const std::string pieces[] = {"a", "b", "ab", ".",   "[ab]",  "[^a]",   "(",     ")",      "|",     "*",    "+",
                                "?", "^", "$",  "\\a", "[a-h]", "[^b-i]", "[c-r]", "[^a-p]", "[b-r]", "[]-b]"};
  int compiled = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string pattern;
    for (int k = static_cast<int>(rng() % 9); k >= 0; --k) pattern += pieces[rng() % std::size(pieces)];
    for (int s = 0; s < 4; ++s) {
      std::string subject;
      for (int k = static_cast<int>(rng() % 11); k > 0; --k) subject += "abc"[rng() % 3];
      expect_same(pattern, subject, Pattern::may_not_compile);
    }
    g_messages.clear();
    zk_regexp *r = zk_regcomp(pattern.c_str());
    compiled += r != nullptr;
    std::free(r);
  }
  EXPECT_GT(compiled, 1000);
}

// Several repetitions over longer subjects, where the memory of failures
// is in use: still polynomial for the plain walk.
TEST_F(RegexDifferential, AgreesWhereFailuresAreRemembered) {
  std::mt19937 rng(3);
  const std::string pieces[] = {"a*", "b*", "(a|b)", "a", "b", ".*", "[ab]*", "(ab)*", "(a)+", "b?", "(a*b)*"};
  for (int i = 0; i < 1500; ++i) {
    std::string pattern = rng() % 2 ? "^" : "";
    for (int k = static_cast<int>(rng() % 5); k >= 0; --k) pattern += pieces[rng() % std::size(pieces)];
    pattern += rng() % 2 ? "c" : "c$";
    std::string subject;
    for (int k = 30 + static_cast<int>(rng() % 20); k > 0; --k) subject += rng() % 4 ? 'a' : 'b';
    expect_same(pattern, subject + "c");
    expect_same(pattern, subject + "xc");
    expect_same(pattern, subject + "cb");
  }
}

// The shapes of file filters, which the matcher answers on its quickest
// paths, against generated file names.
TEST_F(RegexDifferential, AgreesOnFileFilters) {
  // clang-format off
  const char *const filters[] = {
      "(backup|tmp|old)",         "^([a-z]+/)*[a-z]+_[0-9]+\\.txt$", "^[A-Za-z]+_[0-9][0-9][0-9][0-9]\\.fits$",
      "\\.(txt|csv|dat)$",        "^.*\\.dat$",                      "^run_[0-9]+\\.log$",
      "IMG_[0-9]+\\.(jpg|png)",    "(run|IMG)_?[0-9]*",               "^[^/]*$",
      "^([^/]*/)*[^/]*\\.dat$",    "backup(_[0-9]+)?\\.tar",          "\\.txt$|\\.csv$",
      "^(data|run)/",             "_([0-9])([0-9])",                 "[0-9]+\\.",
      "(/|^)old/",                "^[a-z]*(_[0-9]+)*\\.[a-z]+$",     "a[a-z/]*a[a-z/]*a[a-z/]*x",
      ".*_.*_.*",                 "(t|tm|tmp)+[^a-z]",               "^(.*/)?([^/]*)$",
  };
  // clang-format on
  const char *const folders[] = {"", "data/", "run/", "a/b/", "backup/old/", "tmp/x_1/"};
  const char *const stems[] = {"run", "IMG", "backup", "tmp", "old", "readme", "Data"};
  const char *const joins[] = {"", "_", "-", "_a_"};
  const char *const numbers[] = {"", "1", "0042", "12345"};
  const char *const extensions[] = {".txt", ".csv", ".dat", ".fits", ".log", ".jpg", ".tar.gz", "", ".dat.bak"};
  std::mt19937 rng(5);
  auto pick = [&rng](const auto &options) { return std::string(options[rng() % std::size(options)]); };
  for (int i = 0; i < 400; ++i) {
    const std::string name = pick(folders) + pick(stems) + pick(joins) + pick(numbers) + pick(extensions);
    for (const char *filter : filters) expect_same(filter, name);
  }
}

// Patterns that make a walk without memory exponential, on texts short
// enough for that walk to finish.
const char *const blow_ups[] = {"(a+)+$",  "(a|aa)*c",   "(x+x+)+y",   "(aa?)*b", "(a|a)*b",
                                "^(a+)+$", "(a+)+b|a*c", "((a|b)+)+c", "(.*a)*b"};

TEST_F(RegexDifferential, AgreesOnBlowUpsWhereTheOldWalkFinishes) {
  for (const char *p : blow_ups)
    for (int n : {1, 5, 12}) {
      for (const char *tail : {"", "b", "c", "y", "!"}) {
        expect_same(p, std::string(static_cast<std::size_t>(n), 'a') + tail);
        expect_same(p, std::string(static_cast<std::size_t>(n), 'x') + tail);
      }
    }
}

// A failed attempt met again one iteration deeper than it was first tried
// must still give the true answer, hundreds of iterations in.
TEST_F(RegexDifferential, AgreesAroundTheDepthBound) {
  for (const char *p : {"^(aa|a)(a|b)*c", "^(aa|a)(aa|a)(a|b)*c", "^a?(a|b)*c", "^(a|b)?(a|b)*c", "^((a)|b)*$",
                        "^a(a)+c", "^a*(a|b)*c", "^(aa|a)a*(a|b)*c", "^a+(a)+c"})
    for (std::size_t n = 490; n < 515; ++n) expect_same(p, std::string(n, 'a') + "x");
  std::string ab;
  for (std::size_t n = 0; n < 515; ++n) {
    ab += "ab"[n % 2];
    if (n >= 490) expect_same("^(ab|a)?(b|a)*c", ab + "x");
  }
}

struct LongText {
  const char *pattern;
  std::string subject;
  int matched;
  long start, end;              // entry 0
  long group_start, group_end;  // group 1, -1 for NULL
  bool too_deep;                // the depth bound's report, and no match
};

// What a walk without memory would give after its exponential time: texts of
// 30 and of 5000 characters stay inside the search's bound, so the
// many-iteration alternatives are decided too.
TEST_F(RegexDifferential, BlowUpsOnLongTextsGiveTheRightAnswer) {
  auto a = [](std::size_t n, const char *tail) { return std::string(n, 'a') + tail; };
  auto x = [](std::size_t n, const char *tail) { return std::string(n, 'x') + tail; };
  const LongText rows[] = {
      {"(a+)+$", a(30, "b"), 0, 0, 0, -1, -1, false},
      {"^(a+)+$", a(30, "b"), 0, 0, 0, -1, -1, false},
      {"^(a|aa)*c", a(30, "b"), 0, 0, 0, -1, -1, false},
      {"(x+x+)+y", x(30, ""), 0, 0, 0, -1, -1, false},
      {"(aa?)*b", a(30, ""), 0, 0, 0, -1, -1, false},
      {"^(a|a)*b", a(30, "c"), 0, 0, 0, -1, -1, false},
      // Only a later branch matches, after the first is rejected.
      {"(a+)+b|a*c", a(30, "c"), 1, 0, 31, -1, -1, false},
      {"(x+x+)+y|x+z", x(30, "z"), 1, 0, 31, -1, -1, false},
      {"^((a|aa)+b|a(a)*c)", a(30, "c"), 1, 0, 31, 0, 31, false},
      {"(a|aa)*c", a(30, "c"), 1, 0, 31, 29, 30, false},
      {"(a+)+$", a(5000, "b"), 0, 0, 0, -1, -1, false},
      {"^(a+)+$", a(5000, "b"), 0, 0, 0, -1, -1, false},
      {"^(a|aa)*c", a(5000, "b"), 0, 0, 0, -1, -1, false},
      {"(x+x+)+y", x(5000, ""), 0, 0, 0, -1, -1, false},
      {"(a+)+b|a*c", a(5000, "c"), 1, 0, 5001, -1, -1, false},
      {"^(aa|a)*c", a(700, "b"), 0, 0, 0, -1, -1, false},
      // Past what the choice points may take: a 0 that says "not decided".
      {"(a|aa)*c", a(400000, "c"), 0, 0, 0, -1, -1, true},
  };
  for (const LongText &row : rows) {
    SCOPED_TRACE(std::string(row.pattern) + " on " + std::to_string(row.subject.size()) + " characters");
    zk_regexp *r = zk_regcomp(row.pattern);
    ASSERT_NE(r, nullptr);
    g_messages.clear();
    const char *s = row.subject.c_str();
    ASSERT_EQ(zk_regexec(r, s), row.matched);
    EXPECT_EQ(g_messages, row.too_deep ? fatal("recursion too deep") : "");
    if (row.matched) {
      EXPECT_EQ(r->match_start[0] - s, row.start);
      EXPECT_EQ(r->match_end[0] - s, row.end);
      EXPECT_EQ(r->match_start[1] ? r->match_start[1] - s : -1, row.group_start);
      EXPECT_EQ(r->match_end[1] ? r->match_end[1] - s : -1, row.group_end);
    }
    std::free(r);
  }
}

}  // namespace
