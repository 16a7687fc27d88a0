// Expression matcher's entry: the checks of a call, then the search, which
// no pattern makes exponential or deep on the machine stack.
#include "errors/internal/boundary.hpp"
#include "text/internal/fast_paths.hpp"
#include "text/internal/regexp_engine.hpp"
#include "zk_regexp.h"

extern "C" int zk_regexec(zk_regexp *expression, const char *subject) {
  return hestrel::call_c(__func__, 0, [&]() -> int {
    using namespace hestrel::text::regexp;
    if (!expression || !subject) {
      zk_regerror("NULL parameter");
      return 0;
    }
    if (expression->program[0] != RX_MAGIC) {
      zk_regerror("corrupted program");
      return 0;
    }
    return search(expression, subject);
  });
}
