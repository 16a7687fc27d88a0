// Expression matcher: the checks of a call, the walk-free paths first, then
// the backtracking search, which no pattern makes exponential or deep.
#include <cstddef>
#include <cstring>

#include "errors/internal/boundary.hpp"
#include "internal/backtracking.hpp"
#include "internal/fast_paths.hpp"
#include "internal/regexp_engine.hpp"
#include "zk_regexp.h"

namespace hestrel::text::regexp {
namespace {

// Whether the subject holds the literal every match contains (true when
// the expression has none).
bool has_required(const zk_regexp *expression, const char *subject) {
  if (!expression->required) return true;
  const std::size_t length = static_cast<std::size_t>(expression->required_len);
  for (const char *scan = subject; (scan = std::strchr(scan, expression->required[0])) != nullptr; ++scan)
    if (std::strncmp(scan, expression->required, length) == 0) return true;
  return false;
}

// The attempts from start on, in the order the hints give, each a full
// search; the match fields are already cleared.
int backtracking_search(zk_regexp *expression, const char *subject, const char *start) {
  Backtracker search(expression, subject);
  if (expression->anchored) return search.attempt(start);
  const char first = expression->first_char;
  const char *scan = start;
  if (first != '\0') {
    for (; scan; scan = std::strchr(scan + 1, first)) {
      if (search.attempt(scan)) return 1;
      if (search.abandoned()) return 0;
    }
    return 0;
  }
  do {
    if (search.attempt(scan)) return 1;
    if (search.abandoned()) return 0;
  } while (*scan++ != '\0');
  return 0;
}

}  // namespace
}  // namespace hestrel::text::regexp

extern "C" int zk_regexec(zk_regexp *expression, const char *subject) try {
  using namespace hestrel::text::regexp;
  if (!expression || !subject) {
    zk_regerror("NULL parameter");
    return 0;
  }
  if (expression->program[0] != RX_MAGIC) {
    zk_regerror("corrupted program");
    return 0;
  }
  if (!has_required(expression, subject)) return 0;
  const char *resume = nullptr;
  const int found = search_without_walk(expression, subject, &resume);
  return found >= 0 ? found : backtracking_search(expression, subject, resume);
} catch (...) {
  return hestrel::failed(__func__, 0);
}
