// Runs the gfortran caller of the file twins in a private working folder
// and HOME, and checks its records, its messages and the files it changed.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"

namespace {

using testing::HasSubstr;
using testing::Not;

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(FileFortran, TwinsFromAGfortranProgram) {
  hestrel_test::ScratchDir scratch;
  ASSERT_FALSE(scratch.path().empty());
  ASSERT_EQ(mkdir((scratch / "sub").c_str(), 0755), 0);
  hestrel_test::write_file(scratch / "data.txt", "one\r\ntwo\r\n");
  hestrel_test::write_file(scratch / "sub/only.txt", "x");
  const std::string out = scratch / "stdout", err = scratch / "stderr";

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(scratch.path().c_str()) != 0) _exit(126);
    setenv("HOME", scratch.path().c_str(), 1);
    if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) _exit(125);
    execl(HESTREL_ZKFILE_FORTRAN_CALLER, HESTREL_ZKFILE_FORTRAN_CALLER, static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << hestrel_test::read_file(err);

  const std::vector<std::string> expected = {
      "initialize 0",
      "set 0",
      "get 0 [." + std::string(79, ' ') + "]",
      "get short -1 [.:s#########]",
      "find 0 [./data.txt]",
      "find short -1 [./da########]",
      "find sub 0 [sub/only.txt]",
      "find missing -1 [untouched]",
      "exists 0",
      "exists missing -1",
      "absolute 0",
      "relative -1",
      "localize 0 [a/b/c]",
      "localize blank -1",
      "expand 0 [" + scratch.path() + "/x]",
      "expand bad user -1 [untouched]",
      "localize huge -1 0",
      "dos 0",
      "register 0",
      "convert 0",
      "clear 0",
      "get empty 0 [" + std::string(12, ' ') + "]",
      "add cwd 0",
      "add home 0",
  };
  EXPECT_EQ(lines_of(hestrel_test::read_file(out)), expected);
  EXPECT_EQ(hestrel_test::read_file(scratch / "data.txt"), "one\ntwo\n");

  const std::string messages = hestrel_test::read_file(err);
  for (const std::string &m : {
           std::string("zkfilef_path_get_: fpath not long enough; need 5 chars, have 3"),
           std::string("zkfilef_find_: fpath not long enough; need 10 chars, have 4"),
           std::string("zkfilef_find_: zkfile_find() fails, cname='missing.txt', cpath=NULL\n"),
           std::string("zkfilef_exists_: zkfile_exists() fails, cname='missing.txt'\n"),
           std::string("zkfilef_path_is_absolute_: zkfile_path_is_absolute() fails, cname='rel/ative'\n"),
           std::string("zkfilef_path_localize_: fails, cpath=\n"),
           std::string("zkfilef_dir_expand_: zkfile_dir_expand() fails, cname='~nosuchuserzz/x', cpath="),
           std::string("zkfilef_path_localize_: cpath not long enough; need 5000 chars, have 4096"),
           std::string("zkfilef_path_localize_: cpath of 4500 chars does not fit the path limit of 4096\n"),
       })
    EXPECT_THAT(messages, HasSubstr(m));
  EXPECT_THAT(messages, Not(HasSubstr("cname='data.txt'")));
}

}  // namespace
