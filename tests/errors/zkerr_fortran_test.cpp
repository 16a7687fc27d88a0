// The Fortran-callable twins and record writers, driven by a real gfortran
// program, plus the fixed lengths they read and write in caller variables.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errors/internal/handler_table.hpp"
#include "hestrel_test/temp_home.hpp"
#include "zkerr.h"

using hestrel_test::MemoryStream;
using hestrel_test::read_file;
using hestrel_test::ScratchDir;

namespace {

// Each test puts back the handlers it changed.
using ZkerrFortranCaller = hestrel_test::ProcessStateTest;
using ZkerrFortranTwins = hestrel_test::ProcessStateTest;

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A message variable's first 79 characters, trailing blanks included.
std::string padded(const std::string &text) { return text + std::string(79 - text.size(), ' '); }

TEST_F(ZkerrFortranCaller, RecordsOfAGfortranProgram) {
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string records = dir.path() + "/records.txt";
  const std::string out = dir.path() + "/stdout.txt", err = dir.path() + "/stderr.txt";
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    dup2(e, 2);
    execl(HESTREL_FORTRAN_CALLER, HESTREL_FORTRAN_CALLER, records.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << read_file(err);

  const std::vector<std::string> expected = {
      "abc",
      "",
      "",
      "--",
      "new 1 1",
      "file 1",
      "WARNING " + padded("plain"),
      "throw 1",
      "WARNING " + padded("rate 100% done").substr(0, 78),
      "WARNING " + padded("left %d %s as is %%"),
      "dropped 1",
      "prefix 1",
      "AB FATAL " + padded("with prefix"),
      "prefix19 1 nul20 88",
      "ABCDEFGHIJKLMNOPQRSWARNING " + padded("with prefix"),
      "blank prefix 1",
      "WARNING " + padded("with prefix"),
      "CO WARNING a short constant",
      "constants 1",
      "a prefix constant lWARNING long 100% " + std::string(79 - 11, 'c'),
      "maxlevel 5 1",
      "level 2 1",
      "bad handle -7 0",
      "bad throw 0",
      "[ZKERR_WARNING       ]",
      "[(bogus ZKERR level) ]",
      "[ZKERR_LEVEL UNDEFINE]",
      "silenced 1",
      "reuse 1 2",
  };
  EXPECT_EQ(lines_of(read_file(records)), expected);
  EXPECT_EQ(read_file(out), "WARNING " + padded("to unit six") + "\n");
  EXPECT_EQ(read_file(err), "WARNING " + std::string(78, 'x') + "Y\n" + "WARNING " + padded("short") + "\n");
}

// Caller variables inside a larger buffer: nothing outside them may change.
struct Guarded {
  char bytes[120];
  explicit Guarded(const std::string &text, std::size_t length) {
    std::memset(bytes, '#', sizeof bytes);
    std::memset(bytes + 20, ' ', length);
    std::memcpy(bytes + 20, text.data(), text.size());
  }
  char *variable() { return bytes + 20; }
  // Still the text it was made with, blank-padded, and nothing around it.
  bool untouched(const std::string &text, std::size_t length) const {
    Guarded fresh(text, length);
    return std::memcmp(bytes, fresh.bytes, sizeof bytes) == 0;
  }
  bool untouched_outside(std::size_t length) const {
    for (std::size_t i = 0; i < sizeof bytes; ++i)
      if ((i < 20 || i >= 20 + length) && bytes[i] != '#') return false;
    return true;
  }
};

TEST_F(ZkerrFortranTwins, PrefixTrimming) {
  struct Case {
    std::string variable, printed_prefix;
  } cases[] = {
      {"AB", "AB "},
      {std::string("AB\0", 3), "AB"},
      {"A  B", "A  B "},
      {std::string(18, 'r'), std::string(18, 'r') + " "},
      {std::string(19, 's') + "t", std::string(19, 's')},
      {"", ""},
      {std::string(19, '\0'), ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.variable);
    MemoryStream out;
    int h = 0, ierr = -1;
    zkerr_new(&h);
    zkerr_file(h, out.get());
    Guarded g(c.variable, 20);
    zkerrf_prefix_(&h, g.variable(), &ierr, 20);
    EXPECT_EQ(ierr, 1);
    EXPECT_TRUE(g.untouched(c.variable, 20));
    zkerr_throw(h, 4, "m");
    EXPECT_EQ(out.text(), c.printed_prefix + "WARNING m");
    zkerr_delete(h);
  }
  int unknown = 9, ierr = -1;
  Guarded g("X", 20);
  zkerrf_prefix_(&unknown, g.variable(), &ierr, 20);
  EXPECT_EQ(ierr, 0);
}

TEST_F(ZkerrFortranTwins, ThrowReadsAndWritesOnlyTheVariable) {
  MemoryStream out;
  int h = 0, ierr = -1, level = 4;
  zkerr_new(&h);
  zkerr_file(h, out.get());
  Guarded g(std::string(80, 'm'), 80);
  zkerrf_throw_(&h, &level, g.variable(), &ierr, 80);
  EXPECT_EQ(ierr, 1);
  EXPECT_TRUE(g.untouched(std::string(80, 'm'), 80));
  EXPECT_EQ(out.text(), "WARNING " + std::string(79, 'm') + "\n");
  EXPECT_EQ(hestrel::errors::thrown_from_fortran, 0);
  // A hidden length below the fixed one ends the text; nothing past it is read.
  const char shorter[] = {'s', 'h', 'o', 'r', 't'};
  zkerrf_prefix_(&h, "P:ignored", &ierr, 2);
  zkerrf_throw_(&h, &level, shorter, &ierr, sizeof shorter);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(out.text(), "WARNING " + std::string(79, 'm') + "\nP:WARNING short\n");
  zkerr_delete(h);
}

TEST_F(ZkerrFortranTwins, ReturnCodeFillsTwentyCharacters) {
  struct Case {
    int level;
    const char *text;
  } cases[] = {{4, "ZKERR_WARNING       "},
               {8, "(bogus ZKERR level) "},
               {7, "ZKERR_LEVEL UNDEFINE"},
               {-1, "(bogus ZKERR level) "},
               {1, "ZKERR_OK            "}};
  for (const Case &c : cases) {
    Guarded g("", 20);
    std::memset(g.variable(), 'z', 20);
    int level = c.level;
    zkerrf_return_code_(&level, g.variable(), 20);
    EXPECT_EQ(std::string(g.variable(), 20), c.text);
    EXPECT_TRUE(g.untouched_outside(20));
  }
}

}  // namespace
