// Compiler tests: the exact program bytes of a few patterns, the search
// hints, and every compile-time message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/regex_messages.hpp"
#include "text/internal/regexp_engine.hpp"
#include "zk_regexp.h"
#include "zkerr.h"

namespace {

using regex_test::fatal;
using regex_test::g_messages;
using RegcompTest = regex_test::RegexTest;

struct Emitted {
  const char *pattern;
  std::vector<unsigned char> program;  // the magic byte included
  char first_char;
  char anchored;
  int required_at;  // offset of required in program, -1 for none
  int required_len;
};

// Offsets worked out by hand from the node layout: opcode, big-endian
// successor offset, operand.
// clang-format off
const Emitted emitted[] = {
    {"", {0x9C, 6, 0, 6, 9, 0, 3, 0, 0, 0}, 0, 0, -1, 0},
    {"abc", {0x9C, 6, 0, 10, 8, 0, 7, 'a', 'b', 'c', 0, 0, 0, 0}, 'a', 0, -1, 0},
    {"abc*",
     {0x9C, 6, 0, 17, 8, 0, 6, 'a', 'b', 0, 10, 0, 8, 8, 0, 0, 'c', 0, 0, 0, 0},
     'a', 0, -1, 0},
    {"a*bcd",
     {0x9C, 6, 0, 18, 10, 0, 8, 8, 0, 0, 'a', 0, 8, 0, 7, 'b', 'c', 'd', 0, 0, 0, 0},
     0, 0, 15, 3},
    {"^x", {0x9C, 6, 0, 11, 1, 0, 3, 8, 0, 5, 'x', 0, 0, 0, 0}, 0, 1, -1, 0},
    {"a|b",
     {0x9C, 6, 0, 8, 8, 0, 13, 'a', 0, 6, 0, 8, 8, 0, 5, 'b', 0, 0, 0, 0},
     0, 0, -1, 0},
    {"(a)*",
     {0x9C, 6, 0, 29, 6, 0, 20, 21, 0, 3, 6, 0, 8, 8, 0, 5, 'a', 0,
      31, 0, 3, 7, 0, 17, 6, 0, 3, 9, 0, 3, 0, 0, 0},
     0, 0, -1, 0},
    {"[^]-]",
     {0x9C, 6, 0, 9, 5, 0, 6, ']', '-', 0, 0, 0, 0}, 0, 0, -1, 0},
    {"(a)+",
     {0x9C, 6, 0, 29, 21, 0, 3, 6, 0, 8, 8, 0, 5, 'a', 0, 31, 0, 3,
      6, 0, 6, 7, 0, 17, 6, 0, 3, 9, 0, 3, 0, 0, 0},
     0, 0, -1, 0},
    {"a?",
     {0x9C, 6, 0, 17, 6, 0, 8, 8, 0, 8, 'a', 0, 6, 0, 3, 9, 0, 3, 0, 0, 0},
     0, 0, -1, 0},
};
// clang-format on

TEST_F(RegcompTest, EmitsExactNodesAndHints) {
  for (const Emitted &e : emitted) {
    SCOPED_TRACE(e.pattern);
    zk_regexp *r = zk_regcomp(e.pattern);
    ASSERT_NE(r, nullptr);
    std::vector<unsigned char> got(r->program, r->program + e.program.size());
    EXPECT_EQ(got, e.program);
    EXPECT_EQ(r->first_char, e.first_char);
    EXPECT_EQ(r->anchored, e.anchored);
    if (e.required_at < 0) {
      EXPECT_EQ(r->required, nullptr);
    } else {
      EXPECT_EQ(r->required, reinterpret_cast<char *>(r->program + e.required_at));
    }
    EXPECT_EQ(r->required_len, e.required_len);
    std::free(r);
  }
  EXPECT_EQ(g_messages, "");
}

TEST_F(RegcompTest, RequiredLiteralIsTheLongestLaterOneOnTheTopChain) {
  struct {
    const char *pattern;
    const char *required;  // nullptr for none
  } cases[] = {
      {"x*abc", "abc"},        {"x*ab.cd", "cd"},  // equal lengths: the later one
      {"x*ab(cdef)", "ab"},                        // never inside a group
      {"x*ab(cdef|g)h", "ab"},                     // nor inside an alternative
      {"x*(abc)?", nullptr},   {"ab*", nullptr},   // does not begin with a repeat
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pattern);
    zk_regexp *r = zk_regcomp(c.pattern);
    ASSERT_NE(r, nullptr);
    if (!c.required) {
      EXPECT_EQ(r->required, nullptr);
      EXPECT_EQ(r->required_len, 0);
    } else {
      ASSERT_NE(r->required, nullptr);
      EXPECT_EQ(std::string(r->required, r->required_len), c.required);
    }
    std::free(r);
  }
}

TEST_F(RegcompTest, ReportsEachSyntaxError) {
  struct {
    const char *pattern;
    const char *message;
  } cases[] = {
      {"[b-a]", "invalid [] range"},
      {"[abc", "unmatched []"},
      {"[", "unmatched []"},
      {"a**", "nested *?+"},
      {"a+?", "nested *?+"},
      {"*a", "?+* follows nothing"},
      {"a|+b", "?+* follows nothing"},
      {"(?a)", "?+* follows nothing"},
      {"(^)*", "*+ operand could be empty"},
      {"()+", "*+ operand could be empty"},
      {"$*", "*+ operand could be empty"},
      {"(a", "unmatched ()"},
      {"a)", "unmatched ()"},
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", "too many ()"},
      {"ab\\", "trailing \\"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pattern);
    g_messages.clear();
    EXPECT_EQ(zk_regcomp(c.pattern), nullptr);
    EXPECT_EQ(g_messages, fatal(c.message));
  }
}

TEST_F(RegcompTest, AcceptsEdgePatterns) {
  const char *patterns[] = {"(^)?", "()", "(a)(b)(c)(d)(e)(f)(g)(h)(i)", "[a-a]", "a{1,2}", "\\\\"};
  for (const char *p : patterns) {
    SCOPED_TRACE(p);
    zk_regexp *r = zk_regcomp(p);
    EXPECT_NE(r, nullptr);
    std::free(r);
  }
  EXPECT_EQ(g_messages, "");
}

TEST_F(RegcompTest, RefusesAProgramOf32767Bytes) {
  // One literal of n characters counts n + 11 bytes.
  std::string fits(32755, 'a'), too_big(32756, 'a');
  zk_regexp *r = zk_regcomp(fits.c_str());
  EXPECT_NE(r, nullptr);
  std::free(r);
  EXPECT_EQ(zk_regcomp(too_big.c_str()), nullptr);
  EXPECT_EQ(g_messages, fatal("regexp too big"));
}

TEST_F(RegcompTest, ReportsNullPattern) {
  EXPECT_EQ(zk_regcomp(nullptr), nullptr);
  EXPECT_EQ(g_messages, fatal("NULL argument"));
}

}  // namespace
