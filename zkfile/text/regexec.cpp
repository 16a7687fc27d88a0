// Expression matcher: a backtracking walk of the node program over a subject,
// with bounded recursion so that long subjects fail instead of crashing.
#include <cstddef>
#include <cstring>

#include "internal/regexp_engine.hpp"
#include "zk_regexp.h"

namespace hestrel::text::regexp {

unsigned long regexec_step_limit = 0;

namespace {

// Working state of one zk_regexec call. The recursive walk keeps its own
// frames small by holding everything else here.
struct Matcher {
  const char *bol;    // start of the subject
  const char *input;  // cursor
  char **startp;
  char **endp;
  unsigned depth = 0;
  unsigned long steps = 0;
  bool abandoned = false;  // a bound was reached: every branch now fails

  int match(unsigned char *node);
  int walk(unsigned char *node);
  std::size_t repeat(unsigned char *node);
  bool enter();
};

// Counts one level of recursion (and one step); false once a bound is
// reached, which is reported once and fails the whole call.
bool Matcher::enter() {
  if (abandoned) return false;
  if (depth >= max_match_depth) {
    abandoned = true;
    zk_regerror("recursion too deep");
    return false;
  }
  if (regexec_step_limit != 0 && ++steps > regexec_step_limit) {
    abandoned = true;
    zk_regerror("too many steps");
    return false;
  }
  ++depth;
  return true;
}

// How often the simple node matches in a row from the cursor; the cursor
// ends after the last repetition.
std::size_t Matcher::repeat(unsigned char *node) {
  const char *scan = input;
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
      zk_regerror("internal foulup");
      return 0;
  }
  std::size_t count = static_cast<std::size_t>(scan - input);
  input = scan;
  return count;
}

// 1 when the program, entered at node with the cursor where it stands, runs
// to RX_END (the cursor then ends the match); 0 otherwise.
int Matcher::match(unsigned char *node) {
  if (!enter()) return 0;
  int matched = walk(node);
  --depth;
  return matched;
}

int Matcher::walk(unsigned char *node) {
  if (!node) {
    zk_regerror("corrupted pointers");
    return 0;
  }
  for (;;) {
    if (abandoned) return 0;
    unsigned char *next = node_next(node);
    int op = node_op(node);
    switch (op) {
      case RX_END:
        return 1;
      case RX_LINE_START:
        if (input != bol) return 0;
        break;
      case RX_LINE_END:
        if (*input != '\0') return 0;
        break;
      case RX_ANY:
        if (*input == '\0') return 0;
        ++input;
        break;
      case RX_ANY_OF:
        if (*input == '\0' || !std::strchr(node_text(node), *input)) return 0;
        ++input;
        break;
      case RX_ANY_BUT:
        if (*input == '\0' || std::strchr(node_text(node), *input)) return 0;
        ++input;
        break;
      case RX_LITERAL: {
        const char *text = node_text(node);
        if (*text != *input) return 0;
        std::size_t length = std::strlen(text);
        if (length > 1 && std::strncmp(text, input, length) != 0) return 0;
        input += length;
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
        {
          const char *save = input;
          do {
            if (match(node_operand(node))) return 1;
            input = save;
            node = node_next(node);
          } while (node && node_op(node) == RX_ALT);
        }
        return 0;
      case RX_STAR:
      case RX_PLUS: {
        // The character that must follow saves calls that cannot succeed.
        char follow = next && node_op(next) == RX_LITERAL ? *node_text(next) : '\0';
        std::size_t least = op == RX_STAR ? 0 : 1;
        const char *save = input;
        std::size_t count = repeat(node_operand(node));
        for (;;) {
          if (count < least) return 0;
          input = save + count;
          if ((follow == '\0' || *input == follow) && match(next)) return 1;
          if (abandoned || count == 0) return 0;
          --count;
        }
      }
      default:
        if (op > RX_OPEN && op < RX_OPEN + ZK_NSUBEXP) {
          const char *save = input;
          if (!match(next)) return 0;
          if (!startp[op - RX_OPEN]) startp[op - RX_OPEN] = const_cast<char *>(save);
          return 1;
        }
        if (op > RX_CLOSE && op < RX_CLOSE + ZK_NSUBEXP) {
          const char *save = input;
          if (!match(next)) return 0;
          if (!endp[op - RX_CLOSE]) endp[op - RX_CLOSE] = const_cast<char *>(save);
          return 1;
        }
        zk_regerror("memory corruption");
        return 0;
    }
    if (!next) {
      zk_regerror("corrupted pointers");
      return 0;
    }
    node = next;
  }
}

// One attempt at position start.
int attempt(zk_regexp *expression, Matcher &m, const char *start) {
  for (int i = 0; i < ZK_NSUBEXP; ++i) {
    expression->match_start[i] = nullptr;
    expression->match_end[i] = nullptr;
  }
  m.input = start;
  if (!m.match(expression->program + 1)) return 0;
  expression->match_start[0] = const_cast<char *>(start);
  expression->match_end[0] = const_cast<char *>(m.input);
  return 1;
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
  m.bol = subject;
  m.input = subject;
  m.startp = expression->match_start;
  m.endp = expression->match_end;

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
