// Shell quoting, the interruption-proof line reader, the web-access and
// ulvastro questions, scratch-project names and the support request text.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/products_fixture.hpp"
#include "zkcommon.h"
#include "zkcommon.hpp"

using hestrel_test::InstallationTest;
using hestrel_test::StdoutCapture;
using hestrel_test::TempHomeTest;

namespace {

// Runs of non-wildcards go in double quotes; the characters a shell still
// reads inside them are escaped; the wildcards stay outside.
struct QuoteCase {
  const char *text;
  int size;  // the capacity of the caller's buffer
  int status;
  const char *result;  // the buffer afterwards
};
// clang-format off
const QuoteCase quote_cases[] = {
    {"*.vrx", 64, 0, "*\".vrx\""},
    {"?*?**", 64, 0, "?*?**"},
    {"a b", 64, 0, "\"a b\""},
    {"a*b?c", 64, 0, "\"a\"*\"b\"?\"c\""},
    {"say \"hi\"", 64, 0, "\"say \\\"hi\\\"\""},
    {"$HOME*`id`", 64, 0, "\"\\$HOME\"*\"\\`id\\`\""},
    {"a\\b", 64, 0, "\"a\\\\b\""},
    {"dir/", 64, -1, "dir/"},
    {"dir\\", 64, -1, "dir\\"},
    {"abc", 4, -1, "abc"},   // length + 1
    {"abc", 5, -1, "abc"},   // room for the text and two quotes, not the NUL
    {"abc", 6, 0, "\"abc\""},
    {"a*b", 7, -1, "a*b"},   // four quotes needed
    {"a*b", 8, 0, "\"a\"*\"b\""},
    {"a$", 5, -1, "a$"},     // the escaped text alone would fit, the quoted not
    {"a$", 6, 0, "\"a\\$\""},
    {"abc", 0, -1, "abc"},
    {"abc", -3, -1, "abc"},
};
// clang-format on

TEST(ShellQuoting, TableOfTexts) {
  for (const auto &row : quote_cases) {
    // Exactly the stated capacity (at least the text), so a write past it
    // shows under the address sanitizer.
    std::size_t bytes = std::max<std::size_t>(row.size > 0 ? row.size : 0, std::strlen(row.text) + 1);
    std::vector<char> buffer(bytes);
    std::strcpy(buffer.data(), row.text);
    EXPECT_EQ(zkcommon_prepare_str_for_shell(buffer.data(), row.size), row.status) << row.text << " " << row.size;
    EXPECT_STREQ(buffer.data(), row.result) << row.text << " " << row.size;
  }
}

TEST(ShellQuoting, EmptyAndNullTextsAreRefused) {
  char empty[8] = "";
  EXPECT_EQ(zkcommon_prepare_str_for_shell(empty, 8), -1);
  EXPECT_STREQ(empty, "");
  EXPECT_EQ(zkcommon_prepare_str_for_shell(nullptr, 8), -1);
}

TEST(ShellQuoting, ResultMustFitThePathLimit) {
  // Two quotes around PATH_MAX - 3 characters leave room for the NUL; one
  // character more does not, whatever the caller's buffer.
  for (std::size_t length : {std::size_t(PATH_MAX - 3), std::size_t(PATH_MAX - 2)}) {
    std::vector<char> buffer(2 * PATH_MAX, '\0');
    std::string text(length, 'a');
    std::strcpy(buffer.data(), text.c_str());
    int status = zkcommon_prepare_str_for_shell(buffer.data(), static_cast<int>(buffer.size()));
    if (length == PATH_MAX - 3) {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(std::string(buffer.data()), "\"" + text + "\"");
    } else {
      EXPECT_EQ(status, -1);
      EXPECT_EQ(std::string(buffer.data()), text);
    }
  }
}

volatile sig_atomic_t interruptions = 0;
int observed_fd = -1;
// Counts the signal and tells its sender, who sends the next one only then:
// two signals never merge into one delivery.
void count_interruption(int) {
  interruptions = interruptions + 1;
  const char byte = 'i';
  ssize_t written = write(observed_fd, &byte, 1);
  (void)written;
}

// Waits until the process sleeps (state S in its stat file), as it does
// blocked in a read: a signal sent then interrupts that read.
bool wait_until_sleeping(const char *stat_path) {
  for (;;) {
    char text[512];
    const int fd = open(stat_path, O_RDONLY);
    if (fd < 0) return false;
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return false;
    text[n] = '\0';
    const char *end_of_name = std::strrchr(text, ')');
    if (end_of_name && end_of_name[1] == ' ' && end_of_name[2] == 'S') return true;
    usleep(1000);
  }
}

TEST(FgetsSafe, ReadsOnAfterInterruptionsAndEndsWithNull) {
  // A handler without SA_RESTART makes a blocked read fail with EINTR.
  struct sigaction action {};
  action.sa_handler = count_interruption;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  int fds[2], observed[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(pipe(observed), 0);
  observed_fd = observed[1];
  interruptions = 0;
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

  // The child interrupts the parent's blocked read five times, one signal
  // after the other, then writes the text.
  const pid_t parent = getpid();
  const std::string stat_path = "/proc/" + std::to_string(parent) + "/stat";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(60);
    close(fds[0]);
    close(observed[1]);
    for (int i = 0; i < 5; ++i) {
      char byte;
      if (!wait_until_sleeping(stat_path.c_str())) _exit(2);
      kill(parent, SIGUSR1);
      if (read(observed[0], &byte, 1) != 1) _exit(3);
    }
    ssize_t written = write(fds[1], "first line\nrest", 15);
    _exit(written == 15 ? 0 : 1);
  }
  close(fds[1]);
  close(observed[0]);
  FILE *stream = fdopen(fds[0], "r");
  ASSERT_NE(stream, nullptr);
  char line[64] = "";
  EXPECT_EQ(fgets_safe(line, sizeof line, stream), line);
  EXPECT_STREQ(line, "first line\n");
  EXPECT_EQ(fgets_safe(line, sizeof line, stream), line);
  EXPECT_STREQ(line, "rest");
  EXPECT_EQ(fgets_safe(line, sizeof line, stream), nullptr);
  std::fclose(stream);
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(interruptions, 5);
  sigaction(SIGUSR1, &previous, nullptr);
  close(observed[1]);
  observed_fd = -1;
}

TEST(FgetsSafe, NullBufferOrStreamIsRefused) {
  char line[8];
  errno = 0;
  EXPECT_EQ(fgets_safe(line, sizeof line, nullptr), nullptr);
  EXPECT_EQ(errno, EINVAL);
  char data[] = "line\n";
  FILE *stream = fmemopen(data, sizeof data - 1, "r");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(fgets_safe(nullptr, sizeof line, stream), nullptr);
  std::fclose(stream);
}

class WebAccessTest : public TempHomeTest {
 protected:
  std::string marker() const { return home() + "/.pelmoravine/.Kordavin_web_access_file"; }
};

TEST_F(WebAccessTest, AnyExistingEntryAllowsAccess) {
  EXPECT_EQ(zkcommon_web_access_allowed(), 0);  // creates the data directory
  ASSERT_TRUE(hestrel_test::is_directory(home() + "/.pelmoravine"));
  ASSERT_TRUE(hestrel_test::write_file(marker()));
  EXPECT_EQ(zkcommon_web_access_allowed(), 1);
  ASSERT_EQ(unlink(marker().c_str()), 0);
  ASSERT_EQ(mkdir(marker().c_str(), 0755), 0);
  EXPECT_EQ(zkcommon_web_access_allowed(), 1);
  ASSERT_EQ(rmdir(marker().c_str()), 0);
  ASSERT_EQ(symlink((root() + "/missing").c_str(), marker().c_str()), 0);
  EXPECT_EQ(zkcommon_web_access_allowed(), 0);
  ASSERT_TRUE(hestrel_test::write_file(root() + "/missing"));
  EXPECT_EQ(zkcommon_web_access_allowed(), 1);
}

TEST_F(WebAccessTest, FollowsTheDataDirectoryOverride) {
  env.set("PELMORAVINE_APPDATA_OVERRIDE", root() + "/appdata/");
  EXPECT_EQ(zkcommon_web_access_allowed(), 0);
  ASSERT_TRUE(hestrel_test::write_file(root() + "/appdata/.Kordavin_web_access_file"));
  EXPECT_EQ(zkcommon_web_access_allowed(), 1);
}

TEST_F(WebAccessTest, DataDirectoryThatCannotBeMadeDeniesAccess) {
  ASSERT_TRUE(hestrel_test::write_file(root() + "/plain"));
  env.set("PELMORAVINE_APPDATA_OVERRIDE", root() + "/plain/appdata");
  hestrel_test::MessageCapture messages;
  EXPECT_EQ(zkcommon_web_access_allowed(), 0);
}

// The answer is fixed by the first call in a process: each test runs alone.
using UlvastroTest = InstallationTest;

TEST_F(UlvastroTest, FirstAnswerHoldsWhenInstalled) {
  HESTREL_RUN_IN_OWN_PROCESS();
  std::string install = make_installation({"ulvastro-v60125"});
  EXPECT_TRUE(zkcommon_display_ulvastro());
  ASSERT_EQ(rmdir((install + "/ulvastro-v60125").c_str()), 0);
  EXPECT_TRUE(zkcommon_display_ulvastro());
}

TEST_F(UlvastroTest, FirstAnswerHoldsWhenMissing) {
  HESTREL_RUN_IN_OWN_PROCESS();
  std::string install = make_installation({"tolvane-v1"});
  EXPECT_FALSE(zkcommon_display_ulvastro());
  add_entry(install, "ulvastro-v1");
  EXPECT_FALSE(zkcommon_display_ulvastro());
}

TEST_F(UlvastroTest, UnreadableRootReportsOnTheFirstCallOnly) {
  HESTREL_RUN_IN_OWN_PROCESS();
  hestrel_test::MessageCapture messages;
  StdoutCapture out;
  EXPECT_FALSE(zkcommon_display_ulvastro());
  EXPECT_FALSE(zkcommon_display_ulvastro());
  EXPECT_EQ(out.text(), "opendir: Unable to open \"\"\n");
  EXPECT_EQ(messages.text(), "FATAL Cannot open \n");
}

using ScratchTest = TempHomeTest;

TEST_F(ScratchTest, PathIsTheParentAndATimeStampedName) {
  const std::regex expression(zkcommon_get_scratch_project_regular_expression());
  const std::regex month("Tmp_[0-9]{2}(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)[0-9]{4}_[0-9]{4}_[0-9]{5}");
  for (const std::string &parent : {root() + "/projects", root() + "/projects/", std::string("rel")}) {
    env.set("PELMORAVINE_TEMP_PROJECT", parent);
    std::string path = zkcommon_get_scratch_project_path();
    std::string prefix = parent.back() == '/' ? parent : parent + "/";
    ASSERT_EQ(path.compare(0, prefix.size(), prefix), 0) << path;
    std::string name = path.substr(prefix.size());
    EXPECT_EQ(name.size(), 24u) << name;
    EXPECT_TRUE(std::regex_match(name, expression)) << name;
    EXPECT_TRUE(std::regex_match(name, month)) << name;
  }
  EXPECT_FALSE(hestrel_test::is_directory(root() + "/projects"));
}

TEST_F(ScratchTest, UnsetParentThrows) {
  try {
    zkcommon_get_scratch_project_path();
    FAIL() << "no exception";
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "PELMORAVINE_TEMP_PROJECT environment variable is not set.");
  }
}

TEST(ScratchExpression, IsOneFixedText) {
  std::string text = zkcommon_get_scratch_project_regular_expression();
  EXPECT_EQ(text.size(), 102u);
  EXPECT_EQ(text, zkcommon_get_scratch_project_regular_expression());
  std::smatch groups;
  std::string name = "Tmp_03Mar2026_0905_07042";
  ASSERT_TRUE(std::regex_search(name, groups, std::regex(text)));
  EXPECT_EQ(groups[1], "03");
  EXPECT_EQ(groups[2], "2026");
  EXPECT_EQ(groups[3], "09");
  EXPECT_EQ(groups[4], "05");
  EXPECT_EQ(groups[5], "07042");
}

TEST(SupportRequest, FreshCopyOfTheRequestText) {
  char *first = nullptr;
  char *second = nullptr;
  ASSERT_EQ(zkfile_get_pelmoravine_support_error_mesg(&first), 0);
  ASSERT_EQ(zkfile_get_pelmoravine_support_error_mesg(&second), 0);
  EXPECT_NE(first, second);
  const std::regex shape(
      "Please report this problem at https://[a-z.]+\\.invalid/supportcenter, and upload the following files, "
      "to help us diagnose this problem:");
  EXPECT_TRUE(std::regex_match(std::string(first), shape)) << first;
  EXPECT_STREQ(first, second);
  std::free(first);
  std::free(second);
  EXPECT_EQ(zkfile_get_pelmoravine_support_error_mesg(nullptr), -1);
}

}  // namespace
