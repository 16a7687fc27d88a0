// What the token lists, the tokenizer, glob patterns and the expression
// compiler report and keep when one particular allocation fails. Positions
// count every allocation of the call, in the order the code makes them.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "failing_allocator.hpp"
#include "zk_regexp.h"
#include "zkerr.h"
#include "zktoken.h"
#include "zktoken_glob.h"

namespace {

// The default handler's messages, collected in fixed storage: collecting
// must not allocate while allocations fail.
char g_text[4096];
std::size_t g_used = 0;

int collect(char *message) {
  std::size_t n = std::strlen(message);
  if (g_used + n < sizeof g_text) {
    std::memcpy(g_text + g_used, message, n + 1);
    g_used += n;
  }
  return 0;
}

class TextFailures : public testing::Test {
 protected:
  void SetUp() override {
    clear();
    zkerr_file(-1, nullptr);
    zkerr_window(-1, collect);
    // A free record in the table: making a list then allocates only for
    // the list itself.
    int spare = -1;
    zktoken_new(&spare, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    zktoken_delete(spare);
  }
  void TearDown() override {
    alloc_test::disarm();
    zkerr_window(-1, nullptr);
    zkerr_file(-1, stderr);
  }
  static void clear() {
    g_used = 0;
    g_text[0] = '\0';
  }
  static std::string messages() { return std::string(g_text, g_used); }
  static std::vector<std::string> tokens_of(int handle) {
    std::vector<std::string> out;
    for (int i = 0; i < zktoken_num(handle); ++i) out.emplace_back(zktoken_get_token(handle, i));
    return out;
  }
  static int empty_list() {
    int h = -1;
    zktoken_new(&h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    return h;
  }
  // Runs call with the nth allocation failing; the rest go through.
  template <typename Call>
  static auto failing(long n, Call call) {
    alloc_test::arm(n, false);
    auto result = call();
    alloc_test::disarm();
    return result;
  }
};

TEST_F(TextFailures, ListsStayUsable) {
  int h = empty_list();
  for (int i = 0; i < 20; ++i) zktoken_add(h, "t");  // the array is full
  // 1: the token's copy, 2: the array's growth.
  EXPECT_EQ(failing(2, [&] { return zktoken_add(h, "u"); }), -1);
  EXPECT_EQ(messages(), "FATAL zktoken_add(): can't expand list \n");
  EXPECT_EQ(zktoken_num(h), 20);
  clear();
  EXPECT_EQ(failing(1, [&] { return zktoken_addn(h, "u", 4, 0, 0); }), -1);
  EXPECT_EQ(messages(), "FATAL zktoken_add(): can't expand list \n");
  EXPECT_EQ(zktoken_add(h, "u"), 0);
  EXPECT_EQ(zktoken_num(h), 21);

  // 1: the table of tokens that need quotes, 2: the string.
  clear();
  EXPECT_EQ(failing(1, [&] { return zktoken_get_string(h); }), nullptr);
  EXPECT_EQ(messages(), "FATAL zktoken_get_string(): can't allocate need_quotes array\n");
  clear();
  EXPECT_EQ(failing(2, [&] { return zktoken_get_string(h); }), nullptr);
  EXPECT_EQ(messages(), "FATAL zktoken_get_string(): can't allocate string\n");

  clear();
  EXPECT_EQ(failing(1, [&] { return zktoken_replace(h, 0, "v"); }), -1);
  EXPECT_STREQ(zktoken_get_token(h, 0), "t");
  failing(1, [&] {
    zktoken_set_quoted_characters(h, "t");
    return 0;
  });
  EXPECT_EQ(messages(),
            "FATAL zktoken_replace(): can't allocate token \n"
            "FATAL zktoken_set_quoted_characters(): can't allocate the set \n");

  // Copying goes on after a token that could not be added: 1 and 2 are the
  // first token's copy and the array, 3 the second token's copy.
  int c = empty_list();
  EXPECT_EQ(failing(3, [&] { return zktoken_copy(c, h); }), 0);
  EXPECT_EQ(zktoken_num(c), 20);
  zktoken_delete(c);
  zktoken_delete(h);
}

TEST_F(TextFailures, TokenizerKeepsTheTokensFound) {
  // 1: the list's quoted set, 2: the first token, 3: the token array,
  // 4: the second token.
  int handle = -1;
  EXPECT_EQ(failing(4, [&] { return zktoken_new(&handle, "a b c", nullptr, nullptr, nullptr, nullptr, nullptr); }), 0);
  EXPECT_EQ(tokens_of(handle), (std::vector<std::string>{"a"}));
  EXPECT_EQ(messages(), "FATAL zktoken_new(): failed to allocate memory for the token.\n");
  zktoken_delete(handle);
}

TEST_F(TextFailures, ListWithoutItsQuotedSetQuotesOnlyEmptyTokens) {
  int handle = -1;
  failing(1, [&] { return zktoken_new(&handle, "\"a b\" \"\"", nullptr, "\"\"", nullptr, nullptr, nullptr); });
  char *line = zktoken_get_string(handle);
  EXPECT_STREQ(line, "a b \"\"");
  std::free(line);
  zktoken_delete(handle);
}

TEST_F(TextFailures, PatternArrayThatCannotBeAllocated) {
  int h = empty_list();
  zktoken_add(h, "a*");
  ASSERT_EQ(zktoken_regex_compile(h), 0);
  // 1: the expression buffer, 2: the pattern array.
  EXPECT_EQ(failing(2, [&] { return zktoken_regex_compile(h); }), -1);
  EXPECT_EQ(messages(), "FATAL zktoken_regex_compile(): can't allocate pattern array \n");
  clear();
  EXPECT_EQ(zktoken_regex_index(h, "a"), -1);  // no patterns left in force
  EXPECT_NE(messages().find("not enough regular expressions"), std::string::npos);
  clear();
  EXPECT_EQ(failing(1, [&] { return zktoken_regex_compile(h); }), -1);
  EXPECT_EQ(messages(), "FATAL zktoken_regex_compile(): out of memory\n");
  EXPECT_EQ(zktoken_regex_compile(h), 0);
  EXPECT_EQ(zktoken_regex_index(h, "a"), 0);
  zktoken_delete(h);
}

// Four frames a character: eight characters need more than the frames the
// search holds in place, and fewer entries than remembering failures takes,
// so the choice stack's growth is the call's first allocation.
TEST_F(TextFailures, MatcherWithoutRoomForItsChoicesFailsTheMatch) {
  zk_regexp *r = zk_regcomp("(a|b)*$");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(failing(1, [&] { return zk_regexec(r, "abababab"); }), 0);
  EXPECT_EQ(messages(), "FATAL zk_regexec(): out of memory\n");
  clear();
  EXPECT_EQ(zk_regexec(r, "abababab"), 1);
  EXPECT_EQ(r->match_end[0] - r->match_start[0], 8);
  EXPECT_EQ(messages(), "");
  std::free(r);
}

TEST_F(TextFailures, CompilerReportsItsBlock) {
  EXPECT_EQ(failing(1, [] { return zk_regcomp("abc"); }), nullptr);
  EXPECT_EQ(messages(), "FATAL Error in regular expression: out of space \n");
}

}  // namespace
