// The matcher's walk-free paths: simple chains with one repetition counted
// in a loop, and programs of fixed width that end at the NUL tried once.
#include "internal/fast_paths.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "internal/node_walk.hpp"
#include "internal/regexp_engine.hpp"
#include "zk_regexp.h"

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
int repetition_before_literal(const char *regbol, const unsigned char *node, const char *at, const char **end,
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
    *run_to = run_end(operand, at);
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
int repetition_counted(const char *regbol, const unsigned char *node, const char *at, const char **end,
                       const char **run_to) {
  const unsigned char *next = node_next(node);
  const std::size_t least = node_op(node) == RX_PLUS ? 1 : 0;
  *run_to = run_end(node_operand(node), at);
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
// matched from at; a failure is kept in failed for later attempts.
int simple_repetition(const char *regbol, const unsigned char *node, const char *at, const char **end,
                      FailedRun *failed) {
  if (node_offset(node) == 0 || !is_simple(node_op(node_operand(node)))) return -1;
  if (failed && failed->node == node && failed->from < at && at <= failed->to) return 0;
  const char *run_to = nullptr;  // known once counted
  const int found = node_op(node_next(node)) == RX_LITERAL
                        ? repetition_before_literal(regbol, node, at, end, &run_to)
                        : repetition_counted(regbol, node, at, end, &run_to);
  if (found == 0 && failed) {
    failed->node = node;
    failed->from = at;
    failed->to = run_to ? run_to : at + std::strlen(at);
  }
  return found;
}

// simple_tail, and with failed also one repetition of a simple node whose
// successors are such a chain.
inline __attribute__((always_inline)) int simple_chain(const char *regbol, const unsigned char *node, const char *at,
                                                       const char **end, FailedRun *failed) {
  SubjectCursor cursor{regbol, at};
  const Stopped stopped = walk_chain(node, cursor);
  switch (stopped.why) {
    case Stop::matched:
      *end = cursor.at;
      return 1;
    case Stop::mismatch:
      return 0;
    case Stop::repetition:
      return failed ? simple_repetition(regbol, stopped.node, cursor.at, end, failed) : -1;
    default:
      return -1;
  }
}

// The width of a chain as the walk measures it: what each node would
// consume, and whether the last node that tests anything is the end of the
// subject.
struct WidthCursor {
  std::size_t width = 0;
  bool at_end = false;

  bool line_start() { return add(0); }
  bool line_end() {
    at_end = true;
    return true;
  }
  bool any() { return add(1); }
  bool any_of(const unsigned char *) { return add(1); }
  bool any_but(const unsigned char *) { return add(1); }
  bool literal(const char *text) { return add(std::strlen(text)); }
  bool add(std::size_t n) {
    width += n;
    at_end = false;
    return true;
  }
};

constexpr std::size_t no_fixed_width = static_cast<std::size_t>(-1);

// The width of a program that is one chain of simple nodes of fixed width
// ending with RX_LINE_END before RX_END, or no_fixed_width.
std::size_t fixed_width_to_end(const unsigned char *program) {
  WidthCursor cursor;
  const Stopped stopped = walk_chain(program, cursor);
  return stopped.why == Stop::matched && cursor.at_end ? cursor.width : no_fixed_width;
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
  FailedRun failed;
  if (start && simple_chain(subject, program, start, &end, &failed) == 1) return simple_match(expression, start, end);
  return 0;
}

// The attempts of an unanchored search from the first position on: every
// position, or only those that hold first when it is not the NUL.
int search_positions(zk_regexp *expression, const char *subject, const char **resume) {
  const unsigned char *program = expression->program + 1;
  const char first = expression->first_char;
  const char *scan = first != '\0' ? std::strchr(subject, first) : subject;
  if (!scan) return 0;
  clear_match(expression);
  FailedRun failed;
  const char *end = nullptr;
  for (;;) {
    const int found = simple_chain(subject, program, scan, &end, &failed);
    if (found == 1) return simple_match(expression, scan, end);
    if (found < 0) {
      *resume = scan;
      return -1;
    }
    if (first != '\0') {
      scan = std::strchr(scan + 1, first);
      if (!scan) return 0;
    } else if (*scan++ == '\0') {
      return 0;
    }
  }
}

}  // namespace

int simple_tail(const char *regbol, const unsigned char *node, const char *at, const char **end) {
  return simple_chain(regbol, node, at, end, nullptr);
}

int search_without_walk(zk_regexp *expression, const char *subject, const char **resume) {
  const unsigned char *program = expression->program + 1;
  if (expression->anchored) {
    clear_match(expression);
    const char *end = nullptr;
    FailedRun failed;
    const int found = simple_chain(subject, program, subject, &end, &failed);
    if (found == 1) return simple_match(expression, subject, end);
    *resume = subject;
    return found;
  }
  const std::size_t width = fixed_width_to_end(program);
  if (width != no_fixed_width) return search_fixed_width(expression, subject, width);
  return search_positions(expression, subject, resume);
}

}  // namespace hestrel::text::regexp
