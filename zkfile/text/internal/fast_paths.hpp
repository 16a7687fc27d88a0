// The matcher's walk-free paths: attempts whose chain holds no choice, no
// group and at most one repetition of a simple node, answered in a loop.
#ifndef HESTREL_TEXT_FAST_PATHS_HPP
#define HESTREL_TEXT_FAST_PATHS_HPP

#include "zk_regexp.h"

namespace hestrel::text::regexp {

// The search as far as it goes without the backtracking walk, once the
// required literal is known to be there: 1 when an attempt matched (the
// match fields then hold the match and no group), 0 when no attempt can
// match, -1 when the attempt at *resume is the first that needs the walk,
// which then makes it and the later ones. The match fields are cleared
// whenever the search made an attempt, or leaves one to the walk.
__attribute__((visibility("hidden"))) int search_without_walk(zk_regexp *expression, const char *subject, const char **resume);

// The chain from node, matched from at, when it holds no choice, group or
// repetition: 1 when it runs to RX_END (*end then ends the match), 0 when it
// fails, -1 when it needs the walk. Nothing here reaches the depth bound or
// raises a report, so the answer is the walk's own.
__attribute__((visibility("hidden"))) int simple_tail(const char *regbol, const unsigned char *node,
                                                  const char *at, const char **end);

}  // namespace hestrel::text::regexp

#endif
