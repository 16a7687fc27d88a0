// Glob pattern tests: the translation table seen through matching, the
// first-match index, and every report of compiling and matching.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hestrel_test/process_state.hpp"
#include "text/internal/token_table.hpp"
#include "zkerr.h"
#include "zktoken.h"
#include "zktoken_glob.h"

namespace {

std::string g_messages;
int collect(char *message) {
  g_messages += message;
  return 0;
}

std::string warning(const std::string &text) { return "WARNING " + text; }
std::string regex_fatal(const std::string &text) { return "FATAL Error in regular expression: " + text + " \n"; }

struct GlobTest : hestrel_test::ProcessStateTest {
  void SetUp() override {
    g_messages.clear();
    zkerr_window(-1, collect);
  }
  // A list holding exactly these tokens (blanks kept), compiled.
  int compiled(const std::vector<std::string> &patterns) {
    int h = -1;
    zktoken_new(&h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (const std::string &p : patterns) zktoken_add(h, p.c_str());
    EXPECT_EQ(zktoken_regex_compile(h), 0);
    return h;
  }
};

struct Case {
  const char *pattern;
  const char *subject;
  bool matches;
};

// Expected results follow the translation rules: "*" any run, "?" one
// character, "#" one digit, "." literal, matching by prefix.
// clang-format off
const Case kCases[] = {
    {"a*", "a", true},          {"a*", "abc", true},        {"a*", "ba", false},
    {"abc", "abcdef", true},    {"abc", "ab", false},       {"#.dat", "5.dat", true},
    {"#.dat", "5.data", true},  {"#.dat", "x.dat", false},  {"#.dat", "55.dat", false},
    {"#.dat", "5xdat", false},  {"a?c", "abc", true},       {"a?c", "axc", true},
    {"a?c", "ac", false},       {"a*   x", "ax", true},     {"a*   x", "a x", true},
    {"a b", "a b", true},       {"a b", "ab", false},       {"\\#1", "#1", true},
    {"\\#1", "51", false},      {"\\(x\\)", "(x)", true},   {"\\+", "+", true},
    {"a\\*", "a\\", true},      {"a\\*", "a\\zz", true},    {"a\\*", "ab", false},
    {"x\\", "x\\", true},       {"x\\", "x", false},        {"\\\\", "\\\\", true},  {"\\\\", "\\", false},
    {"(a|b)c", "bc", true},     {"(a|b)c", "cc", false},    {"[ab]z", "bz", true},
    {"x+", "xxx", true},        {"^a", "a", true},
};
// clang-format on

TEST_F(GlobTest, TranslationTable) {
  for (const Case &c : kCases) {
    SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.subject);
    int h = compiled({c.pattern});
    EXPECT_EQ(zktoken_regex_index(h, c.subject), c.matches ? 0 : -1);
    zktoken_delete(h);
  }
  EXPECT_EQ(g_messages, "");
}

// Inside "[...]" the characters are the set's members as they stand, read
// as the expression compiler reads a set ("]" first is a member, "^" first
// complements); outside it the translation table holds. A "[" that no "]"
// closes opens no set: the table goes on, and the compiler judges the rest.
// clang-format off
const Case kSetCases[] = {
    {"[._]x", ".x", true},      {"[._]x", "_x", true},       {"[._]x", "\\x", false},
    {"[ab.]", ".", true},       {"[ab.]", "\\", false},     {"[?]", "?", true},
    {"[?]", ".", false},        {"[*]", "*", true},          {"[*]", ".", false},
    {"[*]", "", false},         {"[#]", "#", true},          {"[#]", "5", false},
    {"[* ]x", " x", true},      {"[* ]x", "x", false},       {"[]*]", "]", true},
    {"[]*]", "*", true},        {"[]*]", ".", false},        {"[^.]", ".", false},
    {"[^.]", "\\", true},       {"[^.]", "a", true},         {"[^]?]", "?", false},
    {"[^]?]", "]", false},      {"[^]?]", "a", true},        {"[a-c.]", "b", true},
    {"[a-c.]", "d", false},     {"[a]*.txt", "abc.txt", true}, {"[a]*.txt", "ab.txt", true},
    {"[a]*.txt", "abxtxt", false}, {"[a]*.txt", "b.txt", false}, {"[0-9]#", "55", true},
    {"[0-9]#", "5x", false},    {"[ab]?[.]", "ax.", true},   {"[ab]?[.]", "axy", false},
    {"\\[.]", "[.]", true},     {"\\[.]", "[x]", false},     {"\\[x.", "[x.", true},
    {"[#", "[", true},          {"[#", "7", true},           {"[#", "x", false},
};
// clang-format on

TEST_F(GlobTest, BracketSetsKeepTheirMembers) {
  for (const Case &c : kSetCases) {
    SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.subject);
    int h = compiled({c.pattern});
    EXPECT_EQ(zktoken_regex_index(h, c.subject), c.matches ? 0 : -1);
    zktoken_delete(h);
  }
  EXPECT_EQ(g_messages, "");
}

TEST_F(GlobTest, UnclosedSetDoesNotCompile) {
  int h = compiled({"[a.", "a*"});
  EXPECT_EQ(g_messages, regex_fatal("unmatched []"));
  g_messages.clear();
  EXPECT_EQ(zktoken_regex_index(h, "a."), 1);
  zktoken_delete(h);
}

TEST_F(GlobTest, FirstMatchingPatternWins) {
  int h = -1;
  ASSERT_EQ(zktoken_new(&h, "*.txt a* # b?", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  ASSERT_EQ(zktoken_regex_compile(h), 0);
  EXPECT_EQ(zktoken_regex_index(h, "a.txt"), 0);
  EXPECT_EQ(zktoken_regex_index(h, "abc"), 1);
  EXPECT_EQ(zktoken_regex_index(h, "5"), 2);
  EXPECT_EQ(zktoken_regex_index(h, "bz"), 3);
  EXPECT_EQ(zktoken_regex_index(h, "zzz"), -1);
  EXPECT_EQ(g_messages, "");
  zktoken_delete(h);
}

TEST_F(GlobTest, BadHandles) {
  EXPECT_EQ(zktoken_regex_compile(-1), -1);
  EXPECT_EQ(zktoken_regex_index(7, "x"), -1);
  int h = compiled({"a"});
  zktoken_delete(h);
  EXPECT_EQ(zktoken_regex_compile(h), -1);
  EXPECT_EQ(g_messages, warning("zktoken_regex_compile(): bad tok index = -1 \n") +
                            warning("zktoken_regex_index():bad tok index = 7\n") +
                            warning("zktoken_regex_compile(): bad tok index = 0 \n"));
}

TEST_F(GlobTest, PatternsMustBeCompiledAfterAddingOrClearing) {
  const std::string stale = warning("zktoken_regex_index(): not enough regular expressions\n") +
                            warning("                      : call zktoken_regex_compile() first\n");
  int h = compiled({"a*"});
  zktoken_add(h, "b*");
  EXPECT_EQ(zktoken_regex_index(h, "b"), -1);
  EXPECT_EQ(g_messages, stale);
  g_messages.clear();
  ASSERT_EQ(zktoken_regex_compile(h), 0);
  EXPECT_EQ(zktoken_regex_index(h, "b"), 1);

  // A replaced token keeps the old pattern until the next compilation.
  zktoken_replace(h, 1, "c*");
  EXPECT_EQ(zktoken_regex_index(h, "b"), 1);
  ASSERT_EQ(zktoken_regex_compile(h), 0);
  EXPECT_EQ(zktoken_regex_index(h, "b"), -1);
  EXPECT_EQ(zktoken_regex_index(h, "c"), 1);
  EXPECT_EQ(g_messages, "");

  zktoken_clear(h);
  EXPECT_EQ(zktoken_regex_index(h, "a"), -1);
  EXPECT_EQ(g_messages, stale);
  g_messages.clear();
  // An empty list compiles to no patterns and matches nothing, silently.
  EXPECT_EQ(zktoken_regex_compile(h), 0);
  EXPECT_EQ(zktoken_regex_index(h, "a"), -1);
  EXPECT_EQ(g_messages, "");
  zktoken_delete(h);
}

TEST_F(GlobTest, PatternThatDoesNotCompileNeverMatches) {
  int h = compiled({"(a", "b*"});
  EXPECT_EQ(g_messages, regex_fatal("unmatched ()"));
  g_messages.clear();
  EXPECT_EQ(zktoken_regex_index(h, "bb"), 1);
  EXPECT_EQ(zktoken_regex_index(h, "(a"), -1);
  EXPECT_EQ(g_messages, regex_fatal("NULL parameter") + regex_fatal("NULL parameter"));
  zktoken_delete(h);
}

TEST_F(GlobTest, ExpressionLongerThanItsBufferIsRefused) {
  // With the leading "^", 9998 characters fit in 9999 and 9999 do not; one
  // "#" becomes five characters.
  const std::string fits(9998, 'a'), too_long(9999, 'a'), digits(2000, '#');
  int h = compiled({too_long, fits, digits});
  EXPECT_EQ(g_messages,
            warning("zktoken_regex_compile(): token 0 does not fit in 9999 characters as an expression \n") +
                warning("zktoken_regex_compile(): token 2 does not fit in 9999 characters as an expression \n"));
  g_messages.clear();
  EXPECT_EQ(zktoken_regex_index(h, (too_long + "b").c_str()), 1);  // its prefix matches the second
  EXPECT_EQ(g_messages, regex_fatal("NULL parameter"));
  g_messages.clear();
  EXPECT_EQ(zktoken_regex_index(h, std::string(2000, '1').c_str()), -1);
  EXPECT_EQ(g_messages, regex_fatal("NULL parameter") + regex_fatal("NULL parameter"));
  zktoken_delete(h);
}

}  // namespace
