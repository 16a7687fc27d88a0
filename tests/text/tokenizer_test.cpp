// Line-tokenizer tests: each character class alone and in combination, the
// order of the classes, and the tokenizer's reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/token_messages.hpp"
#include "text/internal/token_table.hpp"
#include "zktoken.h"

namespace {

using token_test::messages;
using token_test::tokens_of;
using Strings = std::vector<std::string>;

struct Tokenizer : token_test::TokenTest {};

struct Case {
  const char *line, *separators, *pairs, *comments, *escapes, *specials;
  Strings tokens;
  std::string report;
};

// clang-format off
const Case cases[] = {
    {"a,,b\tc", nullptr, nullptr, nullptr, nullptr, nullptr, {"a", "b", "c"}, ""},
    {" ,a b,\t", nullptr, nullptr, nullptr, nullptr, nullptr, {"a", "b"}, ""},
    {"a b", "", nullptr, nullptr, nullptr, nullptr, {"a b"}, ""},
    {"a;b", ";", nullptr, nullptr, nullptr, nullptr, {"a", "b"}, ""},
    // pairs
    {"ab\"c d\"e", nullptr, "\"\"", nullptr, nullptr, nullptr, {"abc d", "e"}, ""},
    {"\"\"", nullptr, "\"\"", nullptr, nullptr, nullptr, {""}, ""},
    {"\"x\" , y", nullptr, "\"\"", nullptr, nullptr, nullptr, {"x", "y"}, ""},
    {"ab\"cd", nullptr, "\"\"", nullptr, nullptr, nullptr, {"abcd"},
     "WARNING  zktoken_new(), unmatched separator pair \" <-> \" in input: ab\"cd \n"},
    {"a (", nullptr, "()", nullptr, nullptr, nullptr, {"a", ""},
     "WARNING  zktoken_new(), unmatched separator pair ( <-> ) in input: a ( \n"},
    {"\"(x)\" (a\"b)", nullptr, "\"\"()", nullptr, nullptr, nullptr, {"(x)", "a\"b"}, ""},
    {"[a #\\b]c", nullptr, "[]", "#", "\\", nullptr, {"a #\\b", "c"}, ""},
    // comments
    {"ab #c", nullptr, nullptr, "#", nullptr, nullptr, {"ab"}, ""},
    {"ab#c", nullptr, nullptr, "#", nullptr, nullptr, {}, ""},
    {"a b#c d", " #", nullptr, "#", nullptr, nullptr, {"a"}, ""},
    {"a= #b", nullptr, nullptr, "#", nullptr, "=", {"a", "="}, ""},
    // escapes
    {"a\\ b", nullptr, nullptr, nullptr, "\\", nullptr, {"a b"}, ""},
    {"ab\\", nullptr, nullptr, nullptr, "\\", nullptr, {"ab"}, ""},
    {"\\", nullptr, nullptr, nullptr, "\\", nullptr, {}, ""},
    {"a\\#b\\\"c\\=", nullptr, "\"\"", "#", "\\", "=", {"a#b\"c="}, ""},
    // specials
    {"a=b", nullptr, nullptr, nullptr, nullptr, "=", {"a", "=", "b"}, ""},
    {"==", nullptr, nullptr, nullptr, nullptr, "=", {"=", "="}, ""},
    {"x = (1,2)", nullptr, nullptr, nullptr, nullptr, "=(),", {"x", "=", "(", "1", "2", ")"}, ""},
    {"k=\"v w\"", nullptr, "\"\"", nullptr, nullptr, "=", {"k", "=", "v w"}, ""},
    // odd pair string: the first step fails
    {"a b", nullptr, "abc", nullptr, nullptr, nullptr, {},
     "FATAL zktoken_new(): an even number of pair separators must supplied\n"},
    // no line
    {"", nullptr, nullptr, nullptr, nullptr, nullptr, {}, ""},
    {nullptr, nullptr, "abc", nullptr, nullptr, nullptr, {}, ""},
    // bytes above 127 are ordinary characters
    {"\xc3\xa9t\xc3\xa9 x", nullptr, nullptr, nullptr, nullptr, nullptr, {"\xc3\xa9t\xc3\xa9", "x"}, ""},
};
// clang-format on

TEST_F(Tokenizer, Classes) {
  for (const Case &c : cases) {
    messages().clear();
    int handle = -7;
    EXPECT_EQ(zktoken_new(&handle, c.line, c.separators, c.pairs, c.comments, c.escapes, c.specials), 0);
    ASSERT_EQ(zktoken_in_use(handle), 1) << (c.line ? c.line : "NULL");
    EXPECT_EQ(tokens_of(handle), c.tokens) << (c.line ? c.line : "NULL");
    EXPECT_EQ(messages(), c.report) << (c.line ? c.line : "NULL");
    zktoken_delete(handle);
  }
}

TEST_F(Tokenizer, EachLineGetsANewList) {
  // The numbers are those of a table no list has used yet.
  HESTREL_RUN_IN_OWN_PROCESS();
  int a = -1, b = -1;
  zktoken_new(&a, "one two", nullptr, nullptr, nullptr, nullptr, nullptr);
  zktoken_new(&b, "three", nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(tokens_of(a), (Strings{"one", "two"}));
  EXPECT_EQ(tokens_of(b), (Strings{"three"}));
  char *line = zktoken_get_string(a);
  EXPECT_STREQ(line, "one two");
  free(line);
  zktoken_delete(a);
  zktoken_delete(b);
}

TEST_F(Tokenizer, NullHandlePointerMakesNoList) {
  EXPECT_EQ(zktoken_new(nullptr, "a b", nullptr, nullptr, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(zktoken_in_use(0), 0);
}

}  // namespace
