// Number classification: integers, reals and everything else.
#include <gtest/gtest.h>

#include "zk_number.h"

namespace {

struct Case {
  const char *text;
  int expected;
};

// clang-format off
const Case cases[] = {
    {"42", 1},       {"+42", 1},     {"-42", 1},      {"+-5", 1},     {"0", 1},
    {"2147483647", 1}, {"-2147483648", 1},
    {"3.5", 2},      {"1e3", 2},     {"-.5", 2},      {"5.", 2},      {"inf", 2},
    {"nan", 2},      {"-inf", 2},    {"+1.5E-3", 2},  {"3000000000", 2}, {"2147483648", 2},
    {"", 0},         {"+", 0},       {"-", 0},        {"1e999", 0},   {"0x10", 0},     {"-0x1p3", 0},  {"0X1", 0},
    {" 1", 0},       {"1 ", 0},      {"12abc", 0},    {"++1", 0},     {"--1", 0},
    {"1e", 0},       {".", 0},       {"abc", 0},
};
// clang-format on

TEST(NumberType, Classes) {
  for (const Case &c : cases) EXPECT_EQ(zk_number_type(c.text), c.expected) << '"' << c.text << '"';
}

TEST(NumberType, NullIsNeither) { EXPECT_EQ(zk_number_type(nullptr), 0); }

}  // namespace
