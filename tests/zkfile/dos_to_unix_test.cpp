// Tests of the DOS text conversion: line ends around the line reader's
// chunk and the copy block, permissions, lookups that find nothing, and the
// one-step replacement of the file.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkfile_dos.h"
#include "zkfile_search.h"

namespace {

using testing::HasSubstr;

// A private HOME and working directory for every test.
// The working directory, HOME and the search path are put back afterwards.
class DosToUnix : public hestrel_test::ProcessStateTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    env_.set("HOME", scratch_.path());
    ASSERT_EQ(chdir(scratch_.path().c_str()), 0);
    keep_search_path();
  }
  hestrel_test::ScratchDir scratch_;
  hestrel_test::ScopedEnv env_;
};

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

TEST_F(DosToUnix, ConversionKeepsEveryOtherByte) {
  const std::size_t chunk = PATH_MAX;  // the line reader's buffer
  struct Case {
    const char *what;
    std::string before, after;
  };
  // clang-format off
  const Case cases[] = {
      {"all lines CR LF", "a\r\nbb\r\n", "a\nbb\n"},
      {"first CR LF, later LF", "one\r\ntwo\nthree\n", "one\ntwo\nthree\n"},
      {"last line ends in a bare CR", "a\r\nb\r", "a\nb\n"},
      {"bare CR inside a line stays", "a\rb\r\nc\r\r\n", "a\rb\nc\r\n"},
      {"NUL bytes survive", std::string("x\r\n\0y\r\n", 7), std::string("x\n\0y\n", 5)},
      // Lines at and beyond the chunk: a CR ending one chunk with its LF
      // beginning the next, and lines of several chunks.
      {"CR ends the first chunk", "\r" + repeat('a', chunk - 2) + "\r\nz\r\n",
       "\r" + repeat('a', chunk - 2) + "\nz\n"},
      {"CR LF right after a chunk", "\r" + repeat('b', chunk - 1) + "\r\n",
       "\r" + repeat('b', chunk - 1) + "\n"},
      {"line of three chunks", "\r\n" + repeat('c', 3 * chunk + 5) + "\r\nend",
       "\n" + repeat('c', 3 * chunk + 5) + "\nend"},
      // The copy's own read block is 64 KiB: a pair split across it.
      {"pair split across the copy block", "\r\n" + repeat('d', 65536 - 3) + "\r\n" + repeat('e', 10),
       "\n" + repeat('d', 65536 - 3) + "\n" + repeat('e', 10)},
  };
  // clang-format on
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = scratch_ / "text.dat";
    hestrel_test::write_file(path, c.before);
    EXPECT_EQ(zkfile_is_dosfile(path.c_str()), 0);
    EXPECT_EQ(zkfile_dos_to_unix(path.c_str()), 0);
    EXPECT_TRUE(hestrel_test::read_file(path) == c.after) << hestrel_test::read_file(path).size();
    EXPECT_FALSE(hestrel_test::exists(path + ".tmp"));
  }
}

TEST_F(DosToUnix, FilesThatAreNotDosStayUnchanged) {
  struct Case {
    const char *what;
    std::string bytes;
  };
  // clang-format off
  const Case cases[] = {
      {"LF only", "a\nb\n"},
      {"first line LF, later CR LF", "a\nb\r\nc\r\n"},
      {"empty", ""},
      {"CR beyond the first chunk of a long first line",
       repeat('x', PATH_MAX) + "\r\n"},
  };
  // clang-format on
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = scratch_ / "plain.dat";
    hestrel_test::write_file(path, c.bytes);
    EXPECT_EQ(zkfile_is_dosfile(path.c_str()), -1);
    EXPECT_EQ(zkfile_dos_to_unix(path.c_str()), 0);
    EXPECT_TRUE(hestrel_test::read_file(path) == c.bytes);
    EXPECT_FALSE(hestrel_test::exists(path + ".tmp"));
  }
  EXPECT_EQ(zkfile_is_dosfile((scratch_ / "missing").c_str()), -1);
}

TEST_F(DosToUnix, RelativeNamesGoThroughTheSearchPath) {
  // In the working directory ("." is on the search path): converted.
  hestrel_test::write_file(scratch_ / "here.dat", "a\r\n");
  EXPECT_EQ(zkfile_dos_to_unix("here.dat"), 0);
  EXPECT_EQ(hestrel_test::read_file(scratch_ / "here.dat"), "a\n");
  // Not found anywhere: nothing happens.
  EXPECT_EQ(zkfile_dos_to_unix("nowhere.dat"), 0);
  // Found only in another search-path directory: opened from the working
  // directory, where it is not, so nothing happens either.
  std::string other = scratch_ / "other";
  ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
  hestrel_test::write_file(other + "/there.dat", "b\r\n");
  ASSERT_EQ(zkfile_path_add(other.c_str()), 0);
  EXPECT_EQ(zkfile_dos_to_unix("there.dat"), 0);
  EXPECT_EQ(hestrel_test::read_file(other + "/there.dat"), "b\r\n");
}

TEST_F(DosToUnix, ConvertedFileKeepsItsPermissionBits) {
  std::string path = scratch_ / "script.sh";
  hestrel_test::write_file(path, "#!/bin/sh\r\necho hi\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0751), 0);
  EXPECT_EQ(zkfile_dos_to_unix(path.c_str()), 0);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0751u);
  EXPECT_EQ(hestrel_test::read_file(path), "#!/bin/sh\necho hi\n");
}

TEST_F(DosToUnix, FailuresLeaveTheOriginalIntact) {
  // A folder where the copy would go cannot be removed: the copy cannot be
  // opened for writing, and that is what the caller is told, with the copy's
  // name. The file and the folder stay as they were.
  const bool folder_holds_a_file[] = {false, true};
  for (bool holds_a_file : folder_holds_a_file) {
    SCOPED_TRACE(holds_a_file ? "folder with a file" : "empty folder");
    hestrel_test::MessageCapture messages;
    std::string path = scratch_ / (holds_a_file ? "full.dat" : "data.dat");
    std::string copy = path + ".tmp";
    hestrel_test::write_file(path, "keep\r\n");
    ASSERT_EQ(mkdir(copy.c_str(), 0755), 0);
    if (holds_a_file) hestrel_test::write_file(copy + "/inside", "x");
    EXPECT_EQ(zkfile_dos_to_unix(path.c_str()), -1);
    EXPECT_EQ(hestrel_test::read_file(path), "keep\r\n");
    EXPECT_EQ(messages.text(), "FATAL zkfile_dos_to_unix():Failed to open '" + copy + "' for writing.\n");
    struct stat st;
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    if (holds_a_file) {
      EXPECT_EQ(hestrel_test::read_file(copy + "/inside"), "x");
    }
  }
}

TEST_F(DosToUnix, EntriesPlantedAtTheCopysNameAreReplacedNotWrittenThrough) {
  const char *kinds[] = {"hard link", "symbolic link", "stale copy"};
  for (const char *kind : kinds) {
    SCOPED_TRACE(kind);
    std::string victim = scratch_ / "victim", path = scratch_ / "text.dat";
    hestrel_test::write_file(victim, "victim's bytes, longer than the conversion");
    hestrel_test::write_file(path, "y\r\n");
    std::string copy = path + ".tmp";
    int planted = 0;
    if (kind == kinds[0]) planted = link(victim.c_str(), copy.c_str());
    if (kind == kinds[1]) planted = symlink(victim.c_str(), copy.c_str());
    if (kind == kinds[2]) hestrel_test::write_file(copy, "old copy");
    ASSERT_EQ(planted, 0);
    struct stat before;
    ASSERT_EQ(stat(victim.c_str(), &before), 0);
    EXPECT_EQ(zkfile_dos_to_unix(path.c_str()), 0);
    EXPECT_EQ(hestrel_test::read_file(path), "y\n");
    EXPECT_EQ(hestrel_test::read_file(victim), "victim's bytes, longer than the conversion");
    struct stat converted;
    ASSERT_EQ(stat(path.c_str(), &converted), 0);
    EXPECT_NE(converted.st_ino, before.st_ino);
    EXPECT_FALSE(hestrel_test::exists(copy));
    ASSERT_EQ(unlink(victim.c_str()), 0);
  }
}

TEST_F(DosToUnix, RegistrationKeepsNothing) {
  EXPECT_EQ(zkfile_dos_to_unix_register("any.dat"), 0);
  EXPECT_EQ(zkfile_dos_to_unix_convert(), 0);
}

}  // namespace
