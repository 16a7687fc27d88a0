// Allocation-free formatting of texts and numbers.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "signal_handler.hpp"

namespace {

template <typename... A>
std::string formatted(A... args) {
  char buf[64];
  char *end = pelmoravine::safe_format(buf, args...);
  return std::string(buf, end);
}

TEST(SafeFormat, Integers) {
  struct {
    long long value;
    int min_digits;
    const char *text;
  } cases[] = {
      {0, 0, "0"},
      {-5, 3, "-005"},
      {12345, 3, "12345"},
      {7, -2, "7"},
      {LLONG_MIN, 0, "-9223372036854775808"},
      {LLONG_MAX, 0, "9223372036854775807"},
  };
  for (const auto &c : cases) EXPECT_EQ(formatted(c.value, c.min_digits), c.text) << c.value;
}

TEST(SafeFormat, FixedPoint) {
  struct {
    double value;
    int decimals;
    const char *text;
  } cases[] = {
      {2.5, 0, "3.0"},     {0.5, 0, "1.0"},     {1.005, 2, "1.00"},     {-1.25, 2, "-1.25"},
      {-0.25, 2, "-0.25"}, {-0.001, 2, "0.00"}, {3.14159, 4, "3.1416"}, {7, 3, "7.000"},
  };
  for (const auto &c : cases) EXPECT_EQ(formatted(c.value, c.decimals), c.text) << c.value;
}

TEST(SafeFormat, TextStopsAtItsEnd) {
  char buf[8];
  EXPECT_EQ(pelmoravine::safe_format(buf, ""), buf);
  EXPECT_EQ(formatted("abc"), "abc");
}

}  // namespace
