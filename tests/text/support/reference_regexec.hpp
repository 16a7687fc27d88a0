// The reference matcher of the differential tests and of the regex fuzzer: the
// expression dialect read from the pattern text itself and matched by a plain
// recursive backtracker, so that it shares no code with the library's engine.
#ifndef HESTREL_TESTS_TEXT_REFERENCE_REGEXEC_HPP
#define HESTREL_TESTS_TEXT_REFERENCE_REGEXEC_HPP

#include <string>

namespace regex_test {

// Entry 0 is the whole match, entries 1 to 9 the groups.
constexpr int reference_entries = 10;

struct ReferenceResult {
  enum Outcome { no_match, match, bad_pattern, undecided };
  Outcome outcome = no_match;
  std::string error;                   // bad_pattern: the compiler's message for it
  long start[reference_entries] = {};  // match: offsets into the subject, -1 for
  long end[reference_entries] = {};    // a group that took no part
};

// Whether and where pattern matches subject: the leftmost position that
// matches, and there the first alternative and the longest repetition that
// lead to a whole match; a group keeps the bounds of its last pass. Gives up
// with undecided after `budget` steps, or when the search runs deeper than a
// small stack allows.
ReferenceResult reference_match(const std::string &pattern, const char *subject, long budget = 20'000'000);

}  // namespace regex_test

#endif
