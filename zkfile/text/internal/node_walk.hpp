// The one walk along a chain of nodes, shared by the matcher's search, its
// walk-free paths and the width of fixed programs, and the simple-node tests.
#ifndef HESTREL_TEXT_NODE_WALK_HPP
#define HESTREL_TEXT_NODE_WALK_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "regexp_engine.hpp"
#include "zk_regexp.h"

namespace hestrel::text::regexp {

// Whether c is one of the set's characters; never true for the NUL.
inline bool in_set(const char *set, char c) {
  for (; *set; ++set)
    if (*set == c) return true;
  return false;
}

// Whether any byte of the word equals the byte that fills every byte of
// pattern.
inline bool has_byte(std::uint64_t word, std::uint64_t pattern) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  std::uint64_t x = word ^ pattern;
  return ((x - ones) & ~x & (ones << 7)) != 0;
}

// A set node whose successor starts right after the set's NUL, as the
// compiler lays it out, spans its header, the set and the NUL; sets of one
// to two words of members are then tested a word at a time.
constexpr std::size_t set_word = sizeof(std::uint64_t);
constexpr std::size_t packed_set_overhead = node_header_size + 1;

// in_set for the set of a node.
inline bool in_set_node(const unsigned char *node, char c) {
  const char *set = node_text(node);
  const std::size_t span = node_offset(node);
  if (span < packed_set_overhead + set_word) return in_set(set, c);
  const std::size_t length = span - packed_set_overhead;
  if (length > 2 * set_word || set[length] != '\0') return in_set(set, c);
  std::uint64_t low, high;
  std::memcpy(&low, set, set_word);
  std::memcpy(&high, set + length - set_word, set_word);
  if (has_byte(low, 0) || has_byte(high, 0)) return in_set(set, c);  // a NUL inside: not laid out so
  std::uint64_t pattern = 0x0101010101010101ull * static_cast<unsigned char>(c);
  return has_byte(low, pattern) || has_byte(high, pattern);
}

// A table of 256 bits, one per byte.
struct ByteTable {
  std::uint64_t bits[4];
  bool has(unsigned char c) const { return (bits[c >> 6] >> (c & 63)) & 1; }
  // Adds the bytes from low to high.
  void add_range(unsigned low, unsigned high) {
    for (unsigned word = low >> 6; word <= high >> 6; ++word) {
      const unsigned from = word == low >> 6 ? low & 63 : 0;
      const unsigned to = word == high >> 6 ? high & 63 : 63;
      bits[word] |= (~std::uint64_t{0} >> (63 - to)) & (~std::uint64_t{0} << from);
    }
  }
};

// Whether the nine bytes from s are consecutive, each one above the last.
inline bool consecutive_word(const unsigned char *s) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  std::uint64_t word, next;
  std::memcpy(&word, s, set_word);
  std::memcpy(&next, s + 1, set_word);
  return !has_byte(word, ~std::uint64_t{0}) && next - word == ones;  // no 0xFF, so no carry
}

// The table of the characters an RX_ANY_OF or RX_ANY_BUT node matches, the
// NUL outside it. Sets come from ranges, so members are added a run of
// consecutive bytes at a time, found a word at a time where the node is
// laid out as the compiler lays it, spanning span bytes up to the next node
// ([A-Za-z]+ at the start of a file name: 50 ns a name with a bit per
// member, 35 ns by runs of words).
inline ByteTable set_table(const unsigned char *node, std::size_t span) {
  ByteTable table{{0, 0, 0, 0}};
  const auto *s = reinterpret_cast<const unsigned char *>(node_text(node));
  // Words are read no further than the set's NUL.
  const unsigned char *limit = span > packed_set_overhead && node[span - 1] == 0 ? node + span - 1 : s;
  while (*s) {
    const unsigned low = *s;
    while (s + set_word <= limit && consecutive_word(s)) s += set_word;
    while (s[1] != 0 && s[1] == s[0] + 1) ++s;
    table.add_range(low, *s++);
  }
  if (node_op(node) == RX_ANY_BUT) {
    for (std::uint64_t &word : table.bits) word = ~word;
    table.bits[0] &= ~std::uint64_t{1};
  }
  return table;
}

// Where a run of the characters in table from at ends.
inline const char *run_end(const ByteTable &table, const char *at) {
  while (table.has(static_cast<unsigned char>(*at))) ++at;
  return at;
}

// The bytes a repetition's operand spans: up to the repetition's successor,
// which follows the operand; 0 when unknown.
inline std::size_t operand_span(const unsigned char *repetition) {
  const std::size_t offset = node_offset(repetition);
  return offset > node_header_size ? offset - node_header_size : 0;
}

// Where one run of a repetition's simple operand from at ends: the first
// character it does not match.
inline const char *run_end(const unsigned char *repetition, const char *at) {
  const unsigned char *node = node_operand(repetition);
  const char *set = node_text(node);
  switch (node_op(node)) {
    case RX_ANY:
      return at + std::strlen(at);
    case RX_LITERAL:
      while (*at != '\0' && *at == *set) ++at;
      return at;
    default:
      // RX_ANY_OF or RX_ANY_BUT: one test per character against a table.
      return run_end(set_table(node, operand_span(repetition)), at);
  }
}

// Whether the simple node matches the character at at (false for any
// other node).
inline bool matches_once(const unsigned char *node, const char *at) {
  const char c = *at;
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

// Whether a repetition may try its successor with the cursor at cursor:
// the character there must start a following literal.
inline bool may_follow(const unsigned char *next, const char *cursor) {
  return !next || node_op(next) != RX_LITERAL || *cursor == *node_text(next);
}

// A position in a subject, and how each node that needs no choice tests
// and moves it; the walk's default.
struct SubjectCursor {
  const char *bol;  // start of the subject
  const char *at;

  bool line_start() const { return at == bol; }
  bool line_end() const { return *at == '\0'; }
  bool any() { return *at != '\0' && step(); }
  bool any_of(const unsigned char *node) { return in_set_node(node, *at) && step(); }  // the NUL is in no set
  bool any_but(const unsigned char *node) { return *at != '\0' && !in_set_node(node, *at) && step(); }
  bool step() {
    ++at;
    return true;
  }
  bool literal(const char *text) {
    const char *p = at;
    do {
      if (*p != *text) return false;
      ++p;
    } while (*++text);
    at = p;
    return true;
  }
};

// Where a walk along a chain stopped.
enum class Stop : unsigned char {
  matched,      // RX_END: the program ran to its end
  mismatch,     // a node did not match at the cursor
  choice,       // an RX_ALT of several alternatives
  repetition,   // RX_STAR or RX_PLUS
  group_open,   // RX_OPEN + n
  group_close,  // RX_CLOSE + n
  bad_opcode,   // a value no node has
  broken_link,  // a node that goes on has no successor
};

struct Stopped {
  Stop why;
  const unsigned char *node;  // the node the walk stopped at
};

// Walks the chain from node while its nodes need no choice: each is tested
// through the cursor, a choice of one leads into its own chain, and the walk
// stops at the end of the program, a mismatch, or a node that needs more
// than a walk (a true choice, a repetition, a group boundary) or is broken.
// Cursor is SubjectCursor or any type with its members.
template <typename Cursor>
inline __attribute__((always_inline)) Stopped walk_chain(const unsigned char *node, Cursor &cursor) {
  for (;;) {
    const unsigned char op = node_op(node);
    switch (op) {
      case RX_END:
        return {Stop::matched, node};
      case RX_LINE_START:
        if (!cursor.line_start()) return {Stop::mismatch, node};
        break;
      case RX_LINE_END:
        if (!cursor.line_end()) return {Stop::mismatch, node};
        break;
      case RX_ANY:
        if (!cursor.any()) return {Stop::mismatch, node};
        break;
      case RX_ANY_OF:
        if (!cursor.any_of(node)) return {Stop::mismatch, node};
        break;
      case RX_ANY_BUT:
        if (!cursor.any_but(node)) return {Stop::mismatch, node};
        break;
      case RX_LITERAL:
        if (!cursor.literal(node_text(node))) return {Stop::mismatch, node};
        break;
      case RX_EMPTY:
        break;
      case RX_LOOP:
        if (node_offset(node) == 0) return {Stop::broken_link, node};
        node -= node_offset(node);
        continue;
      case RX_ALT:
        if (is_true_choice(node)) return {Stop::choice, node};
        node = node_operand(node);
        continue;
      case RX_STAR:
      case RX_PLUS:
        return {Stop::repetition, node};
      default:
        if (is_group_open(op)) return {Stop::group_open, node};
        if (is_group_close(op)) return {Stop::group_close, node};
        return {Stop::bad_opcode, node};
    }
    // Every node that goes on here leads forward.
    const unsigned offset = node_offset(node);
    if (offset == 0) return {Stop::broken_link, node};
    node += offset;
  }
}

}  // namespace hestrel::text::regexp

#endif
