// Writing to the sys.stderr of the Python interpreter running in this
// process, if any.
#ifndef HESTREL_ERRORS_PYTHON_STDERR_HPP
#define HESTREL_ERRORS_PYTHON_STDERR_HPP

namespace hestrel::errors {

// True when the process carries an interpreter and it is initialised.
bool python_is_initialized();
// Writes text (and a newline when asked) to sys.stderr under the
// interpreter's global lock. Call only when python_is_initialized().
void python_write_stderr(const char *text, bool add_newline);

}  // namespace hestrel::errors

#endif
