// What a C-callable or Fortran-callable function answers when its body
// throws: a FATAL report of its own, then the function's failure result.
#ifndef HESTREL_ERRORS_BOUNDARY_HPP
#define HESTREL_ERRORS_BOUNDARY_HPP

namespace hestrel {

// Called from a handler of the exception: reports "<function>(): out of
// memory" (or the exception's text) at FATAL on the default handler. The
// report is formatted in place; one that cannot be made is dropped.
void report_failure(const char *function) noexcept;

// The same, then the result for the caller, as in
//   extern "C" int f(...) try { ... } catch (...) { return failed(__func__, -1); }
template <typename Result>
Result failed(const char *function, Result result) noexcept {
  report_failure(function);
  return result;
}

inline void failed(const char *function) noexcept { report_failure(function); }

// How many times the library ran out of memory so far: a set-up made on
// first use compares it before and after, and counts as not made when it
// grew meanwhile, even where an answer was given without the memory (an
// empty home directory, an unexpanded variable). Places that swallow a
// failed allocation note it here.
unsigned long allocation_failures() noexcept;
void note_allocation_failure() noexcept;

}  // namespace hestrel

#endif
