// The hook itself: the Nth allocation fails once, or from then on, whether
// it comes from malloc, operator new or the C library.
#include <cstdlib>
#include <cstring>
#include <new>

#include <gtest/gtest.h>

#include "failing_allocator.hpp"

namespace {

TEST(FailingAllocator, FailsTheNthAllocationOnceOrFromThenOn) {
  alloc_test::arm(2, false);
  void *first = std::malloc(8);
  void *second = std::malloc(8);
  char *third = strdup("x");
  alloc_test::disarm();
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  EXPECT_EQ(alloc_test::failures(), 1);
  std::free(first);
  std::free(third);

  alloc_test::arm(1, true);
  bool threw = false;
  try {
    void *never = ::operator new(16);
    ::operator delete(never);
  } catch (const std::bad_alloc &) {
    threw = true;
  }
  char *copy = strdup("y");
  alloc_test::disarm();
  EXPECT_TRUE(threw);
  EXPECT_EQ(copy, nullptr);
  EXPECT_GE(alloc_test::failures(), 2);  // throwing allocates too
}

}  // namespace
