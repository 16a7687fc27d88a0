// The walk-free path for a choice of simple alternatives: each alternative
// walked in order from the same cursor, then the rest after its group.
#include "text/internal/choice_path.hpp"

#include "text/internal/fast_paths.hpp"
#include "text/internal/node_walk.hpp"
#include "text/internal/regexp_engine.hpp"

namespace hestrel::text::regexp {
namespace {

// A match without groups, or with the one group around the choice.
int record(zk_regexp *expression, const char *start, const char *end, int group, const char *group_start,
           const char *group_end) {
  expression->match_start[0] = const_cast<char *>(start);
  expression->match_end[0] = const_cast<char *>(end);
  if (group > 0) {
    expression->match_start[group] = const_cast<char *>(group_start);
    expression->match_end[group] = const_cast<char *>(group_end);
  }
  return 1;
}

}  // namespace

int choice_attempt(zk_regexp *expression, const char *bol, const char *at) {
  SubjectCursor cursor{bol, at};
  const Stopped stopped = walk_chain(expression->program + 1, cursor);
  const unsigned char *choice = stopped.node;
  int group = 0;
  if (stopped.why == Stop::group_open) {
    group = node_op(stopped.node) - RX_OPEN;
    choice = node_next(stopped.node);
    if (!choice || node_op(choice) != RX_ALT || !is_true_choice(choice)) return -1;
  } else if (stopped.why != Stop::choice) {
    return -1;
  }
  const char *group_start = cursor.at;
  for (; choice && node_op(choice) == RX_ALT; choice = node_next(choice)) {
    SubjectCursor tried = cursor;
    const Stopped alternative = walk_chain(node_operand(choice), tried);
    if (alternative.why == Stop::mismatch) continue;
    if (group == 0) {
      if (alternative.why != Stop::matched) return -1;
      return record(expression, at, tried.at, 0, nullptr, nullptr);
    }
    if (alternative.why != Stop::group_close || node_op(alternative.node) != RX_CLOSE + group) return -1;
    const unsigned char *rest = node_next(alternative.node);
    if (!rest) return -1;
    const char *end = nullptr;
    const int found = simple_tail(bol, rest, tried.at, &end);
    if (found < 0) return -1;
    if (found == 1) return record(expression, at, end, group, group_start, tried.at);
  }
  return 0;
}

}  // namespace hestrel::text::regexp
