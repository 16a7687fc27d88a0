// The sets of first and second characters: every way into the program up
// to the node that consumes a character, and on from there to the next.
#include "text/internal/first_chars.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "text/internal/node_walk.hpp"
#include "text/internal/regexp_engine.hpp"

namespace hestrel::text::regexp {
namespace {

// Ways into file-name patterns are a handful; a program with more, or a
// longer walk, is searched at every position.
constexpr std::size_t max_pending = 32;
constexpr unsigned max_steps = 256;

// The table in wide stores: a string instruction, which memset becomes
// here (GCC makes one of the loop too unless told not to), costs more to
// start than a search of a short name (ns a file name with the string
// instruction, and without: [Ss]ky|[Dd]ark|[Ff]lat 64 and 49,
// (backup|tmp|old) 71 and 54, (\.bak|~)$ 63 and 47).
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-loop-distribute-patterns")))
#endif
void clear(FirstChars &set) {
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  for (unsigned i = 0; i < sizeof set.stops; i += 16) _mm_store_si128(reinterpret_cast<__m128i *>(set.stops + i), zero);
#else
  std::memset(set.stops, 0, sizeof set.stops);
#endif
  set.stops[0] = FirstChars::first_bit | FirstChars::end_bit;  // the NUL stops every scan
  set.at_start = false;
  set.anywhere = false;
  set.any_second = false;
}

class FirstWalk {
 public:
  explicit FirstWalk(FirstChars &set) : set_(set) { clear(set_); }

  void run(const unsigned char *program) {
    pending_[count_++] = {program, 0};
    while (count_ > 0 && !set_.anywhere) {
      const Way way = pending_[--count_];
      follow(way.node, way.place);
    }
  }

 private:
  // A way into the program still to follow, and which byte of a match its
  // next consuming node decides: 0 the first, 1 the second.
  struct Way {
    const unsigned char *node;
    unsigned place;
  };

  void add(unsigned char c, unsigned place) { set_.stops[c] |= bit(place); }
  static unsigned char bit(unsigned place) { return place == 0 ? FirstChars::first_bit : FirstChars::second_bit; }

  // The characters one simple node may consume, as the byte at place.
  bool add_simple(const unsigned char *node, unsigned place) {
    const auto *set = reinterpret_cast<const unsigned char *>(node_text(node));
    const unsigned char b = bit(place);
    switch (node_op(node)) {
      case RX_ANY:
        for (unsigned c = 1; c < 256; ++c) set_.stops[c] |= b;
        return true;
      case RX_LITERAL:
        if (set[0] == '\0') return false;
        add(set[0], place);
        return true;
      case RX_ANY_OF:
        for (; *set; ++set) add(*set, place);
        return true;
      case RX_ANY_BUT: {
        unsigned char members[256] = {};
        for (; *set; ++set) members[*set] = 1;
        for (unsigned c = 1; c < 256; ++c)
          if (!members[c]) set_.stops[c] |= b;
        return true;
      }
      default:
        return false;
    }
  }

  void push(const unsigned char *node, unsigned place) {
    if (count_ == max_pending) {
      set_.anywhere = true;
      return;
    }
    pending_[count_++] = {node, place};
  }

  // After the first byte of a way was consumed by node, the way on to the
  // second; a literal of two or more characters gives it at once.
  void second_after(const unsigned char *node) {
    if (set_.any_second) return;
    if (node_op(node) == RX_LITERAL && node_text(node)[0] != '\0' && node_text(node)[1] != '\0') {
      add(static_cast<unsigned char>(node_text(node)[1]), 1);
      return;
    }
    push(node_next(node), 1);
  }

  // One way in from node, to the first node that consumes or decides.
  void follow(const unsigned char *node, unsigned place) {
    for (;;) {
      if (++steps_ > max_steps || !node) {
        set_.anywhere = true;
        return;
      }
      if (place == 1 && set_.any_second) return;
      const unsigned char op = node_op(node);
      switch (op) {
        case RX_LINE_START:
          // The rest matters only at the start, which is tried anyway; after
          // a first byte it never matches.
          if (place == 0) set_.at_start = true;
          return;
        case RX_LINE_END:
          if (place == 0) {
            set_.anywhere = true;  // a match of no character, at the end
          } else {
            set_.stops[0] |= FirstChars::second_bit;
          }
          return;
        case RX_END:
          if (place == 0)
            set_.anywhere = true;  // the empty match
          else
            set_.any_second = true;  // a match of one byte
          return;
        case RX_ANY:
        case RX_ANY_OF:
        case RX_ANY_BUT:
        case RX_LITERAL:
          if (!add_simple(node, place)) {
            set_.anywhere = true;
          } else if (place == 0) {
            second_after(node);
          }
          return;
        case RX_PLUS:
        case RX_STAR:
          if (!add_simple(node_operand(node), place)) {
            set_.anywhere = true;
            return;
          }
          // What follows a first repeated byte is left open.
          if (place == 0) set_.any_second = true;
          if (op == RX_PLUS) return;
          break;  // or none of it
        case RX_ALT:
          if (is_true_choice(node)) push(node_next(node), place);
          node = node_operand(node);
          continue;
        case RX_EMPTY:
        case RX_LOOP:
          break;
        default:
          // A node of no known kind is left to the search to report.
          if (!is_group_open(op) && !is_group_close(op)) {
            set_.anywhere = true;
            return;
          }
      }
      node = node_next(node);
    }
  }

  FirstChars &set_;
  Way pending_[max_pending];
  std::size_t count_ = 0;
  unsigned steps_ = 0;
};

}  // namespace

namespace {

// The second byte of a way whose first node first consumes one byte: what
// the node after it, past group ends, consumes first, or the end of the
// subject; false when that is not a literal or a set.
bool quick_second(const unsigned char *first, FirstChars &set) {
  const unsigned char *node = node_next(first);
  for (int i = 0; node && i < 4 && (is_group_close(node_op(node)) || node_op(node) == RX_EMPTY); ++i)
    node = node_next(node);
  if (!node) return false;
  const auto *text = reinterpret_cast<const unsigned char *>(node_text(node));
  switch (node_op(node)) {
    case RX_LITERAL:
      if (text[0] == '\0') return false;
      set.stops[text[0]] |= FirstChars::second_bit;
      return true;
    case RX_ANY_OF:
      for (; *text; ++text) set.stops[*text] |= FirstChars::second_bit;
      return true;
    case RX_LINE_END:
      set.stops[0] |= FirstChars::second_bit;
      return true;
    default:
      return false;
  }
}

// One alternative that begins with a literal or a set.
bool quick_way(const unsigned char *first, FirstChars &set) {
  const auto *text = reinterpret_cast<const unsigned char *>(node_text(first));
  switch (node_op(first)) {
    case RX_LITERAL:
      if (text[0] == '\0') return false;
      set.stops[text[0]] |= FirstChars::first_bit;
      if (text[1] == '\0') return quick_second(first, set);
      set.stops[text[1]] |= FirstChars::second_bit;
      return true;
    case RX_ANY_OF:
      for (; *text; ++text) set.stops[*text] |= FirstChars::first_bit;
      return quick_second(first, set);
    default:
      return false;
  }
}

// The sets of the commonest unanchored filters, a choice of words or of
// sets followed by words, at the start or inside groups, without the
// general walk ([Ss]ky|[Dd]ark|[Ff]lat on file names: 947 instructions a
// name with the sets made by the walk, 740 this way); false for any other
// program, whose sets the walk makes.
bool quick_first_chars(const unsigned char *program, FirstChars &set) {
  const unsigned char *node = program;
  for (int i = 0; i < 4; ++i) {
    if (node_op(node) == RX_ALT && !is_true_choice(node)) {
      node = node_operand(node);
    } else if (is_group_open(node_op(node)) && node_offset(node) != 0) {
      node = node_next(node);
    } else {
      break;
    }
  }
  if (node_op(node) != RX_ALT || !is_true_choice(node)) return false;
  clear(set);
  for (; node && node_op(node) == RX_ALT; node = node_next(node))
    if (!quick_way(node_operand(node), set)) return false;
  return true;
}

}  // namespace

void first_chars(const unsigned char *program, FirstChars &set) {
  if (!quick_first_chars(program, set)) FirstWalk(set).run(program);
}

const char *mandatory_literal(const unsigned char *program) {
  if (node_op(program) != RX_ALT || is_true_choice(program)) return nullptr;
  const char *best = nullptr;
  std::size_t best_length = 0;
  const unsigned char *node = node_operand(program);
  for (unsigned steps = 0; steps < max_steps; ++steps) {
    const unsigned char op = node_op(node);
    if (op == RX_END) return best;
    if (op == RX_LITERAL) {
      const std::size_t length = std::strlen(node_text(node));
      if (length >= best_length) {
        best = node_text(node);
        best_length = length;
      }
    } else if (op > RX_PLUS && !is_group_open(op) && !is_group_close(op)) {
      return nullptr;
    } else if (op == RX_LOOP) {
      return nullptr;  // not on a chain the compiler makes
    }
    // An RX_ALT leads to the next alternative, or past the choice; a
    // repetition past its operand.
    node = node_next(node);
    if (!node) return nullptr;
  }
  return nullptr;
}

}  // namespace hestrel::text::regexp
