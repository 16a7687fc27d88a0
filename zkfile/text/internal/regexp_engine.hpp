// What the expression compiler and matcher share: the node layout and its
// accessors, parse flags, the common error report, and the search's bound.
#ifndef HESTREL_TEXT_REGEXP_ENGINE_HPP
#define HESTREL_TEXT_REGEXP_ENGINE_HPP

#include <cstddef>

#include "zk_regexp.h"

namespace hestrel::text::regexp {

// Parse flags of atoms, pieces, branches and expressions.
constexpr int RX_HAS_WIDTH = 1;      // never matches the empty string
constexpr int RX_SIMPLE = 2;         // one character, one simple node
constexpr int RX_STARTS_REPEAT = 4;  // begins with a piece under "*" or "?"

// Layout of a node: the opcode byte, then the distance to its successor in
// two bytes, high byte first, then the operand.
constexpr std::size_t node_offset_high = 1;
constexpr std::size_t node_offset_low = 2;
constexpr std::size_t node_header_size = 3;  // the operand starts here
// Programs stay below this many bytes (the magic byte included), so every
// successor distance fits its two bytes.
constexpr std::size_t max_program_size = 32767;

// Raises "Error in regular expression: <message> \n" at FATAL on handle -1;
// the caller then fails.
void zk_regerror(const char *message);

inline unsigned char node_op(const unsigned char *node) { return node[0]; }
inline unsigned node_offset(const unsigned char *node) {
  return (static_cast<unsigned>(node[node_offset_high]) << 8) | node[node_offset_low];
}
inline unsigned char *node_operand(unsigned char *node) { return node + node_header_size; }
inline const unsigned char *node_operand(const unsigned char *node) { return node + node_header_size; }
inline const char *node_text(const unsigned char *node) {
  return reinterpret_cast<const char *>(node + node_header_size);
}
// The node's successor, or null when its offset is 0.
inline unsigned char *node_next(unsigned char *node) {
  unsigned offset = node_offset(node);
  if (offset == 0) return nullptr;
  return node_op(node) == RX_LOOP ? node - offset : node + offset;
}
inline const unsigned char *node_next(const unsigned char *node) {
  return node_next(const_cast<unsigned char *>(node));
}

// Kinds of opcode.
inline bool is_simple(unsigned char op) {
  return op == RX_ANY || op == RX_ANY_OF || op == RX_ANY_BUT || op == RX_LITERAL;
}
inline bool is_repetition(unsigned char op) { return op == RX_STAR || op == RX_PLUS; }
inline bool is_group_open(unsigned char op) { return op > RX_OPEN && op < RX_OPEN + ZK_NSUBEXP; }
inline bool is_group_close(unsigned char op) { return op > RX_CLOSE && op < RX_CLOSE + ZK_NSUBEXP; }
// Whether an RX_ALT is one of several alternatives: its successor is the
// next one. A choice of one is only the way into its own chain.
inline bool is_true_choice(const unsigned char *alternative) {
  const unsigned char *next = node_next(alternative);
  return next && node_op(next) == RX_ALT;
}

// The matcher's search keeps one choice point per level of its nesting
// (group boundaries, true choices, repetition back-off), on the heap. What
// those may take in memory bounds the search, not a fixed depth: 32 MiB
// lets a repeated group run over some hundred thousand characters, far more
// than any file name or token holds, and a runaway search still ends.
constexpr std::size_t max_choice_memory = std::size_t{32} << 20;
// The size of one choice point (held to it where it is defined).
constexpr std::size_t choice_point_size = 112;
// The nesting whose choice points fill that memory: beyond it a search is
// abandoned as not decided.
constexpr unsigned max_match_depth = max_choice_memory / choice_point_size;

}  // namespace hestrel::text::regexp

#endif
