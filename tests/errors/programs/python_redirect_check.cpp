// The redirect of the default handler to Python's sys.stderr, checked in a
// program that embeds a real interpreter with sys.stderr as an io.StringIO.
#include <Python.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkerr.h"
#include "zkerr.hpp"

// The interpreter keeps some of its own allocations until the process ends.
extern "C" const char *__lsan_default_suppressions() { return "leak:libpython\nleak:Py\nleak:_Py\n"; }

using pelmoravine::vardel::RedirectZkerrToPythonStderr;

namespace {

class PythonStderr : public hestrel_test::ProcessStateTest {
 protected:
  void SetUp() override {
    Py_Initialize();
    ASSERT_EQ(PyRun_SimpleString("import io, sys\nsys.stderr = io.StringIO()\n"), 0);
    // The C stream's output lands in a file of our own scratch directory.
    std::fflush(stderr);
    saved_fd_ = dup(2);
    c_stderr_path_ = scratch_.path() + "/c_stderr.txt";
    int fd = open(c_stderr_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    close(fd);
  }
  void TearDown() override {
    std::fflush(stderr);
    dup2(saved_fd_, 2);
    close(saved_fd_);
    Py_FinalizeEx();
  }
  // Takes what sys.stderr holds so far.
  std::string python_text() {
    PyObject *stream = PySys_GetObject("stderr");  // borrowed
    PyObject *value = PyObject_CallMethod(stream, "getvalue", nullptr);
    std::string text = value ? PyUnicode_AsUTF8(value) : "<no value>";
    Py_XDECREF(value);
    PyRun_SimpleString("sys.stderr.seek(0)\nsys.stderr.truncate()\n");
    return text;
  }
  std::string c_text() {
    std::fflush(stderr);
    return hestrel_test::read_file(c_stderr_path_);
  }

  hestrel_test::ScratchDir scratch_;
  std::string c_stderr_path_;
  int saved_fd_ = -1;
};

TEST_F(PythonStderr, OpenRedirectCarriesOnlyTheDefaultHandler) {
  int own = 0;
  zkerr_new(&own);
  zkerr_file(own, stderr);
  {
    RedirectZkerrToPythonStderr redirect;
    EXPECT_EQ(zkerr_throw(-1, 4, "to python %d\n", 1), 1);
    EXPECT_EQ(zkerr_throw(own, 4, "own handler\n"), 1);
    EXPECT_EQ(python_text(), "WARNING to python 1\n");
    EXPECT_EQ(c_text(), "WARNING own handler\n");
  }
  zkerr_throw(-1, 4, "closed\n");
  EXPECT_EQ(python_text(), "");
  EXPECT_EQ(c_text(), "WARNING own handler\nWARNING closed\n");
}

TEST_F(PythonStderr, LongAndFortranMessagesArriveWhole) {
  RedirectZkerrToPythonStderr redirect;
  const std::string long_text(5000, 'L');
  zkerr_throw(-1, 5, "%s", long_text.c_str());
  EXPECT_EQ(python_text(), "FATAL " + long_text);

  char message[80];
  std::string text = std::string("from fortran") + std::string(80 - 12, ' ');
  text.copy(message, 80);
  int handle = -1, level = 4, ierr = 0;
  zkerrf_throw_(&handle, &level, message, &ierr, sizeof message);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(python_text(), "WARNING " + text.substr(0, 79) + "\n");
  EXPECT_EQ(c_text(), "");
}

TEST_F(PythonStderr, DeprecationReportsStayOnTheCStream) {
  // The log reads its variable at its first call in a process.
  HESTREL_RUN_IN_OWN_PROCESS();
  hestrel_test::ScopedEnv env;
  env.set("PELMORAVINE_DEPRECATION_WARNING", "1");
  RedirectZkerrToPythonStderr redirect;
  zklog_deprecation_warning("legacy.cpp", 12, "zkold", "use %s\n", "zknew");
  EXPECT_EQ(python_text(), "");
  EXPECT_EQ(c_text(), "WARNING DEPRECATION for zkold (legacy.cpp:12): use zknew\n");
}

TEST_F(PythonStderr, ReassignedDefaultStreamIsNotRedirected) {
  hestrel_test::MemoryStream out;
  zkerr_file(-1, out.get());
  RedirectZkerrToPythonStderr redirect;
  zkerr_throw(-1, 4, "to the memory stream\n");
  EXPECT_EQ(python_text(), "");
  EXPECT_EQ(out.text(), "WARNING to the memory stream\n");
}

}  // namespace
