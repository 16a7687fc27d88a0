// Matcher tests: a table of patterns and subjects with match and group
// bounds, every matcher message, and the depth bound on small thread stacks.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/regex_messages.hpp"
#include "zk_regexp.h"
#include "zkerr.h"

namespace {

using regex_test::fatal;
using regex_test::g_messages;
using RegexecTest = regex_test::RegexTest;

// Offset of p in subject, -1 for NULL.
long at(const char *subject, const char *p) { return p ? static_cast<long>(p - subject) : -1; }

struct Case {
  const char *pattern;
  const char *subject;
  int matched;
  long start, end;              // entry 0
  long group_start, group_end;  // group 1; -1 for NULL
};

// clang-format off
const Case cases[] = {
    {"", "", 1, 0, 0, -1, -1},
    {"", "abc", 1, 0, 0, -1, -1},
    {"a", "", 0, 0, 0, -1, -1},
    {"x?$", "ab", 1, 2, 2, -1, -1},            // empty match at the NUL
    {"^abc", "xabc", 0, 0, 0, -1, -1},         // anchored: one attempt only
    {"^abc", "abcd", 1, 0, 3, -1, -1},
    {"b^", "ab", 0, 0, 0, -1, -1},
    {"a$", "aba", 1, 2, 3, -1, -1},
    {"a$b", "a$b", 0, 0, 0, -1, -1},           // "$" is special everywhere
    {"a*a", "aaaa", 1, 0, 4, -1, -1},          // back-off by one repetition
    {"[a-c]*c", "abcabcx", 1, 0, 6, -1, -1},   // extends to the last "c"
    {"x.*y", "xayby", 1, 0, 5, -1, -1},
    {"a+", "baaa", 1, 1, 4, -1, -1},
    {"ba+c", "bc", 0, 0, 0, -1, -1},
    {"a|ab", "ab", 1, 0, 1, -1, -1},           // first alternative wins
    {"(.)*", "xyz", 1, 0, 3, 2, 3},            // last iteration's bounds
    {"(ab)+c", "ababc", 1, 0, 5, 2, 4},
    {"(a)|b", "b", 1, 0, 1, -1, -1},           // group not taken
    {"x(a)?y", "xy", 1, 0, 2, -1, -1},
    {"x(a)?y", "xay", 1, 0, 3, 1, 2},
    {"(b|c)d", "abdcd", 1, 1, 3, 1, 2},
    {"[]a]", "]", 1, 0, 1, -1, -1},
    {"[^-]", "-", 0, 0, 0, -1, -1},
    {"[^-]", "-a", 1, 1, 2, -1, -1},
    {"[a-]", "-", 1, 0, 1, -1, -1},
    {"[a-cx-z]+", "--by--", 1, 2, 4, -1, -1},
    {"[^a-c]+", "abxyc", 1, 2, 4, -1, -1},
    {"[a-c-e]+", "xdeb-", 1, 1, 4, -1, -1},     // a range may start where one ended
    {"a{2}", "aa{2}", 1, 1, 5, -1, -1},        // braces are ordinary
    {"\\.", "a", 0, 0, 0, -1, -1},
    {"\\.", "a.", 1, 1, 2, -1, -1},
    {"\\n", "n", 1, 0, 1, -1, -1},
    {"x*abc", "xxab", 0, 0, 0, -1, -1},        // required literal missing
    {"x*abc", "ab xabc", 1, 3, 7, -1, -1},
    {"\xe9+", "a\xe9\xe9", 1, 1, 3, -1, -1},   // bytes above 127
    // Starts an unanchored search passes over by their first two bytes.
    {"[Ss]ky|[Dd]ark", "xS", 0, 0, 0, -1, -1},          // a first byte at the last one
    {"[Ss]ky|[Dd]ark", "SaDark", 1, 2, 6, -1, -1},      // a second byte of another alternative
    {"(backup|tmp|old)", "backuq tmp", 1, 7, 10, 7, 10},
    {"(\\.bak|~)$", "a~", 1, 1, 2, 1, 2},               // the NUL right after the first byte
    {"(\\.bak|~)$", "a~b~", 1, 3, 4, 3, 4},
    {"(\\.bak|~)$", "~.ba", 0, 0, 0, -1, -1},
    {"(ab|c)", "xxc", 1, 2, 3, 2, 3},                   // a match of one byte at the last one
    {"[\xe8\xe9]a|zz", "b\xe8" "a", 1, 1, 3, -1, -1},  // sets of bytes above 127
    {"(a[\xe9]|zz)", "aba\xe9", 1, 2, 4, 2, 4},
    {"(ab|)c", "xc", 1, 1, 2, 1, 1},                    // an empty alternative
    {"x|", "ab", 1, 0, 0, -1, -1},
    // A choice tried alternative by alternative, with the rest after its group.
    {"(a|ab)c", "abc", 1, 0, 3, 0, 2},                  // the first alternative fails in the rest
    {"^(raw|calib)/", "calib/x", 1, 0, 6, 0, 5},
    {"^(raw|calib)/", "rawx/", 0, 0, 0, -1, -1},
    {"\\.(txt|csv)$", "a.txt.csv", 1, 5, 9, 6, 9},
    {"x?ab", "xxab", 1, 1, 4, -1, -1},
    {"(ab|a)b*c", "abbc", 1, 0, 4, 0, 2},               // a rest the choice leaves to the search
};
// clang-format on

TEST_F(RegexecTest, MatchesTableOfCases) {
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.subject);
    zk_regexp *r = zk_regcomp(c.pattern);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(zk_regexec(r, c.subject), c.matched);
    if (c.matched) {
      EXPECT_EQ(at(c.subject, r->match_start[0]), c.start);
      EXPECT_EQ(at(c.subject, r->match_end[0]), c.end);
      EXPECT_EQ(at(c.subject, r->match_start[1]), c.group_start);
      EXPECT_EQ(at(c.subject, r->match_end[1]), c.group_end);
      for (int i = 2; i < ZK_NSUBEXP; ++i) EXPECT_EQ(r->match_start[i], nullptr);
    }
    std::free(r);
  }
  EXPECT_EQ(g_messages, "");
}

TEST_F(RegexecTest, MissingRequiredLiteralLeavesMatchFieldsAlone) {
  zk_regexp *r = zk_regcomp("x*abc");
  ASSERT_NE(r, nullptr);
  const char *first = "abc";
  ASSERT_EQ(zk_regexec(r, first), 1);
  EXPECT_EQ(zk_regexec(r, "ab"), 0);
  EXPECT_EQ(r->match_start[0], first);
  EXPECT_EQ(r->match_end[0], first + 3);
  std::free(r);
}

// A block made by hand after the compiled layout: header, then program.
zk_regexp *hand_made(const unsigned char *program, std::size_t size) {
  auto *r = static_cast<zk_regexp *>(std::calloc(1, offsetof(zk_regexp, program) + size));
  std::memcpy(r->program, program, size);
  return r;
}

TEST_F(RegexecTest, ReportsUnusableArgumentsAndCorruptPrograms) {
  const unsigned char bad_magic[] = {0x9D, RX_END, 0, 0};
  const unsigned char bad_opcode[] = {0x9C, 12, 0, 0};
  const unsigned char no_successor[] = {0x9C, RX_ANY, 0, 0};
  const unsigned char repeat_of_group[] = {0x9C, RX_STAR, 0, 6, RX_OPEN + 1, 0, 0, RX_END, 0, 0};
  struct {
    const unsigned char *program;
    std::size_t size;
    const char *subject;
    const char *message;
  } rows[] = {
      {bad_magic, sizeof bad_magic, "a", "corrupted program"},
      {bad_opcode, sizeof bad_opcode, "", "memory corruption"},
      {no_successor, sizeof no_successor, "a", "corrupted pointers"},
      // The count is 0, so the empty match at the start still succeeds.
      {repeat_of_group, sizeof repeat_of_group, "", "internal foulup"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.message);
    g_messages.clear();
    zk_regexp *r = hand_made(row.program, row.size);
    r->anchored = 1;  // one attempt, one message
    zk_regexec(r, row.subject);
    EXPECT_EQ(g_messages, fatal(row.message));
    std::free(r);
  }

  g_messages.clear();
  zk_regexp *r = zk_regcomp("a");
  EXPECT_EQ(zk_regexec(r, nullptr), 0);
  EXPECT_EQ(zk_regexec(nullptr, "a"), 0);
  EXPECT_EQ(g_messages, fatal("NULL parameter") + fatal("NULL parameter"));
  std::free(r);
}

TEST_F(RegexecTest, DeepRecursionFailsWithOneFatalReport) {
  // Each iteration of a repeated group nests the search one level deeper.
  std::string subject = std::string(1000000, 'a') + "b";
  const char *patterns[] = {"(a)*", "(a)+b", "(a|b)*$"};
  for (const char *p : patterns) {
    SCOPED_TRACE(p);
    g_messages.clear();
    zk_regexp *r = zk_regcomp(p);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(zk_regexec(r, subject.c_str()), 0);
    EXPECT_EQ(g_messages, fatal("recursion too deep"));
    // The engine stays usable afterwards.
    g_messages.clear();
    EXPECT_EQ(zk_regexec(r, "aab"), 1);
    EXPECT_EQ(g_messages, "");
    std::free(r);
  }
}

// The bound keeps the search within a thread stack far below the usual
// 8 MiB, also in sanitizer builds, whose frames are larger.
TEST_F(RegexecTest, DeepRecursionFitsASmallThreadStack) {
  static std::string subject(1000000, 'a');
  static int result = -1;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 2 * 1024 * 1024);
  pthread_t thread;
  auto run = [](void *) -> void * {
    zk_regexp *r = zk_regcomp("((a)(a|b))*$");
    result = zk_regexec(r, subject.c_str());
    std::free(r);
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, nullptr), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(g_messages, fatal("recursion too deep"));
}

// What a match on a thread of its own gave: its result, the bounds of the
// match and of group 1 as offsets (-1 for NULL), and the reports.
struct ThreadMatch {
  const char *pattern;
  const std::string *subject;
  int matched = -1;
  long start = -1, end = -1, group_start = -1, group_end = -1;
};

void *match_on_thread(void *argument) {
  auto *m = static_cast<ThreadMatch *>(argument);
  zk_regexp *r = zk_regcomp(m->pattern);
  if (!r) return nullptr;
  const char *s = m->subject->c_str();
  m->matched = zk_regexec(r, s);
  if (m->matched == 1) {
    m->start = at(s, r->match_start[0]);
    m->end = at(s, r->match_end[0]);
    m->group_start = at(s, r->match_start[1]);
    m->group_end = at(s, r->match_end[1]);
  }
  std::free(r);
  return nullptr;
}

// Runs the match on a new thread with a stack of stack_size bytes.
void run_on_stack(ThreadMatch &m, std::size_t stack_size) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, stack_size), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, match_on_thread, &m), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

std::string repeated(const char *piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// Stacks as small as thread pools and some C libraries give new threads:
// the search nests on a stack of its own, so depth costs none of them.
TEST_F(RegexecTest, SmallThreadStacksReachTheBoundCleanly) {
  const std::string ab_long = repeated("ab", 100000), a_long = "x" + std::string(100000, 'a');
  const std::string ab_short = repeated("ab", 200);
  const std::string ab_x = repeated("ab", 100) + "x", a_b = std::string(5000, 'a') + "b";
  struct Row {
    const char *pattern;
    const std::string *subject;
    int matched;
    long start, end, group_start, group_end;
    bool too_deep;
  } rows[] = {
      {"(a|b)*$", &ab_long, 0, -1, -1, -1, -1, true},
      {"((a)|b)+x", &a_long, 0, -1, -1, -1, -1, true},
      {"(ab)*(ab)*$", &ab_long, 0, -1, -1, -1, -1, true},
      {"^(a+)+$", &a_b, 0, -1, -1, -1, -1, false},  // decided: failures are remembered, not nested again
      {"(a|b)*$", &ab_short, 1, 0, 400, 399, 400, false},
      {"(ab)*(ab)*$", &ab_short, 1, 0, 400, 398, 400, false},
      {"((a)|b)+x", &ab_x, 1, 0, 201, 199, 200, false},
      {"(ab|a)*x", &ab_x, 1, 0, 201, 198, 200, false},
      {"^[ab]*x$", &ab_x, 1, 0, 201, -1, -1, false},
  };
  for (std::size_t stack_size : {std::size_t{128} * 1024, std::size_t{64} * 1024})
    for (const Row &row : rows) {
      SCOPED_TRACE(std::string(row.pattern) + " on " + std::to_string(row.subject->size()) + " characters, " +
                   std::to_string(stack_size / 1024) + " KiB");
      g_messages.clear();
      ThreadMatch m{row.pattern, row.subject};
      run_on_stack(m, stack_size);
      EXPECT_EQ(m.matched, row.matched);
      EXPECT_EQ(g_messages, row.too_deep ? fatal("recursion too deep") : "");
      EXPECT_EQ(m.start, row.start);
      EXPECT_EQ(m.end, row.end);
      EXPECT_EQ(m.group_start, row.group_start);
      EXPECT_EQ(m.group_end, row.group_end);
    }
}

// Ordinary subjects that nest the search a few thousand levels deep, far
// inside what the choice points may take: each is decided, with no report,
// also on a small thread stack. A bound on the depth alone cut these short,
// and a bound reached at the first start gave up the later ones too.
TEST_F(RegexecTest, LongOrdinarySubjectsAreDecided) {
  const std::string ab_666 = repeated("ab", 666), a_667(667, 'a'), parts = repeated("p/", 500) + "x.dat";
  const std::string ab_d = repeated("ab", 500) + "d", ab_many = repeated("ab", 20000);
  const std::string path_4k = repeated("d/", 2045) + "x.dat";
  struct Row {
    const char *pattern;
    const std::string *subject;
    long start, end, group_start, group_end;
  } rows[] = {
      {"(ab)*$", &ab_666, 0, 1332, 1330, 1332},
      {"(a)+$", &a_667, 0, 667, 666, 667},
      {"^([^/]*/)*[^/]*\\.dat$", &parts, 0, 1005, 998, 1000},
      {"(a|b)*c|d", &ab_d, 1000, 1001, -1, -1},
      {"(ab)*$", &ab_many, 0, 40000, 39998, 40000},
      {"^([^/]*/)*[^/]*\\.dat$", &path_4k, 0, 4095, 4088, 4090},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(std::string(row.pattern) + " on " + std::to_string(row.subject->size()) + " characters");
    g_messages.clear();
    ThreadMatch m{row.pattern, row.subject};
    run_on_stack(m, std::size_t{64} * 1024);
    EXPECT_EQ(m.matched, 1);
    EXPECT_EQ(g_messages, "");
    EXPECT_EQ(m.start, row.start);
    EXPECT_EQ(m.end, row.end);
    EXPECT_EQ(m.group_start, row.group_start);
    EXPECT_EQ(m.group_end, row.group_end);
  }
}

}  // namespace
