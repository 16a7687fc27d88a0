// The route to Python's sys.stderr. The interpreter's functions are looked
// up in the running process instead of being linked: inside a Python
// extension module they must be the host interpreter's own, and a program
// without Python must not have to load one.
#include <Python.h>
#include <dlfcn.h>

#include "errors/internal/python_stderr.hpp"

namespace hestrel::errors {
namespace {

struct python_api {
  int (*is_initialized)() = nullptr;
  PyGILState_STATE (*gil_ensure)() = nullptr;
  void (*gil_release)(PyGILState_STATE) = nullptr;
  void (*format_stderr)(const char *, ...) = nullptr;
};

template <typename F>
void resolve(F &target, const char *name) {
  target = reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

const python_api &api() {
  static const python_api a = [] {
    python_api p;
    resolve(p.is_initialized, "Py_IsInitialized");
    resolve(p.gil_ensure, "PyGILState_Ensure");
    resolve(p.gil_release, "PyGILState_Release");
    // PySys_WriteStderr cuts its output at 1000 bytes; the formatting twin
    // writes a whole message of up to 10239 characters.
    resolve(p.format_stderr, "PySys_FormatStderr");
    if (!p.gil_ensure || !p.gil_release || !p.format_stderr) p.is_initialized = nullptr;
    return p;
  }();
  return a;
}

}  // namespace

bool python_is_initialized() {
  const python_api &p = api();
  return p.is_initialized && p.is_initialized();
}

void python_write_stderr(const char *text, bool add_newline) {
  const python_api &p = api();
  PyGILState_STATE state = p.gil_ensure();
  p.format_stderr(add_newline ? "%s\n" : "%s", text);
  p.gil_release(state);
}

}  // namespace hestrel::errors
