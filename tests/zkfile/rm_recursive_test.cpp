// Tests of the removal of files and directory trees, relative and absolute,
// and of the paths it refuses.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkfile_dos.h"

namespace {

using testing::HasSubstr;

class RmRecursive : public hestrel_test::ProcessStateTest {
 protected:
  // The fixture takes the working directory back afterwards.
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    ASSERT_EQ(chdir(scratch_.path().c_str()), 0);
  }
  void make_tree(const std::string &root) {
    ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "/sub/deeper").c_str(), 0755), 0);
    hestrel_test::write_file(root + "/a.txt", "a");
    hestrel_test::write_file(root + "/sub/b.txt", "b");
    hestrel_test::write_file(root + "/sub/deeper/c.txt", "c");
  }
  hestrel_test::ScratchDir scratch_;
};

TEST_F(RmRecursive, RemovesFilesAndTrees) {
  struct Case {
    const char *name;  // created under the scratch folder
    bool tree;
    bool absolute;
    const char *given;    // as passed, relative to the scratch folder
    const char *removed;  // what is gone afterwards
  };
  // clang-format off
  const Case cases[] = {
      {"tree1", true, false, "tree1", "tree1"},
      {"tree2", true, true, "tree2", "tree2"},
      {"file.txt", false, false, "file.txt", "file.txt"},
      {"file2.txt", false, true, "file2.txt", "file2.txt"},
      {"tree3", true, false, "tree3\\sub", "tree3/sub"},  // '\\' counts as '/'
  };
  // clang-format on
  for (const Case &c : cases) {
    SCOPED_TRACE(c.given);
    std::string path = scratch_ / c.name;
    if (c.tree)
      make_tree(path);
    else
      hestrel_test::write_file(path, "x");
    std::string given = c.absolute ? scratch_ / c.given : c.given;
    EXPECT_EQ(zkfile_rm_recursive(given.c_str()), 0);
    EXPECT_FALSE(hestrel_test::exists(scratch_ / c.removed));
  }
  EXPECT_TRUE(hestrel_test::exists(scratch_ / "tree3/a.txt"));
}

TEST_F(RmRecursive, LinkToAFileIsRemovedItself) {
  hestrel_test::write_file(scratch_ / "target", "t");
  ASSERT_EQ(symlink("target", (scratch_ / "link").c_str()), 0);
  EXPECT_EQ(zkfile_rm_recursive("link"), 0);
  EXPECT_FALSE(hestrel_test::exists(scratch_ / "link"));
  EXPECT_TRUE(hestrel_test::exists(scratch_ / "target"));
}

TEST_F(RmRecursive, RefusedPathsRemoveNothing) {
  hestrel_test::MessageCapture messages;
  hestrel_test::write_file(scratch_ / "stays", "s");
  EXPECT_EQ(zkfile_rm_recursive(nullptr), -1);
  EXPECT_THAT(messages.text(), HasSubstr("zkfile_rm_recursive: Null path.\n"));
  // The empty path would name the working directory itself.
  EXPECT_EQ(zkfile_rm_recursive(""), -1);
  EXPECT_THAT(messages.text(), HasSubstr("zkfile_rm_recursive: Empty path refused.\n"));
  EXPECT_TRUE(hestrel_test::exists(scratch_ / "stays"));
  // Nothing there: -1 without a report.
  std::string before = messages.text();
  EXPECT_EQ(zkfile_rm_recursive("missing"), -1);
  EXPECT_EQ(messages.text(), before);
  // Too long once made absolute.
  EXPECT_EQ(zkfile_rm_recursive(std::string(PATH_MAX, 'n').c_str()), -1);
  EXPECT_THAT(messages.text(), HasSubstr("zkfile_rm_recursive: path too long: "));
}

TEST_F(RmRecursive, FailedUnlinkWarnsAndKeepsErrno) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  hestrel_test::MessageCapture messages;
  std::string dir = scratch_ / "locked";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  hestrel_test::write_file(dir + "/file", "f");
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  EXPECT_EQ(zkfile_rm_recursive((dir + "/file").c_str()), -1);
  EXPECT_EQ(errno, EACCES);
  EXPECT_THAT(messages.text(), HasSubstr("zkfile_rm_recursive: unlink failed: " + dir + "/file"));
  // A tree that cannot be emptied: FATAL with the filesystem error's text.
  std::string tree = scratch_ / "tree";
  make_tree(tree);
  ASSERT_EQ(chmod((tree + "/sub").c_str(), 0555), 0);
  EXPECT_EQ(zkfile_rm_recursive(tree.c_str()), -1);
  EXPECT_THAT(messages.text(), HasSubstr("remove"));
  ASSERT_EQ(chmod((tree + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
}

}  // namespace
