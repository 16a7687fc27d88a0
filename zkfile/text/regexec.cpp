// Expression matcher: a backtracking walk of the node program over a subject,
// with bounded recursion so that long subjects fail instead of crashing, and
// a memory of failed attempts so that no pattern makes it exponential.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "internal/failure_memo.hpp"
#include "internal/regexp_engine.hpp"
#include "zk_regexp.h"

namespace hestrel::text::regexp {

unsigned long regexec_step_limit = 0;

namespace {

// Entries into the walk after which failed attempts are remembered: short
// searches never pay for the memory.
constexpr unsigned long memo_after_entries = 64;

bool in_set(const char *set, char c) {
  for (; *set; ++set)
    if (*set == c) return true;
  return false;
}

// Working state of one zk_regexec call. The recursive walk keeps its own
// frames small by holding everything else here.
struct Matcher {
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
  const char *scan = reginput;
  const char *set = node_text(node);
  switch (node_op(node)) {
    case RX_ANY:
      scan += std::strlen(scan);
      break;
    case RX_LITERAL:
      while (*scan != '\0' && *scan == *set) ++scan;
      break;
    case RX_ANY_OF:
    case RX_ANY_BUT: {
      // One test per character: a table of the set, the NUL outside it.
      bool wanted = node_op(node) == RX_ANY_OF;
      std::uint64_t table[4] = {0, 0, 0, 0};
      for (const unsigned char *s = reinterpret_cast<const unsigned char *>(set); *s; ++s)
        table[*s >> 6] |= std::uint64_t{1} << (*s & 63);
      if (!wanted) {
        for (std::uint64_t &word : table) word = ~word;
        table[0] &= ~std::uint64_t{1};
      }
      for (;;) {
        unsigned char c = static_cast<unsigned char>(*scan);
        if (!((table[c >> 6] >> (c & 63)) & 1)) break;
        ++scan;
      }
      break;
    }
    default:
      report("internal foulup");
      return 0;
  }
  std::size_t count = static_cast<std::size_t>(scan - reginput);
  reginput = scan;
  return count;
}

// Whether a repetition may try its successor with the cursor where it
// stands: the character after the repetition must start a following literal.
inline bool may_follow(const unsigned char *next, const char *cursor) {
  return !next || node_op(next) != RX_LITERAL || *cursor == *node_text(next);
}

// 1 when the program, entered at node with the cursor where it stands, runs
// to RX_END (the cursor then ends the match); 0 otherwise. Recursion happens
// only at true choices, group boundaries and repetition back-off. The walk
// is the same as without the memory: a remembered failure only stands in
// for the identical walk it would repeat.
int Matcher::regmatch(unsigned char *node) {
  if (memo.active() && node) {
    if (std::uint16_t *row = memo.row(node)) {
      unsigned stored = row[reginput - regbol];
      if (stored && known_failure(stored)) return 0;
    }
  }
  if (++entries == memo_after_entries) memo.activate(std::strlen(regbol));
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
        if (*reginput == '\0' || !in_set(node_text(node), *reginput)) goto out;
        ++reginput;
        break;
      case RX_ANY_BUT:
        if (*reginput == '\0' || in_set(node_text(node), *reginput)) goto out;
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
        count = repeat(node_operand(node));
        if (node_op(node) == RX_PLUS && count == 0) goto out;
        std::size_t least = node_op(node) == RX_PLUS ? 1 : 0;
        // Known failures of the successor are answered here, without a call.
        std::uint16_t *row = nullptr;
        for (;;) {
          reginput = save + count;
          if (may_follow(next, reginput)) {
            if (memo.active() && next && !row) row = memo.row(next);
            unsigned stored = row ? row[reginput - regbol] : 0;
            int found;
            if (stored) {
              found = 0;
              known_failure(stored);
            } else {
              found = regmatch(next);
            }
            if (height + 1 > below) below = height + 1;
            if (found) {
              matched = 1;
              goto out;
            }
          }
          if (abandoned || count == least) goto out;
          --count;
        }
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

void clear_match(zk_regexp *expression) {
  for (int i = 0; i < ZK_NSUBEXP; ++i) {
    expression->match_start[i] = nullptr;
    expression->match_end[i] = nullptr;
  }
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

  Matcher m;
  m.regbol = subject;
  m.reginput = subject;
  m.regstartp = expression->match_start;
  m.regendp = expression->match_end;

  if (expression->anchored) {
    clear_match(expression);
    return attempt(expression, m, subject);
  }
  const char *scan = subject;
  if (expression->first_char != '\0') {
    bool cleared = false;
    while ((scan = std::strchr(scan, expression->first_char)) != nullptr) {
      if (!cleared) clear_match(expression);
      cleared = true;
      if (attempt(expression, m, scan)) return 1;
      if (m.abandoned) return 0;
      ++scan;
    }
    return 0;
  }
  clear_match(expression);
  do {
    if (attempt(expression, m, scan)) return 1;
    if (m.abandoned) return 0;
  } while (*scan++ != '\0');
  return 0;
}
