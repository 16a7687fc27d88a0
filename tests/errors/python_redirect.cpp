// With a redirect open, handle -1 writes into Python's sys.stderr, while a
// handler of its own on stderr keeps writing to the C stream.
#include <Python.h>
#include <gtest/gtest.h>

#include <string>

#include "zkerr.hpp"

namespace {

std::string python_stderr_text() {
  PyObject *sys = PyImport_ImportModule("sys");
  PyObject *err = PyObject_GetAttrString(sys, "stderr");
  PyObject *value = PyObject_CallMethod(err, "getvalue", nullptr);
  std::string text = PyUnicode_AsUTF8(value);
  Py_DECREF(value);
  Py_DECREF(err);
  Py_DECREF(sys);
  return text;
}

TEST(PythonRedirect, DefaultHandlerWritesToSysStderr) {
  Py_Initialize();
  ASSERT_EQ(PyRun_SimpleString("import io, sys\nsys.stderr = io.StringIO()\n"), 0);
  int own;
  zkerr_new(&own);
  zkerr_file(own, stderr);
  testing::internal::CaptureStderr();
  {
    pelmoravine::vardel::RedirectZkerrToPythonStderr redirect;
    zkerr_throw(-1, 4, "to python %d\n", 1);
    zkerr_throw(-1, 4, "%s", std::string(3000, 'x').c_str());
    zkerr_throw(own, 4, "to the C stream\n");
  }
  zkerr_throw(-1, 4, "after\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING to the C stream\nWARNING after\n");
  EXPECT_EQ(python_stderr_text(), "WARNING to python 1\nWARNING " + std::string(3000, 'x'));
  Py_FinalizeEx();
}

TEST(PythonRedirect, WithoutAnInterpreterTheCStreamIsUsed) {
  testing::internal::CaptureStderr();
  pelmoravine::vardel::RedirectZkerrToPythonStderr redirect;
  zkerr_throw(-1, 4, "plain\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING plain\n");
}

}  // namespace
