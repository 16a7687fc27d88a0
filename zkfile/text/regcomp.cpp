// Expression compiler: parses a pattern twice, first to count the program's
// bytes, then to write the nodes into one exactly sized block.
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "text/internal/regexp_engine.hpp"
#include "zk_regexp.h"
#include "zkerr.h"

namespace hestrel::text::regexp {

void zk_regerror(const char *message) { zkerr_throw(-1, ZKERR_FATAL, "Error in regular expression: %s \n", message); }

namespace {

constexpr int max_groups = ZK_NSUBEXP;

// Characters that end a run of ordinary characters.
constexpr const char *special_characters = "^$.[()|?+*\\";

bool is_repeat(char c) { return c == '*' || c == '+' || c == '?'; }

// One pass over the pattern. While sizing, the emission position stays on a
// one-byte sink and only the count grows; nothing is linked.
class Compiler {
 public:
  Compiler(const char *pattern, unsigned char *code)
      : regparse(pattern), regcode(code ? code : &regdummy), sizing_(code == nullptr) {}

  unsigned char *reg(bool parenthesised, int *flags);
  std::size_t size() const { return regsize; }
  unsigned char *position() const { return regcode; }

 private:
  unsigned char *branch(int *flags);
  unsigned char *regpiece(int *flags);
  unsigned char *atom(int *flags);
  unsigned char *set(int *flags);

  unsigned char *node(int op);
  void byte(int value);
  void insert(int op, unsigned char *operand);
  void tail(unsigned char *chain, unsigned char *target);
  void operand_tail(unsigned char *node, unsigned char *target);
  unsigned char *next(unsigned char *node) { return node == &regdummy ? nullptr : node_next(node); }

  unsigned char *fail(const char *message) {
    zk_regerror(message);
    return nullptr;
  }

  // Working state, fresh for each pass: parse position, next group number,
  // byte count, emission position and the sink it points at while sizing.
  const char *regparse;
  int regnpar = 1;
  std::size_t regsize = 1;  // the magic byte
  unsigned char regdummy = 0;
  unsigned char *regcode;
  bool sizing_;
};

unsigned char *Compiler::node(int op) {
  unsigned char *at = regcode;
  if (sizing_) {
    regsize += node_header_size;
    return at;
  }
  *regcode++ = static_cast<unsigned char>(op);
  *regcode++ = 0;
  *regcode++ = 0;
  return at;
}

void Compiler::byte(int value) {
  if (sizing_) {
    ++regsize;
    return;
  }
  *regcode++ = static_cast<unsigned char>(value);
}

// Moves everything from operand on one node header up and puts a node there.
void Compiler::insert(int op, unsigned char *operand) {
  if (sizing_) {
    regsize += node_header_size;
    return;
  }
  std::memmove(operand + node_header_size, operand, static_cast<std::size_t>(regcode - operand));
  regcode += node_header_size;
  operand[0] = static_cast<unsigned char>(op);
  operand[node_offset_high] = 0;
  operand[node_offset_low] = 0;
}

// Links the last node of the chain that starts at chain to target.
void Compiler::tail(unsigned char *chain, unsigned char *target) {
  if (chain == &regdummy) return;
  unsigned char *scan = chain;
  for (unsigned char *n = next(scan); n; n = next(scan)) scan = n;
  std::ptrdiff_t offset = node_op(scan) == RX_LOOP ? scan - target : target - scan;
  scan[node_offset_high] = static_cast<unsigned char>((offset >> 8) & 0xff);
  scan[node_offset_low] = static_cast<unsigned char>(offset & 0xff);
}

// Links the end of an alternative's own chain; other nodes have none.
void Compiler::operand_tail(unsigned char *alternative, unsigned char *target) {
  if (alternative == &regdummy || node_op(alternative) != RX_ALT) return;
  tail(node_operand(alternative), target);
}

unsigned char *Compiler::reg(bool parenthesised, int *flags) {
  *flags = RX_HAS_WIDTH;
  unsigned char *first = nullptr;
  int group = 0;
  if (parenthesised) {
    if (regnpar >= max_groups) return fail("too many ()");
    group = regnpar++;
    first = node(RX_OPEN + group);
  }

  int branch_flags = 0;
  unsigned char *alternative = branch(&branch_flags);
  if (!alternative) return nullptr;
  if (first)
    tail(first, alternative);
  else
    first = alternative;
  if (!(branch_flags & RX_HAS_WIDTH)) *flags &= ~RX_HAS_WIDTH;
  *flags |= branch_flags & RX_STARTS_REPEAT;
  while (*regparse == '|') {
    ++regparse;
    alternative = branch(&branch_flags);
    if (!alternative) return nullptr;
    tail(first, alternative);
    if (!(branch_flags & RX_HAS_WIDTH)) *flags &= ~RX_HAS_WIDTH;
    *flags |= branch_flags & RX_STARTS_REPEAT;
  }

  unsigned char *closing = node(parenthesised ? RX_CLOSE + group : RX_END);
  tail(first, closing);
  for (unsigned char *scan = first; scan; scan = next(scan)) operand_tail(scan, closing);

  if (parenthesised) {
    if (*regparse != ')') return fail("unmatched ()");
    ++regparse;
  } else if (*regparse != '\0') {
    return fail(*regparse == ')' ? "unmatched ()" : "junk on end");
  }
  return first;
}

unsigned char *Compiler::branch(int *flags) {
  *flags = 0;
  unsigned char *first = node(RX_ALT);
  unsigned char *chain = nullptr;
  while (*regparse != '\0' && *regparse != '|' && *regparse != ')') {
    int piece_flags = 0;
    unsigned char *latest = regpiece(&piece_flags);
    if (!latest) return nullptr;
    *flags |= piece_flags & RX_HAS_WIDTH;
    if (!chain)
      *flags |= piece_flags & RX_STARTS_REPEAT;
    else
      tail(chain, latest);
    chain = latest;
  }
  if (!chain) node(RX_EMPTY);
  return first;
}

unsigned char *Compiler::regpiece(int *flags) {
  int atom_flags = 0;
  unsigned char *first = atom(&atom_flags);
  if (!first) return nullptr;
  char op = *regparse;
  if (!is_repeat(op)) {
    *flags = atom_flags;
    return first;
  }
  if (!(atom_flags & RX_HAS_WIDTH) && op != '?') return fail("*+ operand could be empty");
  *flags = op == '+' ? RX_HAS_WIDTH : RX_STARTS_REPEAT;

  if (op == '*' && (atom_flags & RX_SIMPLE)) {
    insert(RX_STAR, first);
  } else if (op == '*') {
    insert(RX_ALT, first);
    operand_tail(first, node(RX_LOOP));
    operand_tail(first, first);
    tail(first, node(RX_ALT));
    tail(first, node(RX_EMPTY));
  } else if (op == '+' && (atom_flags & RX_SIMPLE)) {
    insert(RX_PLUS, first);
  } else if (op == '+') {
    unsigned char *again = node(RX_ALT);
    tail(first, again);
    tail(node(RX_LOOP), first);
    tail(again, node(RX_ALT));
    tail(first, node(RX_EMPTY));
  } else {
    insert(RX_ALT, first);
    tail(first, node(RX_ALT));
    unsigned char *empty = node(RX_EMPTY);
    tail(first, empty);
    operand_tail(first, empty);
  }
  ++regparse;
  if (is_repeat(*regparse)) return fail("nested *?+");
  return first;
}

unsigned char *Compiler::atom(int *flags) {
  *flags = 0;
  unsigned char *first = nullptr;
  char c = *regparse;
  switch (c) {
    case '^':
      ++regparse;
      return node(RX_LINE_START);
    case '$':
      ++regparse;
      return node(RX_LINE_END);
    case '.':
      ++regparse;
      *flags = RX_HAS_WIDTH | RX_SIMPLE;
      return node(RX_ANY);
    case '[':
      ++regparse;
      return set(flags);
    case '(': {
      ++regparse;
      int group_flags = 0;
      first = reg(true, &group_flags);
      if (!first) return nullptr;
      *flags = group_flags & (RX_HAS_WIDTH | RX_STARTS_REPEAT);
      return first;
    }
    case '\0':
    case '|':
    case ')':
      // The branch parser stops before these.
      return fail("internal urp");
    case '?':
    case '+':
    case '*':
      return fail("?+* follows nothing");
    case '\\':
      if (regparse[1] == '\0') return fail("trailing \\");
      first = node(RX_LITERAL);
      byte(static_cast<unsigned char>(regparse[1]));
      byte('\0');
      regparse += 2;
      *flags = RX_HAS_WIDTH | RX_SIMPLE;
      return first;
    default: {
      std::size_t length = std::strcspn(regparse, special_characters);
      if (length == 0) return fail("internal disaster");
      // An operator after a run applies to its last character alone.
      if (length > 1 && is_repeat(regparse[length])) --length;
      *flags = RX_HAS_WIDTH | (length == 1 ? RX_SIMPLE : 0);
      first = node(RX_LITERAL);
      for (; length > 0; --length) byte(static_cast<unsigned char>(*regparse++));
      byte('\0');
      return first;
    }
  }
}

// The set after "[" up to and including its "]".
unsigned char *Compiler::set(int *flags) {
  unsigned char *first;
  if (*regparse == '^') {
    first = node(RX_ANY_BUT);
    ++regparse;
  } else {
    first = node(RX_ANY_OF);
  }
  if (*regparse == ']' || *regparse == '-') byte(static_cast<unsigned char>(*regparse++));
  while (*regparse != '\0' && *regparse != ']') {
    if (*regparse != '-') {
      byte(static_cast<unsigned char>(*regparse++));
      continue;
    }
    ++regparse;
    if (*regparse == ']' || *regparse == '\0') {
      byte('-');
      continue;
    }
    // The range starts from the character before the "-", which the
    // first-member rule guarantees lies inside the set.
    int low = static_cast<unsigned char>(regparse[-2]) + 1;
    int high = static_cast<unsigned char>(regparse[0]);
    if (low > high + 1) return fail("invalid [] range");
    for (; low <= high; ++low) byte(low);
    ++regparse;
  }
  byte('\0');
  if (*regparse != ']') return fail("unmatched []");
  ++regparse;
  *flags = RX_HAS_WIDTH | RX_SIMPLE;
  return first;
}

// Fills first_char, anchored and required from the finished program.
void set_hints(zk_regexp *expression, int flags) {
  expression->first_char = '\0';
  expression->anchored = 0;
  expression->required = nullptr;
  expression->required_len = 0;

  unsigned char *scan = expression->program + 1;
  unsigned char *after = node_next(scan);
  if (!after || node_op(after) != RX_END) return;  // more than one branch
  scan = node_operand(scan);
  if (node_op(scan) == RX_LITERAL)
    expression->first_char = *node_text(scan);
  else if (node_op(scan) == RX_LINE_START)
    expression->anchored = 1;

  if (!(flags & RX_STARTS_REPEAT)) return;
  const char *longest = nullptr;
  std::size_t longest_length = 0;
  for (; scan; scan = node_next(scan)) {
    if (node_op(scan) != RX_LITERAL) continue;
    std::size_t length = std::strlen(node_text(scan));
    if (length >= longest_length) {
      longest = node_text(scan);
      longest_length = length;
    }
  }
  expression->required = const_cast<char *>(longest);
  expression->required_len = static_cast<int>(longest_length);
}

}  // namespace
}  // namespace hestrel::text::regexp

extern "C" zk_regexp *zk_regcomp(const char *pattern) {
  using namespace hestrel::text::regexp;
  if (!pattern) {
    zk_regerror("NULL argument");
    return nullptr;
  }

  int flags = 0;
  Compiler sizing(pattern, nullptr);
  if (!sizing.reg(false, &flags)) return nullptr;
  std::size_t size = sizing.size();
  if (size >= max_program_size) {
    zk_regerror("regexp too big");
    return nullptr;
  }

  auto *expression = static_cast<zk_regexp *>(std::malloc(offsetof(zk_regexp, program) + size));
  if (!expression) {
    zk_regerror("out of space");
    return nullptr;
  }
  std::memset(expression, 0, offsetof(zk_regexp, program));
  expression->program[0] = RX_MAGIC;
  Compiler writing(pattern, expression->program + 1);
  if (!writing.reg(false, &flags) || static_cast<std::size_t>(writing.position() - expression->program) != size) {
    std::free(expression);
    return nullptr;
  }
  set_hints(expression, flags);
  return expression;
}
