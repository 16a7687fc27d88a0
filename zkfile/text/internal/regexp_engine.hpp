// What the expression compiler and matcher share: node access, parse flags,
// the common error report, and the matcher's safety bounds.
#ifndef HESTREL_TEXT_REGEXP_ENGINE_HPP
#define HESTREL_TEXT_REGEXP_ENGINE_HPP

#include <cstddef>

#include "zk_regexp.h"

namespace hestrel::text::regexp {

// Parse flags of atoms, pieces, branches and expressions.
constexpr int RX_HAS_WIDTH = 1;     // never matches the empty string
constexpr int RX_SIMPLE = 2;        // one character, one simple node
constexpr int RX_STARTS_REPEAT = 4; // begins with a piece under "*" or "?"

// Raises "Error in regular expression: <message> \n" at FATAL on handle -1;
// the caller then fails.
void zk_regerror(const char *message);

inline unsigned char node_op(const unsigned char *node) { return node[0]; }
inline unsigned node_offset(const unsigned char *node) {
  return (static_cast<unsigned>(node[1]) << 8) | node[2];
}
inline unsigned char *node_operand(unsigned char *node) { return node + 3; }
inline const char *node_text(const unsigned char *node) {
  return reinterpret_cast<const char *>(node + 3);
}
// The node's successor, or null when its offset is 0.
inline unsigned char *node_next(unsigned char *node) {
  unsigned offset = node_offset(node);
  if (offset == 0) return nullptr;
  return node_op(node) == RX_LOOP ? node - offset : node + offset;
}

// Nesting of the matcher's recursion (group boundaries, true choices,
// repetition back-off) beyond which a match is abandoned as failed.
constexpr unsigned max_match_depth = 2000;

// The fuzzing bound, internal to the library (the fuzz targets link its
// objects); 0, no bound, is the library's own behaviour. When not 0, a match that takes more node steps than this is abandoned
// as failed with a FATAL report (the fuzzer bounds backtracking time).
extern unsigned long regexec_step_limit;

}  // namespace hestrel::text::regexp

#endif
