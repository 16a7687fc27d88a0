// Tests of the directory listings: slot reuse, filters, skipped and
// refused entries, and handles that name no open listing.
#include <algorithm>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkerr.h"
#include "zkfile_listing.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::UnorderedElementsAreArray;

std::vector<std::string> read_all(int handle) {
  std::vector<std::string> names;
  char buffer[256];
  while (zkfile_get_next_file(handle, buffer, sizeof buffer) == 0) names.push_back(buffer);
  return names;
}

class Listing : public hestrel_test::ProcessStateTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    for (const char *name : {"alpha.txt", "beta.txt", "beta.txt.bak", ".hidden", "gamma.f90"})
      hestrel_test::write_file(scratch_ / name, "x");
  }
  hestrel_test::ScratchDir scratch_;
};

TEST_F(Listing, HandlesReuseTheHighestFreeSlot) {
  int h[3];
  for (int &handle : h) ASSERT_EQ(zkfile_open_directory(&handle, scratch_.path().c_str()), 0);
  EXPECT_THAT(std::vector<int>(h, h + 3), ElementsAre(0, 1, 2));
  EXPECT_EQ(zkfile_close_directory(0), 0);
  EXPECT_EQ(zkfile_close_directory(1), 0);
  int again = -1;
  EXPECT_EQ(zkfile_open_directory(&again, scratch_.path().c_str()), 0);
  EXPECT_EQ(again, 1);
  EXPECT_EQ(zkfile_close_directory(1), 0);
  EXPECT_EQ(zkfile_close_directory(2), 0);
  // A failed open leaves its slot free for the next one.
  hestrel_test::StdoutToFile out(scratch_ / "stdout");
  EXPECT_EQ(zkfile_open_directory(&again, (scratch_ / "alpha.txt").c_str()), -1);
  EXPECT_EQ(again, -1);
  EXPECT_EQ(out.text(), "opendir: Unable to open \"" + (scratch_ / "alpha.txt") + "\"\n");
  EXPECT_EQ(zkfile_open_directory(&again, scratch_.path().c_str()), 0);
  EXPECT_EQ(again, 2);
}

TEST_F(Listing, EveryEntryButDotAndDotDot) {
  int h = -1;
  ASSERT_EQ(zkfile_open_directory(&h, scratch_.path().c_str()), 0);
  EXPECT_THAT(read_all(h),
              UnorderedElementsAreArray({"alpha.txt", "beta.txt", "beta.txt.bak", ".hidden", "gamma.f90"}));
  char buffer[16];
  EXPECT_EQ(zkfile_get_next_file(h, buffer, sizeof buffer), -2);
  EXPECT_EQ(zkfile_close_directory(h), 0);

  hestrel_test::ScratchDir empty;
  ASSERT_EQ(zkfile_open_directory(&h, empty.path().c_str()), 0);
  EXPECT_EQ(zkfile_get_next_file(h, buffer, sizeof buffer), -2);
  EXPECT_EQ(zkfile_close_directory(h), 0);
}

TEST_F(Listing, FiltersSelectTheNames) {
  struct Case {
    std::vector<const char *> filters;  // set in turn on one listing
    std::vector<int> results;
    std::vector<std::string> names;
  };
  // clang-format off
  const Case cases[] = {
      {{"\\.txt$"}, {0}, {"alpha.txt", "beta.txt"}},
      {{"\\.txt"}, {0}, {"alpha.txt", "beta.txt", "beta.txt.bak"}},
      {{"^beta"}, {0}, {"beta.txt", "beta.txt.bak"}},
      // The empty text keeps the filter there is; a second one replaces it.
      {{"^alpha", ""}, {0, 0}, {"alpha.txt"}},
      {{"^alpha", "f90$"}, {0, 0}, {"gamma.f90"}},
      // A filter that does not compile leaves the listing unfiltered.
      {{"^alpha", "(unclosed"}, {0, -1},
       {"alpha.txt", "beta.txt", "beta.txt.bak", ".hidden", "gamma.f90"}},
  };
  // clang-format on
  hestrel_test::MessageCapture messages;
  zkerr_level(-1, ZKERR_INFO);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.filters.back());
    int h = -1;
    ASSERT_EQ(zkfile_open_directory(&h, scratch_.path().c_str()), 0);
    for (std::size_t i = 0; i < c.filters.size(); ++i) EXPECT_EQ(zkfile_set_dir_filter(h, c.filters[i]), c.results[i]);
    EXPECT_THAT(read_all(h), UnorderedElementsAreArray(c.names));
    EXPECT_EQ(zkfile_close_directory(h), 0);
  }
  EXPECT_THAT(messages.text(), HasSubstr("ZKFILE: can not compile filter -> (unclosed\n"));
}

TEST_F(Listing, LongFilterTextIsReportedWhole) {
  std::string regex = std::string(300, 'a') + "(";
  hestrel_test::MessageCapture messages;
  zkerr_level(-1, ZKERR_INFO);
  int h = -1;
  ASSERT_EQ(zkfile_open_directory(&h, scratch_.path().c_str()), 0);
  EXPECT_EQ(zkfile_set_dir_filter(h, regex.c_str()), -1);
  EXPECT_THAT(messages.text(), HasSubstr("ZKFILE: can not compile filter -> " + regex + "\n"));
  EXPECT_EQ(zkfile_close_directory(h), 0);
}

TEST_F(Listing, NameThatDoesNotFitIsConsumed) {
  hestrel_test::ScratchDir dir;
  hestrel_test::write_file(dir / "abcde", "x");
  hestrel_test::write_file(dir / "vwxyz", "x");
  int h = -1;
  ASSERT_EQ(zkfile_open_directory(&h, dir.path().c_str()), 0);
  char buffer[8] = "#######";
  EXPECT_EQ(zkfile_get_next_file(h, buffer, 5), -1);
  EXPECT_EQ(std::string(buffer), "#######");  // nothing written on refusal
  EXPECT_EQ(zkfile_get_next_file(h, buffer, 6), 0);
  EXPECT_EQ(std::string(buffer).size(), 5u);
  EXPECT_EQ(zkfile_get_next_file(h, buffer, 6), -2);
  EXPECT_EQ(zkfile_close_directory(h), 0);
}

TEST_F(Listing, HandlesThatNameNoOpenListing) {
  hestrel_test::MessageCapture messages;
  int h = -1;
  ASSERT_EQ(zkfile_open_directory(&h, scratch_.path().c_str()), 0);
  ASSERT_EQ(zkfile_close_directory(h), 0);
  char buffer[64];
  for (int bad : {h, -1, 7, -100}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(zkfile_close_directory(bad), -1);
    EXPECT_EQ(zkfile_set_dir_filter(bad, "x"), -1);
    EXPECT_EQ(zkfile_get_next_file(bad, buffer, sizeof buffer), -1);
    std::string n = std::to_string(bad);
    EXPECT_THAT(messages.text(), HasSubstr("zkfile_close_directory(): bad dir index = " + n + " \n"));
    EXPECT_THAT(messages.text(), HasSubstr("zkfile_set_dir_filter(): bad dir index = " + n + " \n"));
    EXPECT_THAT(messages.text(), HasSubstr("zkfile_get_next_file(): bad dir index = " + n + " \n"));
  }
  // Null arguments are refused, not followed.
  EXPECT_EQ(zkfile_open_directory(&h, nullptr), -1);
  EXPECT_EQ(h, -1);
  EXPECT_EQ(zkfile_open_directory(nullptr, scratch_.path().c_str()), -1);
  ASSERT_EQ(zkfile_open_directory(&h, scratch_.path().c_str()), 0);
  EXPECT_EQ(zkfile_set_dir_filter(h, nullptr), -1);
  EXPECT_EQ(zkfile_get_next_file(h, nullptr, 10), -1);
  EXPECT_EQ(zkfile_close_directory(h), 0);
}

}  // namespace
