// The matcher's walk-free paths: attempts whose chain holds no choice, no
// group and at most one repetition of a simple node, answered in a loop.
#ifndef HESTREL_TEXT_FAST_PATHS_HPP
#define HESTREL_TEXT_FAST_PATHS_HPP

#include "zk_regexp.h"

namespace hestrel::text::regexp {

// The search of a call whose arguments are usable: the required literal
// first, then every attempt the walk-free paths can answer, then the
// backtracking search from the first attempt that needs it. 1 when the
// expression matches (the match fields then hold the match), else 0; the
// match fields are cleared whenever an attempt is made.
__attribute__((visibility("hidden"))) int search(zk_regexp *expression, const char *subject);

// The chain from node, matched from at, when it holds no choice, group or
// repetition: 1 when it runs to RX_END (*end then ends the match), 0 when it
// fails, -1 when it needs the walk. Nothing here reaches the depth bound or
// raises a report, so the answer is the walk's own.
__attribute__((visibility("hidden"))) int simple_tail(const char *regbol, const unsigned char *node, const char *at,
                                                      const char **end);

}  // namespace hestrel::text::regexp

#endif
