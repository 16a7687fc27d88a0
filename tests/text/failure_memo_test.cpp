// The matcher's memory of failed attempts: depths read back exactly, also
// when a page must widen, and nothing is known before it is recorded.
#include <gtest/gtest.h>

#include "text/internal/failure_memo.hpp"

namespace {

using hestrel::text::regexp::FailureMemo;

TEST(FailureMemo, KeepsEveryDepthPerNodeAndPosition) {
  const unsigned char program[16] = {};
  FailureMemo memo;
  EXPECT_FALSE(memo.active());
  ASSERT_TRUE(memo.activate(program, 300));
  EXPECT_EQ(memo.row(program + 3), nullptr);

  // Depths far apart in one page, and in pages of their own.
  const struct {
    std::size_t position;
    unsigned depth;
  } entries[] = {{0, 0}, {1, 1999}, {2, 130}, {63, 5}, {64, 400}, {65, 700}, {299, 42}, {300, 0}};
  for (const auto &e : entries) memo.record(program + 3, e.position, e.depth);
  memo.record(program + 3, 301, 7);  // past the subject: not kept
  memo.record(program + 6, 2, 9);

  const FailureMemo::Row *row = memo.row(program + 3);
  ASSERT_NE(row, nullptr);
  for (const auto &e : entries) EXPECT_EQ(FailureMemo::failed(row, e.position), e.depth + 1) << e.position;
  EXPECT_EQ(FailureMemo::failed(row, 3), 0u);
  EXPECT_EQ(FailureMemo::failed(row, 128), 0u);
  EXPECT_EQ(FailureMemo::failed(memo.row(program + 6), 2), 10u);
  EXPECT_EQ(memo.row(program + 9), nullptr);
}

}  // namespace
