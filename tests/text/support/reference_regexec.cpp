// The matcher as it was before failed attempts were remembered, kept only as
// the reference the differential tests hold the library's matcher to.
#include "reference_regexec.hpp"

#include <cstddef>
#include <cstring>

#include "text/internal/regexp_engine.hpp"
#include "zkerr.h"

namespace regex_test {
namespace {

// The compiled format and its bound are the library's own.
using hestrel::text::regexp::max_match_depth;
using hestrel::text::regexp::node_next;
using hestrel::text::regexp::node_offset;
using hestrel::text::regexp::node_op;
using hestrel::text::regexp::node_operand;
using hestrel::text::regexp::node_text;

void report(const char *message) { hestrel::text::regexp::zk_regerror(message); }

// Working state of one zk_regexec call. The recursive walk keeps its own
// frames small by holding everything else here.
struct Matcher {
  const char *regbol;    // start of the subject
  const char *reginput;  // cursor
  char **regstartp;      // the expression's match_start
  char **regendp;        // the expression's match_end
  unsigned depth = 0;
  bool abandoned = false;  // a bound was reached: every branch now fails

  int regmatch(unsigned char *node);
  int step(const unsigned char *node);
  std::size_t repeat(unsigned char *node);
  bool enter();
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
  ++depth;
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
      while (*scan != '\0' && std::strchr(set, *scan)) ++scan;
      break;
    case RX_ANY_BUT:
      while (*scan != '\0' && !std::strchr(set, *scan)) ++scan;
      break;
    default:
      report("internal foulup");
      return 0;
  }
  std::size_t count = static_cast<std::size_t>(scan - reginput);
  reginput = scan;
  return count;
}

// One node that consumes no choice: 1 when it matched (the cursor moved on
// past it), 0 when not. Kept apart from the recursive walk so that the
// walk's frame, multiplied by the depth, stays small.
__attribute__((noinline)) int Matcher::step(const unsigned char *node) {
  const char *text = node_text(node);
  switch (node_op(node)) {
    case RX_LINE_START:
      return reginput == regbol;
    case RX_LINE_END:
      return *reginput == '\0';
    case RX_ANY:
      if (*reginput == '\0') return 0;
      ++reginput;
      return 1;
    case RX_ANY_OF:
      if (*reginput == '\0' || !std::strchr(text, *reginput)) return 0;
      ++reginput;
      return 1;
    case RX_ANY_BUT:
      if (*reginput == '\0' || std::strchr(text, *reginput)) return 0;
      ++reginput;
      return 1;
    case RX_LITERAL: {
      if (*text != *reginput) return 0;
      std::size_t length = std::strlen(text);
      if (length > 1 && std::strncmp(text, reginput, length) != 0) return 0;
      reginput += length;
      return 1;
    }
    default:  // RX_EMPTY, RX_LOOP
      return 1;
  }
}

// Whether a repetition may try its successor with the cursor where it
// stands: the character after the repetition must start a following literal.
static int may_follow(const unsigned char *next, const char *cursor) {
  return !next || node_op(next) != RX_LITERAL || *cursor == *node_text(next);
}

// 1 when the program, entered at node with the cursor where it stands, runs
// to RX_END (the cursor then ends the match); 0 otherwise. Recursion happens
// only at true choices, group boundaries and repetition back-off.
int Matcher::regmatch(unsigned char *node) {
  if (!enter()) return 0;
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
      case RX_LINE_END:
      case RX_ANY:
      case RX_ANY_OF:
      case RX_ANY_BUT:
      case RX_LITERAL:
      case RX_EMPTY:
      case RX_LOOP:
        if (!step(node)) goto out;
        break;
      case RX_ALT:
        if (!next || node_op(next) != RX_ALT) {
          // A choice of one: no need to come back here.
          next = node_operand(node);
          break;
        }
        save = reginput;
        do {
          if (regmatch(node_operand(node))) {
            matched = 1;
            goto out;
          }
          reginput = save;
          node = node_next(node);
        } while (node && node_op(node) == RX_ALT);
        goto out;
      case RX_STAR:
      case RX_PLUS:
        save = reginput;
        count = repeat(node_operand(node));
        for (;;) {
          if (node_op(node) == RX_PLUS && count == 0) goto out;
          reginput = save + count;
          if (may_follow(next, reginput) && regmatch(next)) {
            matched = 1;
            goto out;
          }
          if (abandoned || count == 0) goto out;
          --count;
        }
      default:
        if (node_op(node) > RX_OPEN && node_op(node) < RX_OPEN + ZK_NSUBEXP) {
          save = reginput;
          if (regmatch(next)) {
            char *&entry = regstartp[node_op(node) - RX_OPEN];
            if (!entry) entry = const_cast<char *>(save);
            matched = 1;
          }
          goto out;
        }
        if (node_op(node) > RX_CLOSE && node_op(node) < RX_CLOSE + ZK_NSUBEXP) {
          save = reginput;
          if (regmatch(next)) {
            char *&entry = regendp[node_op(node) - RX_CLOSE];
            if (!entry) entry = const_cast<char *>(save);
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
  return matched;
}

// One attempt at position start.
int attempt(zk_regexp *expression, Matcher &m, const char *start) {
  for (int i = 0; i < ZK_NSUBEXP; ++i) {
    expression->match_start[i] = nullptr;
    expression->match_end[i] = nullptr;
  }
  m.reginput = start;
  if (!m.regmatch(expression->program + 1)) return 0;
  expression->match_start[0] = const_cast<char *>(start);
  expression->match_end[0] = const_cast<char *>(m.reginput);
  return 1;
}

}  // namespace

int reference_regexec(zk_regexp *expression, const char *subject) {
  if (!expression || !subject) {
    report("NULL parameter");
    return 0;
  }
  if (expression->program[0] != RX_MAGIC) {
    report("corrupted program");
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

  if (expression->anchored) return attempt(expression, m, subject);
  const char *scan = subject;
  if (expression->first_char != '\0') {
    while ((scan = std::strchr(scan, expression->first_char)) != nullptr) {
      if (attempt(expression, m, scan)) return 1;
      if (m.abandoned) return 0;
      ++scan;
    }
    return 0;
  }
  do {
    if (attempt(expression, m, scan)) return 1;
    if (m.abandoned) return 0;
  } while (*scan++ != '\0');
  return 0;
}

}  // namespace regex_test
