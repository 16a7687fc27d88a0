// Tests of tracked files (opening through the search path, the open-file
// table, full paths of streams) and of the directory stack.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkfile_search.h"
#include "zkfile_tracked.h"

namespace {

using testing::HasSubstr;
using hestrel_test::MessageCapture;
using hestrel_test::write_file;

class TrackedFilesTest : public hestrel_test::TempHomeTest {
 protected:
  static std::string full_path(FILE *stream) {
    char buffer[PATH_MAX + 300];
    if (zkfile_file_get_path(stream, buffer, sizeof buffer) != 0) return "<none>";
    return buffer;
  }
  static std::string cwd() { return std::filesystem::current_path().string(); }
};

TEST_F(TrackedFilesTest, ReadingFindsTheFileAlongTheSearchPath) {
  for (const char *dir : {"d1", "d2", "d3"}) ASSERT_EQ(mkdir(dir, 0755), 0);
  ASSERT_TRUE(write_file("d2/data.txt", "second"));
  ASSERT_TRUE(write_file("d3/data.txt", "third"));
  ASSERT_EQ(zkfile_path_set((work() + "/d1:" + work() + "/d2:d3").c_str()), 0);

  FILE *stream = nullptr;
  ASSERT_EQ(zkfile_open("data.txt", &stream, "r"), 0);
  ASSERT_NE(stream, nullptr);
  char text[16] = {};
  EXPECT_EQ(std::fgets(text, sizeof text, stream), text);
  EXPECT_STREQ(text, "second");
  EXPECT_EQ(cwd(), work());
  EXPECT_EQ(full_path(stream), work() + "/d2/data.txt");
  EXPECT_EQ(zkfile_close(stream), 0);
  EXPECT_EQ(full_path(stream), "<none>");
}

TEST_F(TrackedFilesTest, RecordedDirectories) {
  ASSERT_TRUE(write_file("plain.txt"));
  ASSERT_TRUE(write_file("a\nb"));
  struct Case {
    std::string name;
    const char *mode;
    std::string path;  // the recorded full path
  };
  // clang-format off
  const Case cases[] = {
      {"out.txt", "w", work() + "/out.txt"},          // relative write: working directory
      {"sub.txt", "a", work() + "/sub.txt"},
      {work() + "/plain.txt", "r", work() + "/plain.txt"},
      {"/.", "r", "//."},                             // the root directory is "/"
      {work() + "/a\nb", "r", work() + "/a"},         // recorded up to the newline
  };
  // clang-format on
  for (const Case &c : cases) {
    FILE *stream = nullptr;
    ASSERT_EQ(zkfile_open(c.name.c_str(), &stream, c.mode), 0) << c.name;
    EXPECT_EQ(full_path(stream), c.path) << c.name;
    EXPECT_EQ(zkfile_close(stream), 0);
  }
}

TEST_F(TrackedFilesTest, FailedOpensSayWhy) {
  ASSERT_EQ(zkerr_level(-1, ZKERR_INFO), 1);
  ASSERT_EQ(zkfile_path_set(work().c_str()), 0);
  const std::string missing = work() + "/no/such";
  const struct {
    std::string name;
    const char *mode;
    std::string message;
  } cases[] = {
      {missing, "r", "INFO ZKFILE: unable to open file for reading: \"" + missing + "\"\n"},
      {missing, "w", "INFO ZKFILE: unable to open file for writing: \"" + missing + "\"\n"},
      {missing, "a", "INFO ZKFILE: unable to open file (a): \"" + missing + "\"\n"},
      {"no/such", "w", "INFO ZKFILE: unable to open file for writing: \"no/such\"\n"},
      {"absent", "r", "INFO ZKFILE: file not found in search path: \"absent\"\n"},
      {"", "r", "INFO ZKFILE: file not found in search path: \"\"\n"},
  };
  for (const auto &c : cases) {
    MessageCapture messages;
    FILE *stream = reinterpret_cast<FILE *>(1);
    EXPECT_EQ(zkfile_open(c.name.c_str(), &stream, c.mode), -1) << c.name;
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(messages.text(), c.message);
  }
}

TEST_F(TrackedFilesTest, TheTableHoldsAHundredStreams) {
  ASSERT_TRUE(write_file("many.txt"));
  std::vector<FILE *> streams;
  for (int i = 0; i < 100; ++i) {
    FILE *stream = nullptr;
    ASSERT_EQ(zkfile_open("many.txt", &stream, "r"), 0) << i;
    streams.push_back(stream);
  }
  {
    MessageCapture messages;
    FILE *stream = nullptr;
    EXPECT_EQ(zkfile_open("many.txt", &stream, "r"), -1);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(messages.text(), "FATAL ZKFILE: attempt to have more than 100 files open at once\n");
  }
  EXPECT_EQ(zkfile_close(streams.back()), 0);
  streams.pop_back();
  FILE *stream = nullptr;
  EXPECT_EQ(zkfile_open("many.txt", &stream, "r"), 0);
  streams.push_back(stream);
  for (FILE *s : streams) EXPECT_EQ(zkfile_close(s), 0);
}

TEST_F(TrackedFilesTest, ClosingKeepsTheOtherRecordsInOrder) {
  FILE *streams[3] = {};
  const char *names[3] = {"one", "two", "three"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(zkfile_open(names[i], &streams[i], "w"), 0);
  EXPECT_EQ(zkfile_close(streams[1]), 0);
  EXPECT_EQ(full_path(streams[0]), work() + "/one");
  EXPECT_EQ(full_path(streams[2]), work() + "/three");
  EXPECT_EQ(zkfile_close(streams[0]), 0);
  EXPECT_EQ(zkfile_close(streams[2]), 0);
}

TEST_F(TrackedFilesTest, StreamsNotInTheTable) {
  FILE *own = std::fopen("own.txt", "w");
  ASSERT_NE(own, nullptr);
  char buffer[64] = "junk";
  {
    MessageCapture messages;
    EXPECT_EQ(zkfile_close(own), -1);  // left open
    EXPECT_EQ(zkfile_file_get_path(own, buffer, sizeof buffer), -1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(messages.text(), "FATAL ZKFILE: file pointer does not match any open files\n");
  }
  EXPECT_GT(std::fputs("still open", own), 0);
  EXPECT_EQ(std::fclose(own), 0);

  MessageCapture messages;
  EXPECT_EQ(zkfile_close(nullptr), -1);
  EXPECT_EQ(zkfile_file_get_path(nullptr, buffer, sizeof buffer), -1);
  EXPECT_EQ(messages.text(),
            "FATAL ZKFILE: null file pointer\n"
            "FATAL ZKFILE: null file pointer\n"
            "FATAL ZKFILE: file pointer does not match any open files\n");
}

TEST_F(TrackedFilesTest, FullPathNeedsRoomForSlashAndNul) {
  FILE *stream = nullptr;
  ASSERT_EQ(zkfile_open("name", &stream, "w"), 0);
  const std::string expected = work() + "/name";
  std::vector<char> exact(expected.size() + 1, 'x');
  EXPECT_EQ(zkfile_file_get_path(stream, exact.data(), exact.size()), 0);
  EXPECT_EQ(std::string(exact.data()), expected);
  {
    MessageCapture messages;
    std::vector<char> shorter(expected.size(), 'x');
    EXPECT_EQ(zkfile_file_get_path(stream, shorter.data(), shorter.size()), -1);
    EXPECT_EQ(shorter[0], '\0');
    char untouched = 'x';
    EXPECT_EQ(zkfile_file_get_path(stream, &untouched, 0), -1);
    EXPECT_EQ(untouched, 'x');
    EXPECT_EQ(zkfile_file_get_path(stream, nullptr, 10), -1);
    EXPECT_EQ(messages.text(),
              "FATAL ZKFILE: buffer too small for intended use\n"
              "FATAL ZKFILE: buffer too small for intended use\n"
              "FATAL ZKFILE: buffer too small for intended use\n");
  }
  EXPECT_EQ(zkfile_close(stream), 0);
}

TEST_F(TrackedFilesTest, TextsBeyondTheRecordFieldsAreRefused) {
  const std::string long_name(256, 'n');
  const struct {
    std::string name;
    const char *mode;
  } cases[] = {
      {long_name, "w"},
      {long_name, "r"},
      {work() + "/" + long_name, "r"},
      {"short", "wwwwwwwwwwwwwwww"},  // 16 characters
  };
  for (const auto &c : cases) {
    MessageCapture messages;
    FILE *stream = reinterpret_cast<FILE *>(1);
    EXPECT_EQ(zkfile_open(c.name.c_str(), &stream, c.mode), -1) << c.mode;
    EXPECT_EQ(stream, nullptr);
    EXPECT_THAT(messages.text(), HasSubstr("cannot be tracked"));
  }
  EXPECT_FALSE(std::filesystem::exists("short"));

  FILE *stream = nullptr;
  ASSERT_EQ(zkfile_open(std::string(255, 'n').c_str(), &stream, "wwwwwwwwwwwwwww"), 0);
  EXPECT_EQ(zkfile_close(stream), 0);
}

TEST_F(TrackedFilesTest, WriteInAnUnreadableWorkingDirectoryDeliversAnUnrecordedStream) {
  // A removed working directory cannot be read back, yet its parent can
  // still be reached through "..".
  ASSERT_EQ(mkdir("gone", 0755), 0);
  ASSERT_EQ(chdir("gone"), 0);
  ASSERT_EQ(rmdir((work() + "/gone").c_str()), 0);
  MessageCapture messages;
  FILE *stream = nullptr;
  EXPECT_EQ(zkfile_open("../written.txt", &stream, "w"), 0);
  ASSERT_NE(stream, nullptr);
  EXPECT_THAT(messages.text(), HasSubstr("FATAL zkfile_dir_current_get: current_path "));
  EXPECT_EQ(zkfile_close(stream), -1);  // not in the table
  EXPECT_EQ(std::fclose(stream), 0);

  // Reading along the search path needs to save the working directory first.
  ASSERT_EQ(zkfile_path_set(work().c_str()), 0);
  MessageCapture read_messages;
  stream = reinterpret_cast<FILE *>(1);
  EXPECT_EQ(zkfile_open("written.txt", &stream, "r"), -1);
  EXPECT_EQ(stream, nullptr);
  EXPECT_THAT(read_messages.text(), HasSubstr("FATAL zkfile_dir_current_get: current_path "));
  ASSERT_EQ(chdir(work().c_str()), 0);
  EXPECT_TRUE(std::filesystem::exists("written.txt"));
}

TEST_F(TrackedFilesTest, NullArgumentsAreRefused) {
  FILE *stream = reinterpret_cast<FILE *>(1);
  EXPECT_EQ(zkfile_open(nullptr, &stream, "r"), -1);
  EXPECT_EQ(stream, nullptr);
  stream = reinterpret_cast<FILE *>(1);
  EXPECT_EQ(zkfile_open("x", &stream, nullptr), -1);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(zkfile_open("x", nullptr, "w"), -1);
  EXPECT_FALSE(std::filesystem::exists("x"));
}

TEST_F(TrackedFilesTest, DirectoryStackPushPopAndSet) {
  ASSERT_EQ(mkdir("sub", 0755), 0);
  ASSERT_EQ(mkdir("sub/inner", 0755), 0);
  env.set("ZK_SUB", "sub");
  ASSERT_EQ(zkfile_dir_current_push(), 0);

  const struct {
    std::string target;
    int result;
    std::string cwd;  // the working directory afterwards
  } steps[] = {
      {"~", 0, home()},
      {work() + "/$ZK_SUB", 0, work() + "/sub"},
      {"inner", 0, work() + "/sub/inner"},
      {work() + "\\sub", 0, work() + "/sub"},
      {"", -1, work() + "/sub"},
      {"missing", -1, work() + "/sub"},
      {std::string(PATH_MAX, 'x'), -1, work() + "/sub"},
  };
  for (const auto &step : steps) {
    EXPECT_EQ(zkfile_dir_current_set(step.target.c_str()), step.result) << step.target.substr(0, 40);
    EXPECT_EQ(cwd(), step.cwd);
  }
  EXPECT_EQ(zkfile_dir_current_set(nullptr), -1);

  ASSERT_EQ(zkfile_dir_current_push(), 0);
  ASSERT_EQ(zkfile_dir_current_set("~"), 0);
  EXPECT_EQ(zkfile_dir_current_pop(), 0);
  EXPECT_EQ(cwd(), work() + "/sub");
  EXPECT_EQ(zkfile_dir_current_pop(), 0);
  EXPECT_EQ(cwd(), work());

  ASSERT_EQ(zkerr_level(-1, ZKERR_INFO), 1);
  MessageCapture messages;
  EXPECT_EQ(zkfile_dir_current_pop(), -1);
  EXPECT_EQ(messages.text(), "INFO ZKFILE: attempt to pop current directory from empty stack\n");
}

TEST_F(TrackedFilesTest, PopReturnsToTheSavedDirectoryAsItWas) {
  // Saved names that a set would rewrite are real directory names; the
  // directories a rewrite would lead to exist too, so going there would
  // succeed in the wrong place.
  env.set("ZK_ELSEWHERE", "elsewhere");
  const struct {
    std::string saved;
    std::string rewritten;  // where an expansion or '\\' conversion would lead
  } cases[] = {
      {work() + "/$ZK_ELSEWHERE", work() + "/elsewhere"},
      {work() + "/a\\b", work() + "/a/b"},
  };
  ASSERT_EQ(mkdir("a", 0755), 0);
  for (const auto &c : cases) {
    ASSERT_EQ(mkdir(c.saved.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(c.rewritten.c_str(), 0755), 0);
    ASSERT_EQ(chdir(c.saved.c_str()), 0);
    ASSERT_EQ(zkfile_dir_current_push(), 0);
    ASSERT_EQ(chdir(work().c_str()), 0);
    MessageCapture messages;
    EXPECT_EQ(zkfile_dir_current_pop(), 0) << c.saved;
    EXPECT_EQ(cwd(), c.saved);
    EXPECT_EQ(messages.text(), "");
  }

  // Opening for reading comes back to it too.
  const std::string saved = cases[0].saved;
  ASSERT_EQ(chdir(saved.c_str()), 0);
  ASSERT_EQ(mkdir((work() + "/data").c_str(), 0755), 0);
  ASSERT_TRUE(write_file(work() + "/data/f"));
  ASSERT_EQ(zkfile_path_set((work() + "/data").c_str()), 0);
  FILE *stream = nullptr;
  ASSERT_EQ(zkfile_open("f", &stream, "r"), 0);
  EXPECT_EQ(cwd(), saved);
  EXPECT_EQ(full_path(stream), work() + "/data/f");
  EXPECT_EQ(zkfile_close(stream), 0);
}

TEST_F(TrackedFilesTest, PopOfAVanishedDirectoryFailsAndStillRemovesIt) {
  ASSERT_EQ(mkdir("gone", 0755), 0);
  ASSERT_EQ(chdir("gone"), 0);
  ASSERT_EQ(zkfile_dir_current_push(), 0);
  ASSERT_EQ(chdir(work().c_str()), 0);
  ASSERT_EQ(rmdir("gone"), 0);
  MessageCapture messages;
  EXPECT_EQ(zkfile_dir_current_pop(), -1);
  EXPECT_EQ(cwd(), work());
  EXPECT_EQ(messages.text(), "");  // the change itself is refused silently
  EXPECT_EQ(zkfile_dir_current_pop(), -1);
  EXPECT_EQ(messages.text(), "");  // the empty stack's INFO is below the default threshold
  ASSERT_EQ(zkerr_level(-1, ZKERR_INFO), 1);
  EXPECT_EQ(zkfile_dir_current_pop(), -1);
  EXPECT_EQ(messages.text(), "INFO ZKFILE: attempt to pop current directory from empty stack\n");
}

}  // namespace
