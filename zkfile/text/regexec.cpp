// Expression matcher: a backtracking walk of the node program over a subject,
// with bounded recursion so that long subjects fail instead of crashing, and
// a memory of failed attempts so that no pattern makes it exponential.
#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "internal/failure_memo.hpp"
#include "internal/regexp_engine.hpp"
#include "zk_regexp.h"

namespace hestrel::text::regexp {

unsigned long regexec_step_limit = 0;

namespace {

// Entries into the walk after which failed attempts are remembered: short
// searches never pay for the memory.
constexpr unsigned long memo_after_entries = 64;

// Whether c is one of the set's characters; never true for the NUL.
bool in_set(const char *set, char c) {
  for (; *set; ++set)
    if (*set == c) return true;
  return false;
}

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

// How often the simple node matches in a row from at; the end of the run.
const char *run_end(const unsigned char *node, const char *at) {
  const char *set = node_text(node);
  switch (node_op(node)) {
    case RX_ANY:
      return at + std::strlen(at);
    case RX_LITERAL:
      while (*at != '\0' && *at == *set) ++at;
      return at;
    default: {
      // RX_ANY_OF or RX_ANY_BUT: one test per character against a table
      // of the set, the NUL outside it.
      std::uint64_t table[4] = {0, 0, 0, 0};
      for (const unsigned char *s = reinterpret_cast<const unsigned char *>(set); *s; ++s)
        table[*s >> 6] |= std::uint64_t{1} << (*s & 63);
      if (node_op(node) == RX_ANY_BUT) {
        for (std::uint64_t &word : table) word = ~word;
        table[0] &= ~std::uint64_t{1};
      }
      for (;;) {
        unsigned char c = static_cast<unsigned char>(*at);
        if (!((table[c >> 6] >> (c & 63)) & 1)) return at;
        ++at;
      }
    }
  }
}

bool is_simple(unsigned char op) {
  return op == RX_ANY || op == RX_ANY_OF || op == RX_ANY_BUT || op == RX_LITERAL;
}

// Whether the simple node matches the character at at (false for any
// other node).
bool matches_once(const unsigned char *node, const char *at) {
  char c = *at;
  switch (node_op(node)) {
    case RX_ANY:
      return c != '\0';
    case RX_LITERAL:
      return c != '\0' && c == *node_text(node);
    case RX_ANY_OF:
      return in_set(node_text(node), c);
    case RX_ANY_BUT:
      return c != '\0' && !in_set(node_text(node), c);
    default:
      return false;
  }
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

// Whether any byte of the word equals the byte that fills every byte of
// pattern.
inline bool has_byte(std::uint64_t word, std::uint64_t pattern) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  std::uint64_t x = word ^ pattern;
  return ((x - ones) & ~x & (ones << 7)) != 0;
}

// in_set for the set of a node, eight bytes at a time where the node's
// successor starts right after the set's NUL, as the compiler lays it out
// (any other node is searched byte by byte).
inline bool in_set_node(const unsigned char *node, char c) {
  const char *set = node_text(node);
  std::size_t length = node_offset(node) - 4u;
  if (node_offset(node) < 12 || length > 16 || set[length] != '\0') return in_set(set, c);
  std::uint64_t low, high;
  std::memcpy(&low, set, 8);
  std::memcpy(&high, set + length - 8, 8);
  if (has_byte(low, 0) || has_byte(high, 0)) return in_set(set, c);  // a NUL inside: not laid out so
  std::uint64_t pattern = 0x0101010101010101ull * static_cast<unsigned char>(c);
  return has_byte(low, pattern) || has_byte(high, pattern);
}

// Whether a repetition may try its successor with the cursor where it
// stands: the character after the repetition must start a following literal.
inline bool may_follow(const unsigned char *next, const char *cursor) {
  return !next || node_op(next) != RX_LITERAL || *cursor == *node_text(next);
}

// A chain of simple nodes matched from at without a call of its own, and
// with repeat also one repetition whose successors are such a chain: 1 when
// it runs to RX_END (the cursor then ends the match), 0 when it fails, -1
// when it holds a true choice, a group, a second repetition or a broken
// link, which only the full walk may judge. Nothing here can reach the
// depth bound or raise a report, so the answer is the full walk's.
// A repetition of a simple chain that failed from its start to the end of
// its run: entered again inside that run by a later attempt, it only has
// fewer of the same positions to try.
struct FailedRun {
  const unsigned char *node = nullptr;
  const char *from = nullptr;
  const char *to = nullptr;
};

template <bool repeat_allowed>
inline __attribute__((always_inline)) int simple_chain(const char *regbol, const unsigned char *node,
                                                       const char *at, const char **end,
                                                       FailedRun *failed = nullptr);

// The chain after a repetition: no further repetition.
__attribute__((noinline)) int simple_tail(const char *regbol, const unsigned char *node, const char *at,
                                          const char **end) {
  return simple_chain<false>(regbol, node, at, end);
}

template <bool repeat_allowed>
inline __attribute__((always_inline)) int simple_chain(const char *regbol, const unsigned char *node,
                                                       const char *at, const char **end, FailedRun *failed) {
  for (;;) {
    switch (node_op(node)) {
      case RX_END:
        *end = at;
        return 1;
      case RX_LINE_START:
        if (at != regbol) return 0;
        break;
      case RX_LINE_END:
        if (*at != '\0') return 0;
        break;
      case RX_ANY:
        if (*at == '\0') return 0;
        ++at;
        break;
      case RX_ANY_OF:
        if (!in_set_node(node, *at)) return 0;  // the NUL is in no set
        ++at;
        break;
      case RX_ANY_BUT:
        if (*at == '\0' || in_set_node(node, *at)) return 0;
        ++at;
        break;
      case RX_LITERAL: {
        const char *text = node_text(node);
        do {
          if (*at != *text) return 0;
          ++at;
        } while (*++text);
        break;
      }
      case RX_EMPTY:
        break;
      case RX_ALT: {
        unsigned offset = node_offset(node);
        if (offset != 0 && node_op(node + offset) == RX_ALT) return -1;
        node += 3;  // a choice of one: its own chain
        continue;
      }
      case RX_STAR:
      case RX_PLUS: {
        unsigned offset = node_offset(node);
        if constexpr (!repeat_allowed) return -1;
        if (offset == 0 || !is_simple(node_op(node + 3))) return -1;
        const unsigned char *next = node + offset;
        std::size_t least = node_op(node) == RX_PLUS ? 1 : 0;
        if (failed && failed->node == node && failed->from < at && at <= failed->to) return 0;
        const char *run_to = nullptr;  // known once counted
        int found = 0;
        if (node_op(next) == RX_LITERAL) {
          // Only where the literal's first character stands, from the
          // longest repetition down; "." runs to the NUL, so the last such
          // character is the first candidate.
          const char c = *node_text(next);
          const char *low = at + least;
          const char *cursor;
          if (node_op(node + 3) == RX_ANY) {
            if (*at == '\0' && least) return 0;
            cursor = std::strrchr(at, c);
          } else {
            run_to = run_end(node + 3, at);
            if (static_cast<std::size_t>(run_to - at) < least) return 0;
            cursor = static_cast<const char *>(memrchr(low, c, static_cast<std::size_t>(run_to - low) + 1));
          }
          while (cursor && cursor >= low) {
            found = simple_tail(regbol, next, cursor, end);
            if (found != 0) break;
            cursor = static_cast<const char *>(memrchr(low, c, static_cast<std::size_t>(cursor - low)));
          }
        } else {
          run_to = run_end(node + 3, at);
          std::size_t count = static_cast<std::size_t>(run_to - at);
          if (count < least) return 0;
          for (;;) {
            if (may_follow(next, at + count)) {
              found = simple_tail(regbol, next, at + count, end);
              if (found != 0) break;
            }
            if (count == least) break;
            --count;
          }
        }
        if (found == 0 && failed) {
          failed->node = node;
          failed->from = at;
          failed->to = run_to ? run_to : at + std::strlen(at);
        }
        return found;
      }
      default:
        return -1;
    }
    unsigned offset = node_offset(node);
    if (offset == 0) return -1;
    node += offset;
  }
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

constexpr std::size_t no_fixed_width = static_cast<std::size_t>(-1);

// The width of a program that is one chain of simple nodes of fixed width
// ending in RX_LINE_END and RX_END, or no_fixed_width.
std::size_t fixed_width_to_end(const unsigned char *node) {
  std::size_t width = 0;
  for (;;) {
    switch (node_op(node)) {
      case RX_ANY:
      case RX_ANY_OF:
      case RX_ANY_BUT:
        ++width;
        break;
      case RX_LITERAL:
        width += std::strlen(node_text(node));
        break;
      case RX_LINE_START:
      case RX_EMPTY:
        break;
      case RX_LINE_END: {
        unsigned offset = node_offset(node);
        return offset != 0 && node_op(node + offset) == RX_END ? width : no_fixed_width;
      }
      case RX_ALT: {
        unsigned offset = node_offset(node);
        if (offset != 0 && node_op(node + offset) == RX_ALT) return no_fixed_width;
        node += 3;
        continue;
      }
      default:
        return no_fixed_width;
    }
    unsigned offset = node_offset(node);
    if (offset == 0) return no_fixed_width;
    node += offset;
  }
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
