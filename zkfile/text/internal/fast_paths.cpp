// The matcher's walk-free paths: simple chains with one repetition counted
// in a loop, and programs of fixed width that end at the NUL tried once.
#include "text/internal/fast_paths.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "text/internal/backtracking.hpp"
#include "text/internal/choice_path.hpp"
#include "text/internal/first_chars.hpp"
#include "text/internal/node_walk.hpp"
#include "text/internal/regexp_engine.hpp"
#include "zk_regexp.h"

// The walk's node dispatch as compares, not a table: the programs of
// file-name patterns are a few nodes long, and one indirect jump per node
// mispredicts more than their well-predicted compares (GCC; clang decides
// by itself).
#if defined(__GNUC__) && !defined(__clang__)
#define HESTREL_COMPARE_DISPATCH __attribute__((optimize("no-jump-tables")))
#else
#define HESTREL_COMPARE_DISPATCH
#endif

namespace hestrel::text::regexp {
namespace {

// A repetition of a simple chain that failed from its start to the end of
// its run: entered again inside that run by a later attempt, it only has
// fewer of the same positions to try.
struct FailedRun {
  const unsigned char *node = nullptr;
  const char *from = nullptr;
  const char *to = nullptr;
};

// A repetition followed by a literal: the successor is tried only where the
// literal's first character stands, from the longest repetition down; "."
// runs to the NUL, so the last such character is the first candidate.
inline __attribute__((always_inline)) int repetition_before_literal(const char *regbol, const unsigned char *node,
                                                                    const char *at, const char **end,
                                                                    const char **run_to) {
  const unsigned char *operand = node_operand(node);
  const unsigned char *next = node_next(node);
  const char c = *node_text(next);
  const char *low = at + (node_op(node) == RX_PLUS ? 1 : 0);
  const char *cursor;
  if (node_op(operand) == RX_ANY) {
    if (*at == '\0' && low != at) return 0;
    cursor = std::strrchr(at, c);
  } else {
    *run_to = run_end(node, at);
    if (*run_to < low) return 0;
    cursor = static_cast<const char *>(memrchr(low, c, static_cast<std::size_t>(*run_to - low) + 1));
  }
  for (; cursor && cursor >= low;
       cursor = static_cast<const char *>(memrchr(low, c, static_cast<std::size_t>(cursor - low)))) {
    const int found = simple_tail(regbol, next, cursor, end);
    if (found != 0) return found;
  }
  return 0;
}

// Any other repetition: counted once, then given back one at a time.
inline __attribute__((always_inline)) int repetition_counted(const char *regbol, const unsigned char *node,
                                                             const char *at, const char **end, const char **run_to) {
  const unsigned char *next = node_next(node);
  const std::size_t least = node_op(node) == RX_PLUS ? 1 : 0;
  *run_to = run_end(node, at);
  std::size_t count = static_cast<std::size_t>(*run_to - at);
  if (count < least) return 0;
  for (;; --count) {
    if (may_follow(next, at + count)) {
      const int found = simple_tail(regbol, next, at + count, end);
      if (found != 0) return found;
    }
    if (count == least) return 0;
  }
}

// The repetition at node with a simple operand and simple successors,
// matched from at; with failed, a failure is kept there for later attempts.
inline __attribute__((always_inline)) int simple_repetition(const char *regbol, const unsigned char *node,
                                                            const char *at, const char **end, FailedRun *failed) {
  if (node_offset(node) == 0 || !is_simple(node_op(node_operand(node)))) return -1;
  if (failed && failed->node == node && failed->from < at && at <= failed->to) return 0;
  const char *run_to = nullptr;  // known once counted
  const int found = node_op(node_next(node)) == RX_LITERAL ? repetition_before_literal(regbol, node, at, end, &run_to)
                                                           : repetition_counted(regbol, node, at, end, &run_to);
  if (found == 0 && failed) {
    failed->node = node;
    failed->from = at;
    failed->to = run_to ? run_to : at + std::strlen(at);
  }
  return found;
}

// simple_tail, and with repeat_allowed also one repetition of a simple node
// whose successors are such a chain.
template <bool repeat_allowed>
inline __attribute__((always_inline)) int simple_chain(const char *regbol, const unsigned char *node, const char *at,
                                                       const char **end, FailedRun *failed = nullptr) {
  SubjectCursor cursor{regbol, at};
  const Stopped stopped = walk_chain(node, cursor);
  switch (stopped.why) {
    case Stop::matched:
      *end = cursor.at;
      return 1;
    case Stop::mismatch:
      return 0;
    case Stop::repetition:
      if constexpr (repeat_allowed) return simple_repetition(regbol, stopped.node, cursor.at, end, failed);
      return -1;
    default:
      return -1;
  }
}

// The width of a chain as the walk measures it: what each node would
// consume, up to the first test of the end of the subject.
struct WidthCursor {
  std::size_t width = 0;
  bool at_end = false;

  bool line_start() { return true; }
  // The walk stops here: what follows must be the end of the program.
  bool line_end() {
    at_end = true;
    return false;
  }
  bool any() { return add(1); }
  bool any_of(const unsigned char *) { return add(1); }
  bool any_but(const unsigned char *) { return add(1); }
  bool literal(const char *text) { return add(std::strlen(text)); }
  bool add(std::size_t n) {
    width += n;
    return true;
  }
};

constexpr std::size_t no_fixed_width = static_cast<std::size_t>(-1);

// The starts of a search that needs no set of first characters.
constexpr FirstChars every_position{{1}, false, true, false};

// The width of a program that is one chain of simple nodes of fixed width
// ending with RX_LINE_END before RX_END, or no_fixed_width.
std::size_t fixed_width_to_end(const unsigned char *program) {
  WidthCursor cursor;
  const Stopped stopped = walk_chain(program, cursor);
  if (stopped.why != Stop::mismatch || !cursor.at_end) return no_fixed_width;
  const unsigned char *next = node_next(stopped.node);
  return next && node_op(next) == RX_END ? cursor.width : no_fixed_width;
}

// Twenty pointers in wide stores: a string instruction, which a plain loop
// compiles to, costs more to start than all the stores together.
void clear_match(zk_regexp *expression) {
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < ZK_NSUBEXP; i += 2) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(expression->match_start + i), zero);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(expression->match_end + i), zero);
  }
#else
  for (int i = 0; i < ZK_NSUBEXP; ++i) {
    expression->match_start[i] = nullptr;
    expression->match_end[i] = nullptr;
  }
#endif
}

bool match_cleared(const zk_regexp *expression) {
  std::uintptr_t any = 0;
  for (int i = 0; i < ZK_NSUBEXP; ++i)
    any |= reinterpret_cast<std::uintptr_t>(expression->match_start[i]) |
           reinterpret_cast<std::uintptr_t>(expression->match_end[i]);
  return any == 0;
}

// A successful attempt that needed no walk: the match, and no group.
int simple_match(zk_regexp *expression, const char *start, const char *end) {
  expression->match_start[0] = const_cast<char *>(start);
  expression->match_end[0] = const_cast<char *>(end);
  return 1;
}

// An unanchored search for a program of fixed width that ends at the NUL:
// a match can only start that width before the NUL, and every other
// attempt fails without a word, so only that one is made. The match fields
// are cleared when the full search would have made any attempt.
int search_fixed_width(zk_regexp *expression, const char *subject, std::size_t width) {
  const unsigned char *program = expression->program + 1;
  std::size_t length = std::strlen(subject);
  const char *start = length >= width ? subject + (length - width) : nullptr;
  const char first = expression->first_char;
  if (first != '\0' && (!start || *start != first)) {
    if (!match_cleared(expression) && std::strchr(subject, first)) clear_match(expression);
    return 0;
  }
  clear_match(expression);
  const char *end = nullptr;
  if (start && simple_chain<true>(subject, program, start, &end) == 1) return simple_match(expression, start, end);
  return 0;
}

// Whether the subject holds the literal every match contains (true when
// the expression has none).
bool has_required(const zk_regexp *expression, const char *subject) {
  if (!expression->required) return true;
  const std::size_t length = static_cast<std::size_t>(expression->required_len);
  for (const char *scan = subject; (scan = std::strchr(scan, expression->required[0])) != nullptr; ++scan)
    if (std::strncmp(scan, expression->required, length) == 0) return true;
  return false;
}

// Whether the subject holds the literal every match of the program holds
// (true when there is none). Asked where the search would otherwise try
// many positions or walk with choices: file-name filters mostly meet names
// that lack their extension (instructions a file name without the check,
// and with it: (^|/)tmp/ 1345 and 486, [0-9][0-9][0-9][0-9]\.fits 1625 and
// 673, ^([a-z]+/)*[a-z]+_[0-9]+\.txt$ 3959 and 774; in time 161 ns and
// 41 ns, 126 ns and 65 ns, 265 ns and 59 ns).
bool has_mandatory(const unsigned char *program, const char *subject) {
  const char *literal = mandatory_literal(program);
  return !literal || std::strstr(subject, literal) != nullptr;
}

// The attempts of an unanchored search from the first position on: only
// those that hold first when it is not the NUL, else those starts leaves.
// Without first, every position would be tried, so the match fields are
// cleared even when starts leaves none.
int search_positions(zk_regexp *expression, const char *subject, const FirstChars &starts, const char **resume) {
  const unsigned char *program = expression->program + 1;
  const char first = expression->first_char;
  const char *scan = first != '\0' ? std::strchr(subject, first) : starts.next(subject, subject);
  if (!scan && first != '\0') return 0;
  clear_match(expression);
  if (!scan) return 0;
  FailedRun failed;
  const char *end = nullptr;
  for (;;) {
    int found = simple_chain<true>(subject, program, scan, &end, &failed);
    if (found == 1) return simple_match(expression, scan, end);
    if (found < 0) found = choice_attempt(expression, subject, scan);
    if (found == 1) return 1;
    if (found < 0) {
      *resume = scan;
      return -1;
    }
    if (first != '\0') {
      scan = std::strchr(scan + 1, first);
    } else {
      if (*scan == '\0') return 0;
      scan = starts.next(subject, scan + 1);
    }
    if (!scan) return 0;
  }
}

}  // namespace

HESTREL_COMPARE_DISPATCH int simple_tail(const char *regbol, const unsigned char *node, const char *at,
                                         const char **end) {
  return simple_chain<false>(regbol, node, at, end);
}

HESTREL_COMPARE_DISPATCH int search(zk_regexp *expression, const char *subject) {
  if (!has_required(expression, subject)) return 0;
  const unsigned char *program = expression->program + 1;
  if (expression->anchored) {
    clear_match(expression);
    const char *end = nullptr;
    int found = simple_chain<true>(subject, program, subject, &end);
    if (found == 1) return simple_match(expression, subject, end);
    if (found < 0) found = choice_attempt(expression, subject, subject);
    if (found >= 0) return found;
    if (!has_mandatory(program, subject)) return 0;
    return backtracking_search(expression, subject, subject, every_position);
  }
  const std::size_t width = fixed_width_to_end(program);
  if (width != no_fixed_width) return search_fixed_width(expression, subject, width);
  if (expression->first_char == '\0') {
    // Every position would be tried: the fields are cleared all the same.
    clear_match(expression);
    if (!has_mandatory(program, subject)) return 0;
  }
  // Made only where it is used: a copy costs more than a short name's search.
  FirstChars computed;
  const FirstChars *starts = &every_position;
  if (expression->first_char == '\0') {
    first_chars(program, computed);
    starts = &computed;
  }
  const char *resume = nullptr;
  const int found = search_positions(expression, subject, *starts, &resume);
  if (found >= 0) return found;
  if (expression->first_char != '\0' && !has_mandatory(program, subject)) return 0;
  return backtracking_search(expression, subject, resume, *starts);
}

}  // namespace hestrel::text::regexp
