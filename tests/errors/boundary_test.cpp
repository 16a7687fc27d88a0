// The C boundary: a body that throws gives the function's FATAL report on
// the default handler and its failure result, whatever it throws.
#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "errors/internal/boundary.hpp"
#include "hestrel_test/output_capture.hpp"
#include "hestrel_test/process_state.hpp"
#include "zkerr.h"

namespace {

using CallC = hestrel_test::ProcessStateTest;

[[noreturn]] void throw_kind(int kind) {
  if (kind == 0) throw std::bad_alloc();
  if (kind == 1) throw std::runtime_error("the disk went away");
  throw 42;
}

const struct {
  int kind;
  const char *report;
  unsigned long allocation_failures;  // how many more the library counts
} kThrows[] = {
    {0, "FATAL some_function(): out of memory\n", 1},
    {1, "FATAL some_function(): the disk went away\n", 0},
    {2, "FATAL some_function(): unexpected failure\n", 0},
};

TEST_F(CallC, WhatIsThrownBecomesTheReportAndTheFailureResult) {
  for (const auto &c : kThrows) {
    SCOPED_TRACE(c.report);
    hestrel_test::MessageCapture messages;
    const unsigned long before = hestrel::allocation_failures();
    EXPECT_EQ(hestrel::call_c("some_function", -1,
                              [&] {
                                throw_kind(c.kind);
                                return 0;
                              }),
              -1);
    EXPECT_EQ(hestrel::call_c("some_function", static_cast<char *>(nullptr), [&]() -> char * { throw_kind(c.kind); }),
              nullptr);
    hestrel::call_c("some_function", [&] { throw_kind(c.kind); });
    int status = 0;
    hestrel::call_c("some_function", hestrel::status_on_failure{&status}, [&] {
      status = 5;
      throw_kind(c.kind);
    });
    EXPECT_EQ(status, -1);
    EXPECT_EQ(messages.text(), std::string(c.report) + c.report + c.report + c.report);
    EXPECT_EQ(hestrel::allocation_failures() - before, 4 * c.allocation_failures);
  }
}

TEST_F(CallC, ABodyThatReturnsIsLeftAlone) {
  hestrel_test::MessageCapture messages;
  EXPECT_EQ(hestrel::call_c("some_function", -1, [] { return 3; }), 3);
  int status = 0;
  hestrel::call_c("some_function", hestrel::status_on_failure{&status}, [&] { status = 2; });
  EXPECT_EQ(status, 2);
  EXPECT_EQ(messages.text(), "");
}

}  // namespace
