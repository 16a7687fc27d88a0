// Directory creation: parents, modes, existing entries, refusals.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkfile_dirs.h"

namespace {

using hestrel_test::is_directory;
using hestrel_test::MessageCapture;
using hestrel_test::mode_of;
using MkdirTest = hestrel_test::TempHomeTest;

const char *const recursive_failed = "zkfile_mkdir: zkfile_mkdir_recursive failed: ";

TEST_F(MkdirTest, ParentsGetMaskedModeAndLeafGetsExactMode) {
  struct Case {
    mode_t mask;
    const char *path;  // below the working directory
    mode_t mode;
    const char *parents[2];
    const char *leaf;
    int parent_mode;
  };
  // clang-format off
  const Case cases[] = {
      {022, "a/b/c", 0700, {"a", "a/b"}, "a/b/c", 0755},
      {027, "m/n/o", 0711, {"m", "m/n"}, "m/n/o", 0750},
      {022, "p\\q\\r", 0700, {"p", "p/q"}, "p/q/r", 0755},     // '\\' separates too
      {022, "s//t/u/", 0750, {"s", "s/t"}, "s/t/u", 0755},     // doubled and trailing '/'
  };
  // clang-format on
  for (const auto &c : cases) {
    umask(c.mask);
    errno = 0;
    EXPECT_EQ(zkfile_mkdir(c.path, c.mode), 0) << c.path;
    for (const char *parent : c.parents) EXPECT_EQ(mode_of(parent), c.parent_mode) << parent;
    EXPECT_EQ(mode_of(c.leaf), static_cast<int>(c.mode)) << c.leaf;
    // The mask is read by mkdir itself and never changed.
    EXPECT_EQ(umask(c.mask), c.mask);
  }
  // An absolute path, and a mode beyond the mask.
  const std::string absolute = root() + "/abs/leaf";
  umask(077);
  EXPECT_EQ(zkfile_mkdir(absolute.c_str(), 0755), 0);
  EXPECT_EQ(mode_of(root() + "/abs"), 0700);
  EXPECT_EQ(mode_of(absolute), 0755);
}

TEST_F(MkdirTest, ExistingEntriesCountAsSuccessAndKeepTheirMode) {
  ASSERT_EQ(mkdir("kept", 0700), 0);
  ASSERT_TRUE(hestrel_test::write_file("plain"));
  ASSERT_EQ(symlink("kept", "link_to_dir"), 0);
  MessageCapture messages;
  for (const char *path : {"kept", "plain", "link_to_dir", "", "kept/"}) {
    EXPECT_EQ(zkfile_mkdir(path, 0755), 0) << '"' << path << '"';
  }
  EXPECT_EQ(mode_of("kept"), 0700);
  EXPECT_EQ(messages.text(), "");
}

TEST_F(MkdirTest, FailuresWarnAndKeepErrno) {
  ASSERT_TRUE(hestrel_test::write_file("plain"));
  ASSERT_EQ(symlink("nowhere/at/all", "dangling"), 0);
  struct Case {
    const char *path;
    int error;
  };
  // A regular file as parent; a dangling link as parent, which is not a
  // directory made or found, whatever mkdir says about the link itself.
  const Case cases[] = {{"plain/sub", ENOTDIR}, {"plain/sub/deeper", ENOTDIR}, {"dangling/sub", ENOENT}};
  for (const auto &c : cases) {
    MessageCapture messages;
    errno = 0;
    EXPECT_EQ(zkfile_mkdir(c.path, 0755), -1) << c.path;
    EXPECT_EQ(errno, c.error) << c.path;
    const std::string text = messages.text();
    EXPECT_NE(text.find(std::string("WARNING ") + recursive_failed + work() + "/" + c.path + " : " +
                        std::strerror(c.error) + "\n"),
              std::string::npos)
        << text;
  }
  EXPECT_FALSE(is_directory("nowhere"));
}

TEST_F(MkdirTest, NullPathWarns) {
  MessageCapture messages;
  EXPECT_EQ(zkfile_mkdir(nullptr, 0755), -1);
  EXPECT_NE(messages.text().find("WARNING zkfile_mkdir: Null path\n"), std::string::npos);
}

TEST_F(MkdirTest, PathsBeyondTheLimitAreRefusedWhole) {
  // The text alone, or the text below the working directory, needs more
  // than PATH_MAX bytes with its NUL.
  const std::string absolute = root() + "/" + std::string(PATH_MAX, 'x');
  const std::string relative(PATH_MAX - 2, 'y');
  for (const std::string &path : {absolute, relative}) {
    MessageCapture messages;
    errno = 0;
    EXPECT_EQ(zkfile_mkdir(path.c_str(), 0755), -1);
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_NE(messages.text().find("WARNING zkfile_mkdir: path does not fit in "), std::string::npos);
  }
  // Nothing was made from a shortened text either.
  EXPECT_EQ(access((root() + "/" + std::string(200, 'x')).c_str(), F_OK), -1);
}

TEST_F(MkdirTest, UnreadableWorkingDirectoryWarnsForRelativePaths) {
  ASSERT_EQ(mkdir("gone", 0755), 0);
  ASSERT_EQ(chdir("gone"), 0);
  ASSERT_EQ(rmdir((work() + "/gone").c_str()), 0);
  MessageCapture messages;
  errno = 0;
  EXPECT_EQ(zkfile_mkdir("rel", 0755), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_NE(
      messages.text().find(std::string("WARNING zkfile_mkdir: getcwd failed: rel: ") + std::strerror(ENOENT) + "\n"),
      std::string::npos);
  // An absolute path does not need the working directory.
  EXPECT_EQ(zkfile_mkdir((root() + "/fine").c_str(), 0755), 0);
}

}  // namespace
