// Failed allocations at every point of a typical use of the token lists,
// the line tokenizer, glob patterns and regular expressions through their
// C interface: no abort, and a clean run right after.
#include <cstdlib>

#include <gtest/gtest.h>

#include "sweep.hpp"
#include "zk_number.h"
#include "zk_regexp.h"
#include "zktoken.h"
#include "zktoken_glob.h"

namespace {

TEST(AllocationFailure, TokenListsAndExpressions) {
  long positions = alloc_test::sweep([](alloc_test::outcome &out) {
    int line = -1, other = -1;
    out.value(zktoken_new(&line, "alpha, 'two words' beta # comment", nullptr, "''", "#", "\\", "="));
    out.value(zktoken_num(line));
    out.value(zktoken_new(&other, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    out.value(zktoken_add(other, "a*.dat"));
    out.value(zktoken_addn(other, "b?", 6, 1, 0));
    out.value(zktoken_merge(other, line));
    out.value(zktoken_replace(other, 0, "*.txt"));
    out.text(zktoken_get_token(other, 1));  // the list's own text
    char *joined = zktoken_get_string(other);
    out.text(joined);
    std::free(joined);
    int value = 0;
    out.value(zktoken_get_int(line, 0, &value));
    out.value(zktoken_regex_compile(other));
    out.value(zktoken_regex_index(other, "notes.txt"));
    out.value(zktoken_index(other, "beta"));
    zktoken_toupper(other);
    zk_regexp *expression = zk_regcomp("^[a-c]+x*$");
    out.value(expression != nullptr ? zk_regexec(expression, "abcxx") : -7);
    std::free(expression);
    // Deep enough for the choice stack to grow and failures to be remembered.
    zk_regexp *deep = zk_regcomp("(a|b)*$");
    out.value(deep != nullptr ? zk_regexec(deep, "abababababababababababababababababababab") : -7);
    std::free(deep);
    out.value(zk_number_type("12.5e3"));
    out.value(zktoken_delete(other));
    out.value(zktoken_delete(line));
  });
  EXPECT_GT(positions, 0);
  RecordProperty("positions", static_cast<int>(positions));
}

}  // namespace
