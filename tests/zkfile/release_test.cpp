// The release list and the current release name.
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "zkfile_release.hpp"

namespace {

// Positions and names as documented for the list: newest first, 2013 has
// no fourth quarter, the bare year closes it.
struct ListedRelease {
  std::size_t index;
  const char *name;
};
// clang-format off
const ListedRelease listed_releases[] = {
    {0, "2025-4"}, {3, "2025-1"}, {4, "2024-4"}, {15, "2022-1"}, {20, "2020-4"},
    {47, "2014-1"}, {48, "2013-3"}, {50, "2013-1"}, {51, "2013"},
};
// clang-format on

TEST(ReleaseList, HoldsEveryReleaseNewestFirst) {
  const auto &names = zkfile_get_past_release_names();
  ASSERT_EQ(names.size(), 52u);
  EXPECT_EQ(names[0], pelmoravine::release_name());
  for (const auto &row : listed_releases) EXPECT_EQ(names.at(row.index), row.name) << row.index;
  // Each entry is a year, '-' and a quarter, except the last.
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    ASSERT_EQ(names[i].size(), 6u) << names[i];
    EXPECT_EQ(names[i][4], '-');
    EXPECT_GE(names[i][5], '1');
    EXPECT_LE(names[i][5], '4');
    EXPECT_GT(names[i], names[i + 1]);
  }
}

TEST(ReleaseList, IsOneObjectAcrossCallsAndThreads) {
  std::vector<const std::vector<std::string> *> seen(4);
  std::vector<std::thread> threads;
  for (auto &slot : seen) threads.emplace_back([&slot] { slot = &zkfile_get_past_release_names(); });
  for (auto &t : threads) t.join();
  for (auto *list : seen) {
    EXPECT_EQ(list, &zkfile_get_past_release_names());
    EXPECT_EQ(list->size(), 52u);
  }
}

TEST(ReleaseName, IsTheSameObjectEveryCall) {
  EXPECT_EQ(pelmoravine::release_name(), "2025-4");
  EXPECT_EQ(&pelmoravine::release_name(), &pelmoravine::release_name());
}

TEST(ReleaseName, CCopiesAreDistinctAndOwned) {
  char *first = nullptr, *second = nullptr;
  ASSERT_EQ(zkfile_get_release_name(&first), 0);
  ASSERT_EQ(zkfile_get_release_name(&second), 0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, "2025-4");
  EXPECT_STREQ(second, "2025-4");
  std::free(first);
  std::free(second);
}

TEST(ReleaseName, NullSlotIsRefused) { EXPECT_EQ(zkfile_get_release_name(nullptr), -1); }

}  // namespace
