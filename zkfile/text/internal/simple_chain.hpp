// The matcher's walk-free paths: tests of one simple node, and whole chains
// of simple nodes with at most one repetition, answered without recursion.
#ifndef HESTREL_TEXT_SIMPLE_CHAIN_HPP
#define HESTREL_TEXT_SIMPLE_CHAIN_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "internal/regexp_engine.hpp"
#include "zk_regexp.h"

namespace hestrel::text::regexp {
// Local to the matcher, the one file that includes this: calls stay direct.
namespace {

// Whether c is one of the set's characters; never true for the NUL.
bool in_set(const char *set, char c) {
  for (; *set; ++set)
    if (*set == c) return true;
  return false;
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

// A repetition of a simple chain that failed from its start to the end of
// its run: entered again inside that run by a later attempt, it only has
// fewer of the same positions to try.
struct FailedRun {
  const unsigned char *node = nullptr;
  const char *from = nullptr;
  const char *to = nullptr;
};

// A chain of simple nodes matched from at without a call of its own, and
// with repeat also one repetition whose successors are such a chain: 1 when
// it runs to RX_END (the cursor then ends the match), 0 when it fails, -1
// when it holds a true choice, a group, a second repetition or a broken
// link, which only the full walk may judge. Nothing here can reach the
// depth bound or raise a report, so the answer is the full walk's.
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

}  // namespace
}  // namespace hestrel::text::regexp

#endif
