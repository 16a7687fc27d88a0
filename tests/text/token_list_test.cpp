// Token-list tests: handle reuse, growth, padding, joining with quotes,
// typed reads, editing, copying, every bad-handle and bad-index report and
// the out-of-memory paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/token_messages.hpp"
#include "text/internal/token_table.hpp"
#include "zk_regexp.h"
#include "zktoken.h"

namespace {

using token_test::list_of;
using token_test::messages;
using token_test::tokens_of;
using Strings = std::vector<std::string>;
namespace tk = hestrel::text::tokens;

struct TokenList : token_test::TokenTest {};

int new_empty() {
  int handle = -1;
  EXPECT_EQ(zktoken_new(&handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  return handle;
}

std::string joined(int handle) {
  char *text = zktoken_get_string(handle);
  std::string out = text ? text : "<NULL>";
  std::free(text);
  return out;
}

TEST_F(TokenList, HandlesReuseTheHighestFreeSlot) {
  EXPECT_EQ(zktoken_initialize(), 0);
  EXPECT_EQ(new_empty(), 0);
  EXPECT_EQ(new_empty(), 1);
  EXPECT_EQ(new_empty(), 2);
  EXPECT_EQ(zktoken_delete(0), 0);
  EXPECT_EQ(zktoken_delete(2), 0);
  EXPECT_EQ(new_empty(), 2);
  EXPECT_EQ(new_empty(), 0);
  EXPECT_EQ(new_empty(), 3);
  EXPECT_EQ(tk::num_toks(), 4);
  for (int h = 0; h < 4; ++h) zktoken_delete(h);
  // Deleting frees the records for reuse but never shrinks the table, and
  // terminating touches nothing.
  zktoken_terminate();
  EXPECT_EQ(tk::num_toks(), 4);
  EXPECT_EQ(new_empty(), 3);
  zktoken_delete(3);
}

TEST_F(TokenList, GrowsTwentySlotsAtATime) {
  int h = new_empty();
  for (int i = 0; i < 21; ++i) {
    ASSERT_EQ(zktoken_add(h, std::to_string(i).c_str()), 0);
    EXPECT_EQ(tk::lookup(h)->capacity, i < 20 ? 20 : 40);
  }
  EXPECT_EQ(zktoken_num(h), 21);
  EXPECT_STREQ(zktoken_get_token(h, 20), "20");
  zktoken_delete(h);
}

TEST_F(TokenList, NullStringAddsNothingBeforeTheHandleIsChecked) {
  EXPECT_EQ(zktoken_add(7, nullptr), 0);
  EXPECT_EQ(zktoken_addn(7, nullptr, 5, 0, 0), 0);
  EXPECT_EQ(messages(), "");
}

TEST_F(TokenList, AddWithWidth) {
  struct Case {
    int width, left_justify, offset;
    const char *expected;
  } cases[] = {
      {5, 1, 0, "ab   "},
      {5, 0, 0, "   ab"},
      {5, 0, 1, " ab  "},
      {5, 0, 3, "   ab"},
      {1, 0, 0, "ab"},
      {-3, 1, 0, "ab"},
      // A string that would stand outside the token is right-aligned.
      {5, 0, 4, "   ab"},
      {5, 0, -2, "   ab"},
      {2, 0, 9, "ab"},
  };
  int h = new_empty();
  for (const Case &c : cases) {
    ASSERT_EQ(zktoken_addn(h, "ab", c.width, c.left_justify, c.offset), 0);
    EXPECT_STREQ(zktoken_get_token(h, zktoken_num(h) - 1), c.expected)
        << c.width << ' ' << c.left_justify << ' ' << c.offset;
  }
  zktoken_delete(h);
}

TEST_F(TokenList, JoinQuotesEmptyTokensAndTheQuotedSet) {
  int h = list_of({"a", "", "b c"});
  EXPECT_EQ(joined(h), "a \"\" \"b c\"");
  zktoken_set_quoted_characters(h, "");
  EXPECT_EQ(joined(h), "a \"\" b c");
  zktoken_set_quoted_characters(h, "a");
  EXPECT_EQ(joined(h), "\"a\" \"\" b c");
  zktoken_set_quoted_characters(h, nullptr);  // changes nothing
  EXPECT_EQ(joined(h), "\"a\" \"\" b c");
  zktoken_delete(h);

  h = list_of({"say \"hi\"", "x"});
  EXPECT_EQ(joined(h), "\"say \"hi\"\" x");  // inner quotes are not escaped
  zktoken_clear(h);
  EXPECT_EQ(joined(h), "");
  zktoken_delete(h);
}

TEST_F(TokenList, TypedReads) {
  struct Case {
    const char *token;
    int type, int_result, int_value, double_result;
    double double_value;
  } cases[] = {
      {"12", 1, 0, 12, 0, 12.0},  {"+42", 1, 0, 42, 0, 42.0},     {"+-5", 1, 0, -5, 0, -5.0},
      {"1.5", 2, -1, 0, 0, 1.5},  {"-1e3", 2, -1, 0, 0, -1000.0}, {"3000000000", 2, -1, 0, 0, 3e9},
      {"abc", 0, -1, 0, -1, 0.0}, {"", 0, -1, 0, -1, 0.0},
  };
  for (const Case &c : cases) {
    int h = list_of({c.token});
    int i = 99;
    double d = 99;
    EXPECT_EQ(zktoken_find_type(h, 0), c.type) << c.token;
    EXPECT_EQ(zktoken_get_int(h, 0, &i), c.int_result) << c.token;
    EXPECT_EQ(i, c.int_value) << c.token;
    EXPECT_EQ(zktoken_get_double(h, 0, &d), c.double_result) << c.token;
    EXPECT_DOUBLE_EQ(d, c.double_value) << c.token;
    EXPECT_EQ(zktoken_get_int(h, 0, nullptr), -1);
    EXPECT_EQ(zktoken_get_double(h, 0, nullptr), -1);
    zktoken_delete(h);
  }
  EXPECT_EQ(messages(), "");  // a token of the wrong class is not reported
}

TEST_F(TokenList, EditingAndSearching) {
  int h = list_of({"Alpha", "beta", "Gamma"});
  EXPECT_EQ(zktoken_delete_token(h, 0), 0);
  EXPECT_EQ(tokens_of(h), (Strings{"beta", "Gamma"}));
  EXPECT_EQ(zktoken_replace(h, 1, "gamma ray"), 0);
  EXPECT_EQ(zktoken_replace(h, 1, nullptr), -1);
  EXPECT_EQ(zktoken_add(h, "beta"), 0);
  EXPECT_EQ(zktoken_index(h, "beta"), 0);
  EXPECT_EQ(zktoken_index(h, "gamma"), -1);
  EXPECT_EQ(zktoken_index(h, nullptr), -1);
  EXPECT_EQ(zktoken_indexn(h, "gamma", 5), 1);
  EXPECT_EQ(zktoken_indexn(h, "gammx", 5), -1);
  EXPECT_EQ(zktoken_indexn(h, "zzz", 0), 0);
  EXPECT_EQ(zktoken_indexn(h, nullptr, 3), -1);
  zktoken_toupper(h);
  EXPECT_EQ(tokens_of(h), (Strings{"BETA", "GAMMA RAY", "BETA"}));
  zktoken_tolower_token(h, 1);
  EXPECT_EQ(tokens_of(h), (Strings{"BETA", "gamma ray", "BETA"}));
  EXPECT_EQ(zktoken_clear(h), 0);
  EXPECT_EQ(zktoken_num(h), 0);
  EXPECT_EQ(tk::lookup(h)->capacity, 20);
  EXPECT_EQ(zktoken_index(h, "BETA"), -1);
  EXPECT_EQ(messages(), "");
  zktoken_delete(h);
}

TEST_F(TokenList, CopyAndMerge) {
  int a = list_of({"x", "y"});
  int b = list_of({"old"});
  EXPECT_EQ(zktoken_copy(b, a), 0);
  EXPECT_EQ(tokens_of(b), (Strings{"x", "y"}));
  EXPECT_EQ(zktoken_merge(b, a), 0);
  EXPECT_EQ(tokens_of(b), (Strings{"x", "y", "x", "y"}));
  EXPECT_EQ(zktoken_copyn(b, a, 3, 1, 0), 0);
  EXPECT_EQ(tokens_of(b), (Strings{"x  ", "y  "}));
  EXPECT_EQ(zktoken_mergen(b, a, 2, 0, 0), 0);
  EXPECT_EQ(tokens_of(b), (Strings{"x  ", "y  ", " x", " y"}));
  // A list merged into itself takes its tokens once more and stops.
  EXPECT_EQ(zktoken_merge(a, a), 0);
  EXPECT_EQ(tokens_of(a), (Strings{"x", "y", "x", "y"}));
  EXPECT_EQ(zktoken_mergen(a, a, 2, 1, 0), 0);
  EXPECT_EQ(zktoken_num(a), 8);
  // Copying onto itself clears it first.
  EXPECT_EQ(zktoken_copy(a, a), 0);
  EXPECT_EQ(zktoken_num(a), 0);
  EXPECT_EQ(messages(), "");
  zktoken_delete(a);
  zktoken_delete(b);
}

TEST_F(TokenList, DeleteFreesCompiledPatternsAndTheSlot) {
  int h = list_of({"a*", "b"});
  tk::token_tag *t = tk::lookup(h);
  t->regex = static_cast<zk_regexp **>(std::calloc(2, sizeof(zk_regexp *)));
  t->regex[0] = zk_regcomp("a*");
  t->n_regex = 2;                   // the second entry stays NULL, as for a pattern that failed
  EXPECT_EQ(zktoken_delete(h), 0);  // the leak check proves the frees
  EXPECT_EQ(zktoken_in_use(h), 0);
  EXPECT_EQ(tk::toks()[static_cast<std::size_t>(h)].capacity, 0);
  EXPECT_EQ(zktoken_in_use(-1), 0);
  EXPECT_EQ(zktoken_in_use(1000), 0);
}

// Every operation on a handle that names no list: its report and result.
TEST_F(TokenList, BadHandleReports) {
  int h = list_of({"a"});
  int ok = list_of({"b"});
  zktoken_delete(h);
  auto report = [h](const std::string &head) { return head + " = " + std::to_string(h) + " \n"; };
  int i = 5;
  double d = 5;
  struct Case {
    std::function<long()> call;
    long result;
    std::string report;
  } cases[] = {
      {[&] { return zktoken_add(h, "x"); }, -1, report("zktoken_add(): bad tok index")},
      {[&] { return zktoken_addn(h, "x", 3, 0, 0); }, -1, report("zktoken_add(): bad tok index")},
      {[&] { return zktoken_delete(h); }, -1, report("zktoken_delete(): bad tok index")},
      {[&] { return zktoken_delete_token(h, 0); }, -1, report("zktoken_delete_token(): bad tok index")},
      {[&] { return zktoken_clear(h); }, -1, report("zktoken_clear(): bad tok index")},
      {[&] { return zktoken_copy(h, ok); }, -1, report("zktoken_copy(): bad dest index")},
      {[&] { return zktoken_copy(ok, h); }, -1, report("zktoken_copy(): bad source index")},
      {[&] { return zktoken_copy(h, -3); }, -1, report("zktoken_copy(): bad dest index")},
      {[&] { return zktoken_copyn(h, ok, 1, 0, 0); }, -1, report("zktoken_copy(): bad dest index")},
      {[&] { return zktoken_copyn(ok, h, 1, 0, 0); }, -1, report("zktoken_copy(): bad source index")},
      {[&] { return zktoken_merge(h, ok); }, -1, report("zktoken_merge(): bad dest index")},
      {[&] { return zktoken_merge(ok, h); }, -1, report("zktoken_merge(): bad source index")},
      {[&] { return zktoken_mergen(h, ok, 1, 0, 0); }, -1, report("zktoken_mergen(): bad dest index")},
      {[&] { return zktoken_mergen(ok, h, 1, 0, 0); }, -1, report("zktoken_mergen(): bad source index")},
      {[&] { return zktoken_replace(h, 0, "x"); }, -1, report("zktoken_replace(): bad tok index")},
      {[&] { return zktoken_get_token(h, 0) == nullptr ? -1 : 0; }, -1, report("zktoken_get_token(): bad tok index")},
      {[&] { return zktoken_get_string(h) == nullptr ? -1 : 0; }, -1, report("zktoken_get_string(): bad tok index")},
      {[&] { return zktoken_num(h); }, -1, report("zktoken_num(): bad tok index")},
      {[&] { return zktoken_find_type(h, 0); }, -1, report("zktoken_find_type(): bad tok index")},
      {[&] { return zktoken_get_int(h, 0, &i) * 10 + i; }, -10, report("zktoken_get_int(): bad tok index")},
      {[&] { return zktoken_get_double(h, 0, &d) * 10 + static_cast<long>(d); }, -10,
       report("zktoken_get_double(): bad tok index")},
      {[&] { return zktoken_index(h, "a"); }, -1, report("zktoken_index(): bad tok index")},
      {[&] { return zktoken_indexn(h, "a", 1); }, -1, report("zktoken_indexn(): bad tok index")},
      {[&] { return zktoken_toupper(h), 0L; }, 0, report("zktoken_toupper(): bad tok index")},
      {[&] { return zktoken_tolower_token(h, 0), 0L; }, 0, report("zktoken_tolower_token(): bad tok index")},
      {[&] { return zktoken_set_quoted_characters(h, "x"), 0L; }, 0,
       report("zktoken_set_quoted_characters(): bad tok index")},
  };
  for (const Case &c : cases) {
    messages().clear();
    EXPECT_EQ(c.call(), c.result) << c.report;
    EXPECT_EQ(messages(), "WARNING " + c.report);
  }
  messages().clear();
  EXPECT_EQ(zktoken_num(-1), -1);
  EXPECT_EQ(messages(), "WARNING zktoken_num(): bad tok index = -1 \n");
  EXPECT_EQ(tokens_of(ok), (Strings{"b"}));
  zktoken_delete(ok);
}

TEST_F(TokenList, BadIndexReports) {
  int h = list_of({"a", "b"});
  const std::string only17 = "WARNING                  :  only 2 tokens in list\n";
  int i = 5;
  double d = 5;
  struct Case {
    std::function<long()> call;
    long result;
    std::string report;
  } cases[] = {
      {[&] { return zktoken_delete_token(h, 2); }, -1,
       "WARNING zktoken_delete_token(): bad index = 2 \nWARNING                       :  only 2 tokens in list\n"},
      {[&] { return zktoken_replace(h, -1, "x"); }, -1, "WARNING zktoken_replace(): bad index = -1 \n" + only17},
      {[&] { return zktoken_get_token(h, 2) == nullptr ? -1 : 0; }, -1,
       "WARNING zktoken_get_token(): bad index = 2 \n" + only17},
      {[&] { return zktoken_find_type(h, 9); }, -1,
       "WARNING zktoken_find_type(): bad index = 9 \nWARNING                      :  only 2 tokens in list\n"},
      {[&] { return zktoken_get_int(h, 2, &i) * 10 + i; }, -10, "WARNING zktoken_get_int(): bad index = 2 \n" + only17},
      {[&] { return zktoken_get_double(h, 2, &d) * 10 + static_cast<long>(d); }, -10,
       "WARNING zktoken_get_double(): bad index = 2 \n" + only17},
      {[&] { return zktoken_tolower_token(h, 2), 0L; }, 0,
       "WARNING zktoken_tolower_token(): bad index = 2 \n" + only17},
  };
  for (const Case &c : cases) {
    messages().clear();
    EXPECT_EQ(c.call(), c.result) << c.report;
    EXPECT_EQ(messages(), c.report);
  }
  EXPECT_EQ(tokens_of(h), (Strings{"a", "b"}));
  zktoken_delete(h);
}

}  // namespace
