// The matcher's backtracking search, one function per kind of node that
// makes a choice: alternatives, repetitions and group boundaries.
#include "text/internal/backtracking.hpp"

#include <cstddef>
#include <cstring>

#include "text/internal/fast_paths.hpp"
#include "text/internal/node_walk.hpp"

namespace hestrel::text::regexp {
namespace {

// Entries after which failed attempts are remembered: short searches never
// pay for the memory.
constexpr unsigned long memo_after_entries = 64;

// What a search takes of the machine stack, whatever its depth: the search
// itself, with its frames in place, and the calls of one step.
static_assert(sizeof(Backtracker) <= 4096, "a search must fit small thread stacks");

}  // namespace

Backtracker::Backtracker(zk_regexp *expression, const char *subject)
    : program_(expression->program + 1),
      regbol_(subject),
      reginput_(subject),
      regstartp_(expression->match_start),
      regendp_(expression->match_end) {}

int Backtracker::attempt(const char *start) {
  reginput_ = start;
  if (!run(program_)) return 0;
  regstartp_[0] = const_cast<char *>(start);
  regendp_[0] = const_cast<char *>(reginput_);
  return 1;
}

// The search from node as one loop: each entry either finishes at once or
// leaves a frame that waits for the entry it makes; a finished entry's
// result goes to the frame below it. A bound reached fails everything, so
// the waiting frames are dropped.
int Backtracker::run(const unsigned char *node) {
  Next next = enter(node);
  for (;;) {
    if (abandoned_) {
      frames_.clear();
      return 0;
    }
    if (next == Next::call) {
      next = enter(callee_);
    } else if (frames_.empty()) {
      return next == Next::succeed;
    } else {
      next = resume(frames_.top(), next == Next::succeed);
    }
  }
}

// An entry at node with the cursor where it stands: a remembered failure
// answers at once, a bound reached fails it, else a new frame walks on.
Backtracker::Next Backtracker::enter(const unsigned char *node) {
  if (memo_.active() && node) {
    if (const FailureMemo::Row *row = memo_.row(node)) {
      if (unsigned stored = FailureMemo::failed(row, position(reginput_))) {
        known_failure(stored);
        return Next::fail;
      }
    }
  }
  if (++entries_ == memo_after_entries) memo_.activate(program_, std::strlen(regbol_));
  if (frames_.size() >= max_match_depth) {
    abandon("recursion too deep");
    height_ = 0;
    return Next::fail;
  }
  Frame &frame = frames_.push();
  frame.first = node;
  frame.entry = reginput_;
  frame.reports_before = reports_;
  frame.below = 0;
  if (!node) {
    report("corrupted pointers");
    return finish(false);
  }
  return walk(frame, node);
}

// Along the chain as far as a walk goes, then on by the kind of node there.
Backtracker::Next Backtracker::walk(Frame &frame, const unsigned char *node) {
  SubjectCursor cursor{regbol_, reginput_};
  const Stopped stopped = walk_chain(node, cursor);
  reginput_ = cursor.at;
  switch (stopped.why) {
    case Stop::matched:
      return finish(true);
    case Stop::mismatch:
      return finish(false);
    case Stop::choice:
      return start_choice(frame, stopped.node);
    case Stop::repetition:
      return start_repetition(frame, stopped.node);
    case Stop::group_open:
      return start_group(frame, stopped.node, Waits::group_open);
    case Stop::group_close:
      return start_group(frame, stopped.node, Waits::group_close);
    case Stop::bad_opcode:
      report("memory corruption");
      return finish(false);
    case Stop::broken_link:
      break;
  }
  report("corrupted pointers");
  return finish(false);
}

// The entry on top ends: a failure is remembered with the nesting it
// reached, unless it raised a report or a bound cut it short.
Backtracker::Next Backtracker::finish(bool matched) {
  Frame &frame = frames_.top();
  if (!matched && !abandoned_ && reports_ == frame.reports_before && memo_.active())
    memo_.record(frame.first, position(frame.entry), frame.below);
  height_ = frame.below;
  frames_.pop();
  return matched ? Next::succeed : Next::fail;
}

Backtracker::Next Backtracker::resume(Frame &frame, bool found) {
  switch (frame.waits) {
    case Waits::choice:
      return resume_choice(frame, found);
    case Waits::repetition:
      return resume_repetition(frame, found);
    case Waits::group_open:
    case Waits::group_close:
      break;
  }
  return resume_group(frame, found);
}

// A choice: each alternative in order from the same cursor; the first that
// leads to the end wins.
Backtracker::Next Backtracker::start_choice(Frame &frame, const unsigned char *node) {
  frame.waits = Waits::choice;
  frame.node = node;
  frame.save = reginput_;
  return next_alternative(frame);
}

Backtracker::Next Backtracker::resume_choice(Frame &frame, bool found) {
  note_height(frame.below);
  if (found) return finish(true);
  reginput_ = frame.save;
  frame.node = node_next(frame.node);
  if (!frame.node || node_op(frame.node) != RX_ALT) return finish(false);
  return next_alternative(frame);
}

// The entry into the alternative at frame.node, or into the first after it
// whose walk does not end in a mismatch. One that does is passed over as
// its entry would end, one level deep and with nothing to remember
// ((backup|tmp|old) on file names: 164 ns a name with an entry each, 125 ns
// without; [Ss]ky|[Dd]ark|[Ff]lat: 1650 instructions a name with those
// whose first node matches entered, 1405 without).
Backtracker::Next Backtracker::next_alternative(Frame &frame) {
  for (;;) {
    const unsigned char *first = node_operand(frame.node);
    SubjectCursor cursor{regbol_, frame.save};
    if (frames_.size() >= max_match_depth || walk_chain(first, cursor).why != Stop::mismatch) {
      callee_ = first;
      return Next::call;
    }
    height_ = 0;
    note_height(frame.below);
    frame.node = node_next(frame.node);
    if (!frame.node || node_op(frame.node) != RX_ALT) return finish(false);
  }
}

// A group boundary: the rest of the program after it, and on success the
// boundary's position in its entry when that is still empty, so the last
// iteration of a repeated group keeps its bounds.
Backtracker::Next Backtracker::start_group(Frame &frame, const unsigned char *node, Waits kind) {
  frame.waits = kind;
  frame.node = node;
  frame.save = reginput_;
  callee_ = node_next(node);
  return Next::call;
}

Backtracker::Next Backtracker::resume_group(Frame &frame, bool found) {
  note_height(frame.below);
  if (found) {
    const unsigned char op = node_op(frame.node);
    char *&slot = frame.waits == Waits::group_open ? regstartp_[op - RX_OPEN] : regendp_[op - RX_CLOSE];
    if (!slot) slot = const_cast<char *>(frame.save);
  }
  return finish(found);
}

// A repetition of a simple node: counted in a loop, then the rest of the
// program tried after each count from the longest down to the least.
Backtracker::Next Backtracker::start_repetition(Frame &frame, const unsigned char *node) {
  frame.waits = Waits::repetition;
  frame.node = node;
  frame.next = node_next(node);
  frame.save = reginput_;
  frame.least = node_op(node) == RX_PLUS ? 1 : 0;
  frame.loop_below = 0;
  frame.loop_reports = reports_;
  frame.next_row = nullptr;
  frame.own_row = nullptr;
  const unsigned char *operand = node_operand(node);
  if (!is_simple(node_op(operand))) {
    report("internal foulup");
    frame.count = 0;
  } else {
    frame.count = counts_left(frame, operand);
    if (abandoned_) return finish(false);
  }
  if (frame.count < frame.least) return finish(false);
  return try_repetition(frame);
}

// The longest count still worth a try. The same repetition entered later in
// the same run reaches the same end, so once it failed at q, its tries are
// the tries here from q + least on: they fail again, as deep as they went
// there, and only the counts before them are left. The run is counted no
// further than the first such q, so a repetition entered at every position
// of a long run costs time in proportion to the run, not to its square
// (a[ab]* twenty times then x, on 1880 characters: 82 ms before, 0.87 ms
// after, the C library 2.6 ms; a.* forty times then x$: 151 ms, 1.7 ms).
std::size_t Backtracker::counts_left(Frame &frame, const unsigned char *operand) {
  const FailureMemo::Row *own = memo_.active() ? memo_.row(frame.node) : nullptr;
  const ByteTable *table = table_of(frame.node);
  if (!own) {
    const char *end = table ? run_end(*table, frame.save) : run_end(frame.node, frame.save);
    return static_cast<std::size_t>(end - frame.save);
  }
  const char *at = frame.save;
  while (table ? table->has(static_cast<unsigned char>(*at)) : matches_once(operand, at)) {
    ++at;
    if (const unsigned stored = FailureMemo::failed(own, position(at))) {
      frame.loop_below = stored - 1;
      if (frame.loop_below > 0 && frames_.size() + frame.loop_below - 1 >= max_match_depth)
        abandon("recursion too deep");
      return static_cast<std::size_t>(at - frame.save) + frame.least - 1;
    }
  }
  return static_cast<std::size_t>(at - frame.save);
}

// A repetition of a set is mostly entered many times in a search: a path's
// folders, a choice tried again (^([a-z]+/)*[a-z]+_[0-9]+\.txt$ on file
// names, every name searched: 4151 instructions a name with a table made at
// each entry, 3959 with one a search).
const ByteTable *Backtracker::table_of(const unsigned char *repetition) {
  const unsigned char *operand = node_operand(repetition);
  if (node_op(operand) != RX_ANY_OF && node_op(operand) != RX_ANY_BUT) return nullptr;
  for (unsigned i = 0; i < table_count_; ++i)
    if (tables_[i].repetition == repetition) return &tables_[i].table;
  KnownTable &known = tables_[table_count_ < known_tables ? table_count_++ : known_tables - 1];
  known.repetition = repetition;
  known.table = set_table(operand, operand_span(repetition));
  return &known.table;
}

// The rest of the program after frame.count repetitions, then after fewer;
// an entry into the walk leaves the loop, and resume_repetition comes back.
Backtracker::Next Backtracker::try_repetition(Frame &frame) {
  do {
    reginput_ = frame.save + frame.count;
    if (!may_follow(frame.next, reginput_)) continue;
    const int found = answer_without_entry(frame);
    if (found < 0) {
      callee_ = frame.next;
      return Next::call;
    }
    note_height(frame.loop_below);
    if (found) return finish(true);
    if (abandoned_) return finish(false);
  } while (shorten(frame));
  return end_repetition(frame);
}

// What an entry at the successor would answer, where that is known without
// one: a remembered failure, or a simple chain to the end; -1 otherwise.
int Backtracker::answer_without_entry(Frame &frame) {
  if (memo_.active() && frame.next && !frame.next_row) frame.next_row = memo_.row(frame.next);
  const unsigned stored = frame.next_row ? FailureMemo::failed(frame.next_row, position(reginput_)) : 0;
  if (stored) {
    known_failure(stored);
    return 0;
  }
  if (!frame.next || is_repetition(node_op(frame.next)) || frames_.size() >= max_match_depth) return -1;
  const int found = simple_tail(regbol_, frame.next, reginput_, &reginput_);
  if (found >= 0) height_ = 0;
  return found;
}

Backtracker::Next Backtracker::resume_repetition(Frame &frame, bool found) {
  note_height(frame.loop_below);
  if (found) return finish(true);
  if (!shorten(frame)) return end_repetition(frame);
  return try_repetition(frame);
}

// One repetition fewer, while the least is not reached. Each count given up
// ends the tries of this repetition entered that much later, which are
// remembered on the way.
bool Backtracker::shorten(Frame &frame) {
  if (frame.count == frame.least) return false;
  if (memo_.active() && reports_ == frame.loop_reports) {
    if (!frame.own_row) frame.own_row = memo_.row_for(frame.node);
    if (frame.own_row) memo_.store(frame.own_row, position(frame.save + frame.count - frame.least), frame.loop_below);
  }
  --frame.count;
  return true;
}

// Every count failed. When the repetition began this entry, the entry's own
// record says it; else the repetition is remembered by itself.
Backtracker::Next Backtracker::end_repetition(Frame &frame) {
  if (frame.loop_below > frame.below) frame.below = frame.loop_below;
  if (reports_ == frame.loop_reports && memo_.active() && (frame.node != frame.first || frame.save != frame.entry))
    memo_.record(frame.node, position(frame.save), frame.loop_below);
  return finish(false);
}

// An entry that is known to fail: it fails again, after nesting as deep as
// the first time, which from here may cross the depth bound.
void Backtracker::known_failure(unsigned stored) {
  const unsigned below = stored - 1;
  if (frames_.size() + below >= max_match_depth) abandon("recursion too deep");
  height_ = below;
}

namespace {

// The walk from node on, passing group boundaries (which only defer to what
// follows them) a few times.
Stopped walk_past_groups(const unsigned char *node, SubjectCursor &cursor) {
  constexpr int max_boundaries = 16;
  Stopped stopped = walk_chain(node, cursor);
  for (int i = 0; i < max_boundaries && (stopped.why == Stop::group_open || stopped.why == Stop::group_close); ++i) {
    const unsigned char *next = node_next(stopped.node);
    if (!next) break;
    stopped = walk_chain(next, cursor);
  }
  return stopped;
}

// Whether an attempt at at fails in its first walk, or in the first walk of
// each alternative of the choice it comes to, with nothing reported or
// remembered: then it needs no search (instructions a file name with a
// search at each candidate, and without: (backup|tmp|old) 1740 and 1500,
// (\.bak|~)$ 1400 and 1130, [Ss]ky|[Dd]ark|[Ff]lat 1405 and 1292).
bool attempt_fails_at_once(const unsigned char *program, const char *bol, const char *at) {
  SubjectCursor cursor{bol, at};
  const Stopped stopped = walk_past_groups(program, cursor);
  if (stopped.why == Stop::mismatch) return true;
  if (stopped.why != Stop::choice) return false;
  for (const unsigned char *alternative = stopped.node; alternative && node_op(alternative) == RX_ALT;
       alternative = node_next(alternative)) {
    SubjectCursor tried = cursor;
    if (walk_past_groups(node_operand(alternative), tried).why != Stop::mismatch) return false;
  }
  return true;
}

}  // namespace

int backtracking_search(zk_regexp *expression, const char *subject, const char *start, const FirstChars &starts) {
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
  const unsigned char *program = expression->program + 1;
  for (; (scan = starts.next(subject, scan)) != nullptr; ++scan) {
    if (attempt_fails_at_once(program, subject, scan)) {
      if (*scan == '\0') return 0;
      continue;
    }
    if (search.attempt(scan)) return 1;
    if (search.abandoned() || *scan == '\0') return 0;
  }
  return 0;
}

void Backtracker::abandon(const char *message) {
  abandoned_ = true;
  report(message);
}

void Backtracker::report(const char *message) {
  ++reports_;
  zk_regerror(message);
}

}  // namespace hestrel::text::regexp
