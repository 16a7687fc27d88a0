// A Python extension module using the library: while warn() runs, the
// default handler's messages go to Python's sys.stderr, not the C stream.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <hestrel/zkerr.h>
#include <hestrel/zkerr.hpp>

namespace {

PyObject *warn(PyObject *, PyObject *args) {
  const char *text = nullptr;
  if (!PyArg_ParseTuple(args, "s", &text)) return nullptr;
  int status = 0;
  {
    pelmoravine::vardel::RedirectZkerrToPythonStderr redirect;
    status = zkerr_throw(-1, 4, "%s\n", text);
  }
  return PyLong_FromLong(status);
}

PyMethodDef methods[] = {
    {"warn", warn, METH_VARARGS, "Raise a WARNING on the default handler; it appears on sys.stderr."},
    {nullptr, nullptr, 0, nullptr}};

PyModuleDef module = {
    PyModuleDef_HEAD_INIT, "hestrel_demo", "libhestrel from Python", -1, methods, nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit_hestrel_demo(void) { return PyModule_Create(&module); }
