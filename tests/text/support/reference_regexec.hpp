// The reference matcher of the differential tests: the plain backtracking
// walk the library used before it remembered failed attempts.
#ifndef HESTREL_TESTS_TEXT_REFERENCE_REGEXEC_HPP
#define HESTREL_TESTS_TEXT_REFERENCE_REGEXEC_HPP

#include "zk_regexp.h"

namespace regex_test {

// zk_regexec as it was: same arguments, result, match fields and reports.
int reference_regexec(zk_regexp *expression, const char *subject);

}  // namespace regex_test

#endif
