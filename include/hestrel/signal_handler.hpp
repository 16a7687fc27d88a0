// Termination and crash reports for host programs, and the allocation-free
// number formatting that builds them inside signal handlers.
#ifndef HESTREL_SIGNAL_HANDLER_HPP
#define HESTREL_SIGNAL_HANDLER_HPP

#include "hestrel_export.h"

namespace pelmoravine {

// Each writes at out and returns the place after the last character; none
// writes a NUL or checks for room.
HESTREL_API char *safe_format(char *out, const char *text);
// Decimal, zero-padded to at least min_digits digits (the sign not counted).
HESTREL_API char *safe_format(char *out, long long value, int min_digits);
// Rounded to decimals (1 to 9; 0 or less gives ".0"), halves away from zero.
HESTREL_API char *safe_format(char *out, double value, int decimals);

// Installs the termination and crash handlers once per process. A handler
// that fires prints its report on stdout, puts back every previous action
// and raises the signal again.
HESTREL_API void add_default_signal_handler();
// Writes the current stack trace to file descriptor 1.
HESTREL_API void print_backtrace();

}  // namespace pelmoravine

#endif
