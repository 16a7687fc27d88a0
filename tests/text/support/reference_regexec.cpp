// The matcher as it was before failed attempts were remembered, kept only as
// the reference the differential tests hold the library's matcher to.
#include "reference_regexec.hpp"

#include <cstddef>
#include <cstring>

#include "text/internal/node_walk.hpp"
#include "text/internal/regexp_engine.hpp"
#include "zkerr.h"

namespace regex_test {
namespace {

// The compiled format, its walk and its bound are the library's own; sets
// are searched here byte by byte, so the word-at-a-time search is checked.
using hestrel::text::regexp::max_match_depth;
using hestrel::text::regexp::node_next;
using hestrel::text::regexp::node_op;
using hestrel::text::regexp::node_operand;
using hestrel::text::regexp::node_text;
using hestrel::text::regexp::Stop;
using hestrel::text::regexp::Stopped;
using hestrel::text::regexp::SubjectCursor;
using hestrel::text::regexp::walk_chain;

void report(const char *message) { hestrel::text::regexp::zk_regerror(message); }

struct PlainCursor : SubjectCursor {
  bool any_of(const unsigned char *node) { return *at != '\0' && std::strchr(node_text(node), *at) && step(); }
  bool any_but(const unsigned char *node) { return *at != '\0' && !std::strchr(node_text(node), *at) && step(); }
};

// Working state of one zk_regexec call; the search recurses on the machine
// stack at every choice, repetition back-off and group boundary.
struct Matcher {
  const char *regbol;    // start of the subject
  const char *reginput;  // cursor
  char **regstartp;      // the expression's match_start
  char **regendp;        // the expression's match_end
  unsigned depth = 0;
  bool abandoned = false;  // a bound was reached: every branch now fails

  int regmatch(const unsigned char *node);
  int walk(const unsigned char *node);
  int choice(const unsigned char *node);
  int repetition(const unsigned char *node);
  int group(const unsigned char *node);
  std::size_t repeat(const unsigned char *node);
  bool enter();
};

// Counts one level of recursion; false once the bound is reached, which is
// reported once and fails the whole call.
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

// 1 when the program, entered at node with the cursor where it stands, runs
// to RX_END (the cursor then ends the match); 0 otherwise.
int Matcher::regmatch(const unsigned char *node) {
  if (!enter()) return 0;
  int matched = 0;
  if (node)
    matched = walk(node);
  else
    report("corrupted pointers");
  --depth;
  return matched;
}

int Matcher::walk(const unsigned char *node) {
  PlainCursor cursor{{regbol, reginput}};
  const Stopped stopped = walk_chain(node, cursor);
  reginput = cursor.at;
  switch (stopped.why) {
    case Stop::matched:
      return 1;
    case Stop::mismatch:
      return 0;
    case Stop::choice:
      return choice(stopped.node);
    case Stop::repetition:
      return repetition(stopped.node);
    case Stop::group_open:
    case Stop::group_close:
      return group(stopped.node);
    case Stop::bad_opcode:
      report("memory corruption");
      return 0;
    case Stop::broken_link:
      break;
  }
  report("corrupted pointers");
  return 0;
}

int Matcher::choice(const unsigned char *node) {
  const char *save = reginput;
  do {
    if (regmatch(node_operand(node))) return 1;
    reginput = save;
    node = node_next(node);
  } while (node && node_op(node) == RX_ALT);
  return 0;
}

// Whether a repetition may try its successor with the cursor where it
// stands: the character after the repetition must start a following literal.
bool may_follow(const unsigned char *next, const char *cursor) {
  return !next || node_op(next) != RX_LITERAL || *cursor == *node_text(next);
}

int Matcher::repetition(const unsigned char *node) {
  const unsigned char *next = node_next(node);
  const char *save = reginput;
  std::size_t count = repeat(node_operand(node));
  for (;;) {
    if (node_op(node) == RX_PLUS && count == 0) return 0;
    reginput = save + count;
    if (may_follow(next, reginput) && regmatch(next)) return 1;
    if (abandoned || count == 0) return 0;
    --count;
  }
}

int Matcher::group(const unsigned char *node) {
  const char *save = reginput;
  if (!regmatch(node_next(node))) return 0;
  const unsigned char op = node_op(node);
  char *&entry = op < RX_CLOSE ? regstartp[op - RX_OPEN] : regendp[op - RX_CLOSE];
  if (!entry) entry = const_cast<char *>(save);
  return 1;
}

// How often the simple node matches in a row from the cursor; the cursor
// ends after the last repetition.
std::size_t Matcher::repeat(const unsigned char *node) {
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
