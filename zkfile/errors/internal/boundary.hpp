// The one rule of the C boundary: no exception reaches a C or Fortran
// caller; a body that throws gives a FATAL report and the failure result.
#ifndef HESTREL_ERRORS_BOUNDARY_HPP
#define HESTREL_ERRORS_BOUNDARY_HPP

#include <type_traits>

namespace hestrel {

// Called from a handler of the exception: reports "<function>(): out of
// memory" (or the exception's text) at FATAL on the default handler. The
// report is formatted in place; one that cannot be made is dropped.
void report_failure(const char *function) noexcept;

// Runs body, the whole work of a C-callable function; when it throws, the
// report above, and failure is the function's answer. Every C-callable and
// Fortran-callable function that can throw is written
//   extern "C" int f(...) {
//     return hestrel::call_c(__func__, -1, [&] { ...; return 0; });
//   }
// __func__ is the outer function's name: the lambda's own is operator().
template <typename Body>
std::invoke_result_t<Body &> call_c(const char *function, std::invoke_result_t<Body &> failure, Body &&body) noexcept {
  try {
    return body();
  } catch (...) {
    report_failure(function);
    return failure;
  }
}

// The same for a function without a result.
template <typename Body>
void call_c(const char *function, Body &&body) noexcept {
  try {
    body();
  } catch (...) {
    report_failure(function);
  }
}

// The same for a routine that answers through a status argument (the
// Fortran-callable twins): on failure the status gets failure first.
struct status_on_failure {
  int *status;
  int failure = -1;
};

template <typename Body>
void call_c(const char *function, status_on_failure out, Body &&body) noexcept {
  try {
    body();
  } catch (...) {
    *out.status = out.failure;
    report_failure(function);
  }
}

// How many times the library ran out of memory so far: a set-up made on
// first use compares it before and after, and counts as not made when it
// grew meanwhile, even where an answer was given without the memory (an
// empty home directory, an unexpanded variable). Places that swallow a
// failed allocation note it here.
unsigned long allocation_failures() noexcept;
void note_allocation_failure() noexcept;

}  // namespace hestrel

#endif
