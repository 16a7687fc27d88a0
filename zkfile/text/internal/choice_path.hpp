// The matcher's walk-free path for a choice of simple alternatives: an
// attempt whose one choice, alone or in a group, holds alternatives and a
// rest that need no choice of their own (instructions a file name with the
// search at each such attempt, and without: (backup|tmp|old) 1038 and 652,
// \.(txt|csv|dat)$ 1101 and 442, ^(raw|calib)/ 711 and 247, (\.bak|~)$ 699
// and 598, [Ss]ky|[Dd]ark|[Ff]lat 740 and 592, /(run|scan)[_-]?[0-9]+ 1205
// and 668, whose choices mostly fail before the rest).
#ifndef HESTREL_TEXT_CHOICE_PATH_HPP
#define HESTREL_TEXT_CHOICE_PATH_HPP

#include "zk_regexp.h"

namespace hestrel::text::regexp {

// The attempt at at of the program of expression whose subject begins at
// bol, when a walk up to one choice, each of its alternatives in order and
// the rest after it (past the end of the group around the choice) need no
// other choice, group or repetition: 1 when it matches (the match fields
// then hold the match and that group's bounds; they are not touched
// otherwise), 0 when it fails, -1 when it needs the search. Nothing here
// reaches the depth bound or raises a report, so the answer is the
// search's own.
__attribute__((visibility("hidden"))) int choice_attempt(zk_regexp *expression, const char *bol, const char *at);

}  // namespace hestrel::text::regexp

#endif
