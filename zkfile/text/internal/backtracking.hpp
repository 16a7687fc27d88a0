// The matcher's backtracking search: choice points on a stack of its own,
// so the machine stack a search takes is the same whatever its depth.
#ifndef HESTREL_TEXT_BACKTRACKING_HPP
#define HESTREL_TEXT_BACKTRACKING_HPP

#include <cstddef>

#include "choice_stack.hpp"
#include "failure_memo.hpp"
#include "first_chars.hpp"
#include "node_walk.hpp"
#include "regexp_engine.hpp"
#include "zk_regexp.h"

namespace hestrel::text::regexp {

// The search of one zk_regexec call over one subject. An attempt enters the
// program at a position; each entry into a chain (the program itself, an
// alternative, the rest after a repetition or a group boundary) is one
// frame, so the number of frames is the nesting, and what the frames take
// in memory is what the search's bound counts. Failed attempts are
// remembered, for every later start too, with the nesting they reached
// below themselves, so a repeated attempt fails at once and still meets the
// bound where the whole search would. A bound reached is reported once and
// fails this and every later attempt: the search is not decided.
class Backtracker {
 public:
  Backtracker(zk_regexp *expression, const char *subject);

  // One attempt at start, the match fields cleared before: 1 when the
  // program matches there (entry 0 then holds the match, the groups theirs),
  // else 0. Throws std::bad_alloc when the choice stack cannot grow.
  int attempt(const char *start);
  bool abandoned() const { return abandoned_; }

 private:
  // What a frame waits at.
  enum class Waits : unsigned char { choice, repetition, group_open, group_close };
  // What a step of the search leads to: a finished entry's result, or a new
  // entry at callee_.
  enum class Next : unsigned char { fail, succeed, call };

  struct Frame {
    // The entry: where it began, and what deciding to remember it needs.
    const unsigned char *first;
    const char *entry;
    unsigned long reports_before;
    unsigned below;  // deepest nesting of the entries made from here
    Waits waits;
    // The node it waits at and the cursor there.
    const unsigned char *node;
    const char *save;
    // A repetition's state: its successor, the count being tried, and for
    // the memory the nesting below its tries and the rows it uses.
    const unsigned char *next;
    std::size_t count;
    std::size_t least;
    unsigned loop_below;
    unsigned long loop_reports;
    const FailureMemo::Row *next_row;
    FailureMemo::Row *own_row;
  };

  int run(const unsigned char *node);
  Next enter(const unsigned char *node);
  Next walk(Frame &frame, const unsigned char *node);
  Next finish(bool matched);
  Next resume(Frame &frame, bool found);

  Next start_choice(Frame &frame, const unsigned char *node);
  Next resume_choice(Frame &frame, bool found);
  Next next_alternative(Frame &frame);
  Next start_group(Frame &frame, const unsigned char *node, Waits kind);
  Next resume_group(Frame &frame, bool found);
  Next start_repetition(Frame &frame, const unsigned char *node);
  std::size_t counts_left(Frame &frame, const unsigned char *operand);
  Next try_repetition(Frame &frame);
  int answer_without_entry(Frame &frame);
  Next resume_repetition(Frame &frame, bool found);
  bool shorten(Frame &frame);
  Next end_repetition(Frame &frame);

  void known_failure(unsigned stored);
  void abandon(const char *message);
  void report(const char *message);
  void note_height(unsigned &deepest) const {
    if (height_ + 1 > deepest) deepest = height_ + 1;
  }
  std::size_t position(const char *at) const { return static_cast<std::size_t>(at - regbol_); }

  // The byte table of the set a repetition repeats, made once a search for
  // each of the first few such repetitions.
  const ByteTable *table_of(const unsigned char *repetition);
  struct KnownTable {
    const unsigned char *repetition;
    ByteTable table;
  };
  static constexpr unsigned known_tables = 4;

  const unsigned char *program_;           // the first node after the magic byte
  const char *regbol_;                     // start of the subject
  const char *reginput_;                   // cursor
  char **regstartp_;                       // the expression's match_start
  char **regendp_;                         // the expression's match_end
  const unsigned char *callee_ = nullptr;  // where a call enters
  // How many levels the entry that just finished nested below itself.
  unsigned height_ = 0;
  unsigned long entries_ = 0;
  unsigned long reports_ = 0;  // an entry that raised a report is never remembered
  bool abandoned_ = false;
  FailureMemo memo_;
  KnownTable tables_[known_tables];
  unsigned table_count_ = 0;
  // Frames in place for searches of a few levels; a frame takes about a
  // hundred bytes.
  static_assert(sizeof(Frame) <= choice_point_size, "the bound counts a frame as this many bytes");
  ChoiceStack<Frame, 16, max_match_depth> frames_;
};

// The attempts from start on, in the order the hints give (without a first
// character, at the positions starts leaves), each a full search, the match
// fields cleared before; 1 at the first that matches. Throws std::bad_alloc
// when the choice stack cannot grow.
__attribute__((visibility("hidden"))) int backtracking_search(zk_regexp *expression, const char *subject,
                                                              const char *start, const FirstChars &starts);

}  // namespace hestrel::text::regexp

#endif
