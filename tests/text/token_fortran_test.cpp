// The Fortran-callable token twins, driven by a real gfortran program that
// passes NUL-terminated strings; its output is compared line by line.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "zktoken.h"

namespace {

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs the caller in a scratch folder; gives its standard output and error.
bool run_caller(std::string *out, std::string *err) {
  std::string dir = testing::TempDir() + "zktoken_fortran_XXXXXX";
  if (!mkdtemp(dir.data())) return false;
  const std::string out_path = dir + "/stdout.txt", err_path = dir + "/stderr.txt";
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    dup2(e, 2);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execl(HESTREL_TOKEN_FORTRAN_CALLER, HESTREL_TOKEN_FORTRAN_CALLER, static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  bool ok = waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  *out = read_file(out_path);
  *err = read_file(err_path);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return ok;
}

TEST(TokenFortranCaller, TwinsFromAGfortranProgram) {
  // The C-callable pair on the caller's first line gives the count the twins must give.
  int h = -1;
  ASSERT_EQ(zktoken_new(&h, "alpha, beta \"gamma delta\" 12 1.5 # comment", " ,", "\"\"", "#", "\\", "="), 0);
  const std::string new_line = "new 0 handle 0 num " + std::to_string(zktoken_num(h));
  zktoken_delete(h);

  std::string out, err;
  ASSERT_TRUE(run_caller(&out, &err)) << err;
  const std::vector<std::string> expected = {
      "initialize 0",
      new_line,
      "token [gamma delta] nuls 244",
      "token [1.5] nuls 252",  // three characters and 252 NULs
      "big [alpha] nuls 250 kept 45",
      "short [12] nuls 2 rest yyyyyy",
      "short refused nuls 4 rest yyyyyy",
      "long add 0 nuls 255 q 0",
      "exact nuls 0 p 255 kept 45",
      "delete_token 0 num 5",
      "types 1 2 0",
      "int 0 12",
      "int of real -1 0",
      "double 0 1.50",
      "index 1 2 -1",
      "addn [   ab]",
      "addn left [ab   ]",
      "addn offset [ ab  ]",
      "replace 0 upper [MIXED]",
      "lower [ab   ]",
      "copy 0 5",
      "merge 0 8",
      "copyn 0 3",
      "mergen 0 6",
      "mergen token [   AB  ]",
      "string [alpha beta \"gamma delta\" 12 1.5]",
      "compile 0",
      "match 0 1 2 -1",
      "clear 0",
      "cleared num 0",
      "bad num -1",
      "bad token nuls 255",
      "delete 0 0 0 0",
      "deleted num -1",
  };
  EXPECT_EQ(lines_of(out), expected);
  EXPECT_EQ(err,
            "WARNING zktokenf_get_token(): token 0 of 5 characters does not fit in 4 \n"
            "WARNING zktokenf_get_token(): token 5 of 300 characters does not fit in 255 \n"
            "WARNING zktoken_num(): bad tok index = 99 \n"
            "WARNING zktoken_get_token(): bad tok index = 99 \n"
            "WARNING zktoken_num(): bad tok index = 0 \n");
}

}  // namespace
