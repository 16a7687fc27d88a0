// Expression matcher: a backtracking walk of the node program with bounded
// recursion and a memory of failed attempts, so no pattern makes it exponential.
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "internal/failure_memo.hpp"
#include "internal/simple_chain.hpp"
#include "internal/regexp_engine.hpp"
#include "zk_regexp.h"

namespace hestrel::text::regexp {

unsigned long regexec_step_limit = 0;

namespace {

// Entries into the walk after which failed attempts are remembered: short
// searches never pay for the memory.
constexpr unsigned long memo_after_entries = 64;

// Working state of one zk_regexec call. The recursive walk keeps its own
// frames small by holding everything else here.
struct Matcher {
  const unsigned char *program;  // the expression's program
  const char *regbol;    // start of the subject
  const char *reginput;  // cursor
  char **regstartp;      // the expression's match_start
  char **regendp;        // the expression's match_end
  unsigned depth = 0;
  // How many levels the walk that just returned nested below its own entry;
  // a failed attempt is remembered with it so that a later attempt of the
  // same node and position meets the depth bound exactly where a full walk
  // would.
  unsigned height = 0;
  unsigned long entries = 0;
  unsigned long steps = 0;
  unsigned long reports = 0;  // a walk that raised a report is never remembered
  bool abandoned = false;     // a bound was reached: every branch now fails
  FailureMemo memo;

  int regmatch(unsigned char *node);
  std::size_t repeat(unsigned char *node);
  bool enter();
  bool known_failure(unsigned stored);
  void report(const char *message) {
    ++reports;
    zk_regerror(message);
  }
};

// Counts one level of recursion (and one step); false once a bound is
// reached, which is reported once and fails the whole call.
bool Matcher::enter() {
  if (abandoned) return false;
  if (depth >= max_match_depth) {
    abandoned = true;
    report("recursion too deep");
    return false;
  }
  if (regexec_step_limit != 0 && ++steps > regexec_step_limit) {
    abandoned = true;
    report("too many steps");
    return false;
  }
  ++depth;
  return true;
}

// A repeated attempt of a remembered failure (stored is its memo entry, not
// 0): it fails again, after nesting as deep as the first time, which from
// here may cross the depth bound.
bool Matcher::known_failure(unsigned stored) {
  unsigned below = stored - 1;
  if (abandoned) return true;
  if (depth + below >= max_match_depth) {
    abandoned = true;
    report("recursion too deep");
  }
  height = below;
  return true;
}

// How often the simple node matches in a row from the cursor; the cursor
// ends after the last repetition.
std::size_t Matcher::repeat(unsigned char *node) {
  if (!is_simple(node_op(node))) {
    report("internal foulup");
    return 0;
  }
  const char *scan = run_end(node, reginput);
  std::size_t count = static_cast<std::size_t>(scan - reginput);
  reginput = scan;
  return count;
}


// 1 when the program, entered at node with the cursor where it stands, runs
// to RX_END (the cursor then ends the match); 0 otherwise. Recursion happens
// only at true choices, group boundaries and repetition back-off. The walk
// is the same as without the memory: a remembered failure only stands in
// for the identical walk it would repeat.
int Matcher::regmatch(unsigned char *node) {
  if (memo.active() && node) {
    if (const FailureMemo::Row *row = memo.row(node)) {
      unsigned stored = FailureMemo::failed(row, static_cast<std::size_t>(reginput - regbol));
      if (stored && known_failure(stored)) return 0;
    }
  }
  if (++entries == memo_after_entries) memo.activate(program, std::strlen(regbol));
  if (!enter()) {
    height = 0;
    return 0;
  }
  unsigned char *const first = node;
  const char *const entry = reginput;
  const unsigned long reports_before = reports;
  unsigned below = 0;  // deepest nesting of the calls made from here
  int matched = 0;
  unsigned char *next;
  const char *save;
  std::size_t count;

  if (!node) {
    report("corrupted pointers");
    goto out;
  }
  for (;;) {
    if (abandoned) goto out;
    next = node_next(node);
    switch (node_op(node)) {
      case RX_END:
        matched = 1;
        goto out;
      case RX_LINE_START:
        if (reginput != regbol) goto out;
        break;
      case RX_LINE_END:
        if (*reginput != '\0') goto out;
        break;
      case RX_ANY:
        if (*reginput == '\0') goto out;
        ++reginput;
        break;
      case RX_ANY_OF:
        if (!in_set_node(node, *reginput)) goto out;
        ++reginput;
        break;
      case RX_ANY_BUT:
        if (*reginput == '\0' || in_set_node(node, *reginput)) goto out;
        ++reginput;
        break;
      case RX_LITERAL: {
        const char *text = node_text(node);
        const char *at = reginput;
        do {
          if (*at != *text) goto out;
          ++at;
        } while (*++text);
        reginput = at;
        break;
      }
      case RX_EMPTY:
      case RX_LOOP:
        break;
      case RX_ALT:
        if (!next || node_op(next) != RX_ALT) {
          // A choice of one: no need to come back here.
          next = node_operand(node);
          break;
        }
        save = reginput;
        do {
          int found = regmatch(node_operand(node));
          if (height + 1 > below) below = height + 1;
          if (found) {
            matched = 1;
            goto out;
          }
          reginput = save;
          node = node_next(node);
        } while (node && node_op(node) == RX_ALT);
        goto out;
      case RX_STAR:
      case RX_PLUS: {
        save = reginput;
        const unsigned long loop_reports = reports;
        const std::size_t least = node_op(node) == RX_PLUS ? 1 : 0;
        const unsigned char *operand = node_operand(node);
        unsigned loop_below = 0;  // deepest nesting of this repetition's calls
        bool rest_known = false;
        if (memo.active() && matches_once(operand, save) && (least == 0 || matches_once(operand, save + 1))) {
          // The same repetition one character on runs to the same end and
          // tried every position but the last of this one: if it failed,
          // its calls fail again here, as deep as they went there.
          const FailureMemo::Row *self = memo.row(node);
          unsigned stored = self ? FailureMemo::failed(self, static_cast<std::size_t>(save + 1 - regbol)) : 0;
          if (stored) {
            loop_below = stored - 1;
            if (loop_below > 0 && depth + loop_below - 1 >= max_match_depth) {
              abandoned = true;
              report("recursion too deep");
              goto out;
            }
            count = least;
            rest_known = true;
          }
        }
        if (!rest_known) {
          count = repeat(node_operand(node));
          if (count < least) goto out;
        }
        // Known failures of the successor are answered here, without a call.
        const FailureMemo::Row *row = nullptr;
        // Each position tried ends the attempts of this repetition entered
        // that much later, which are remembered on the way.
        FailureMemo::Row *self = nullptr;
        for (;;) {
          reginput = save + count;
          if (may_follow(next, reginput)) {
            if (memo.active() && next && !row) row = memo.row(next);
            unsigned stored = row ? FailureMemo::failed(row, static_cast<std::size_t>(reginput - regbol)) : 0;
            int found = -1;
            if (stored) {
              found = 0;
              known_failure(stored);
            } else if (next && node_op(next) != RX_STAR && node_op(next) != RX_PLUS && depth < max_match_depth &&
                       regexec_step_limit == 0) {
              // What a call would find when it makes no call of its own.
              found = simple_tail(regbol, next, reginput, &reginput);
              if (found >= 0) height = 0;
            }
            if (found < 0) found = regmatch(next);
            if (height + 1 > loop_below) loop_below = height + 1;
            if (found) {
              matched = 1;
              goto out;
            }
          }
          if (abandoned) goto out;
          if (count == least) break;
          if (memo.active() && reports == loop_reports) {
            if (!self) self = memo.row_for(node);
            if (self) memo.store(self, static_cast<std::size_t>(save + count - least - regbol), loop_below);
          }
          --count;
        }
        if (loop_below > below) below = loop_below;
        // When the repetition began this walk, the walk's own record says it.
        if (reports == loop_reports && memo.active() && (node != first || save != entry))
          memo.record(node, static_cast<std::size_t>(save - regbol), loop_below);
        goto out;
      }
      default:
        if (node_op(node) > RX_OPEN && node_op(node) < RX_OPEN + ZK_NSUBEXP) {
          save = reginput;
          int found = regmatch(next);
          if (height + 1 > below) below = height + 1;
          if (found) {
            char *&slot = regstartp[node_op(node) - RX_OPEN];
            if (!slot) slot = const_cast<char *>(save);
            matched = 1;
          }
          goto out;
        }
        if (node_op(node) > RX_CLOSE && node_op(node) < RX_CLOSE + ZK_NSUBEXP) {
          save = reginput;
          int found = regmatch(next);
          if (height + 1 > below) below = height + 1;
          if (found) {
            char *&slot = regendp[node_op(node) - RX_CLOSE];
            if (!slot) slot = const_cast<char *>(save);
            matched = 1;
          }
          goto out;
        }
        report("memory corruption");
        goto out;
    }
    if (!next) {
      report("corrupted pointers");
      goto out;
    }
    node = next;
  }
out:
  --depth;
  if (!matched && !abandoned && reports == reports_before && memo.active())
    memo.record(first, static_cast<std::size_t>(entry - regbol), below);
  height = below;
  return matched;
}

// One attempt at position start; the match fields were cleared before the
// first, and only a successful walk writes them.
int attempt(zk_regexp *expression, Matcher &m, const char *start) {
  m.reginput = start;
  if (!m.regmatch(expression->program + 1)) return 0;
  expression->match_start[0] = const_cast<char *>(start);
  expression->match_end[0] = const_cast<char *>(m.reginput);
  return 1;
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

// The attempts from start on, in the order the hints give, each a full walk;
// the match fields are already cleared.
int full_search(zk_regexp *expression, const char *subject, const char *start) {
  Matcher m;
  m.program = expression->program;
  m.regbol = subject;
  m.reginput = subject;
  m.regstartp = expression->match_start;
  m.regendp = expression->match_end;
  if (expression->anchored) return attempt(expression, m, start);
  const char *scan = start;
  if (expression->first_char != '\0') {
    for (; scan; scan = std::strchr(scan + 1, expression->first_char)) {
      if (attempt(expression, m, scan)) return 1;
      if (m.abandoned) return 0;
    }
    return 0;
  }
  do {
    if (attempt(expression, m, scan)) return 1;
    if (m.abandoned) return 0;
  } while (*scan++ != '\0');
  return 0;
}

// A successful attempt that needed no walk: the match, and no group.
int simple_match(zk_regexp *expression, const char *start, const char *end) {
  expression->match_start[0] = const_cast<char *>(start);
  expression->match_end[0] = const_cast<char *>(end);
  return 1;
}

bool match_cleared(const zk_regexp *expression) {
  std::uintptr_t any = 0;
  for (int i = 0; i < ZK_NSUBEXP; ++i)
    any |= reinterpret_cast<std::uintptr_t>(expression->match_start[i]) |
           reinterpret_cast<std::uintptr_t>(expression->match_end[i]);
  return any == 0;
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

}  // namespace
}  // namespace hestrel::text::regexp

extern "C" int zk_regexec(zk_regexp *expression, const char *subject) {
  using namespace hestrel::text::regexp;
  if (!expression || !subject) {
    zk_regerror("NULL parameter");
    return 0;
  }
  if (expression->program[0] != RX_MAGIC) {
    zk_regerror("corrupted program");
    return 0;
  }

  if (expression->required) {
    const char *scan = subject;
    std::size_t length = static_cast<std::size_t>(expression->required_len);
    while ((scan = std::strchr(scan, expression->required[0])) != nullptr) {
      if (std::strncmp(scan, expression->required, length) == 0) break;
      ++scan;
    }
    if (!scan) return 0;
  }

  // Attempts that hold no choice, group or second repetition are answered
  // without the walk; the first that is not goes to the walk with the rest.
  const unsigned char *program = expression->program + 1;
  const bool simple = regexec_step_limit == 0;
  const char *end = nullptr;
  if (expression->anchored) {
    clear_match(expression);
    int found = simple ? simple_chain<true>(subject, program, subject, &end) : -1;
    if (found == 1) return simple_match(expression, subject, end);
    return found == 0 ? 0 : full_search(expression, subject, subject);
  }
  if (simple) {
    std::size_t width = fixed_width_to_end(program);
    if (width != no_fixed_width) return search_fixed_width(expression, subject, width);
  }
  const char *scan = subject;
  if (expression->first_char != '\0') {
    scan = std::strchr(scan, expression->first_char);
    if (!scan) return 0;
    clear_match(expression);
    FailedRun failed;
    for (; scan; scan = std::strchr(scan + 1, expression->first_char)) {
      int found = simple ? simple_chain<true>(subject, program, scan, &end, &failed) : -1;
      if (found == 1) return simple_match(expression, scan, end);
      if (found < 0) return full_search(expression, subject, scan);
    }
    return 0;
  }
  clear_match(expression);
  FailedRun failed;
  do {
    int found = simple ? simple_chain<true>(subject, program, scan, &end, &failed) : -1;
    if (found == 1) return simple_match(expression, scan, end);
    if (found < 0) return full_search(expression, subject, scan);
  } while (*scan++ != '\0');
  return 0;
}
