// The set of first characters: every way into the program up to the node
// that consumes a character, in the order the matcher tries them.
#include "internal/first_chars.hpp"

#include <cstddef>
#include <cstring>

#include "internal/node_walk.hpp"
#include "internal/regexp_engine.hpp"

namespace hestrel::text::regexp {
namespace {

// Ways into file-name patterns are a handful; a program with more, or a
// longer walk, is searched at every position.
constexpr std::size_t max_pending = 32;
constexpr unsigned max_steps = 256;

class FirstWalk {
 public:
  explicit FirstWalk(FirstChars &set) : set_(set) {
    std::memset(set_.stops, 0, sizeof set_.stops);
    set_.stops[0] = 1;  // the NUL stops every scan
    set_.at_start = false;
    set_.anywhere = false;
  }

  void run(const unsigned char *program) {
    pending_[count_++] = program;
    while (count_ > 0 && !set_.anywhere) follow(pending_[--count_]);
  }

 private:
  void add(unsigned char c) { set_.stops[c] = 1; }

  // The characters one repetition's operand, a simple node, may consume.
  bool add_simple(const unsigned char *node) {
    const auto *set = reinterpret_cast<const unsigned char *>(node_text(node));
    switch (node_op(node)) {
      case RX_ANY:
        std::memset(set_.stops, 1, sizeof set_.stops);
        return true;
      case RX_LITERAL:
        if (set[0] == '\0') return false;
        add(set[0]);
        return true;
      case RX_ANY_OF:
        for (; *set; ++set) add(*set);
        return true;
      case RX_ANY_BUT: {
        unsigned char members[256] = {};
        for (; *set; ++set) members[*set] = 1;
        for (unsigned c = 1; c < 256; ++c) set_.stops[c] |= members[c] ^ 1;
        return true;
      }
      default:
        return false;
    }
  }

  void push(const unsigned char *node) {
    if (count_ == max_pending) {
      set_.anywhere = true;
      return;
    }
    pending_[count_++] = node;
  }

  // One way in from node, to the first node that consumes or decides.
  void follow(const unsigned char *node) {
    for (;;) {
      if (++steps_ > max_steps || !node) {
        set_.anywhere = true;
        return;
      }
      const unsigned char op = node_op(node);
      switch (op) {
        case RX_LINE_START:
          set_.at_start = true;  // the rest matters only at the start, which is tried anyway
          return;
        case RX_ANY:
        case RX_ANY_OF:
        case RX_ANY_BUT:
        case RX_LITERAL:
        case RX_PLUS:
          if (!add_simple(op == RX_PLUS ? node_operand(node) : node)) set_.anywhere = true;
          return;
        case RX_STAR:
          if (!add_simple(node_operand(node))) {
            set_.anywhere = true;
            return;
          }
          break;  // or none of it
        case RX_ALT:
          if (is_true_choice(node)) push(node_next(node));
          node = node_operand(node);
          continue;
        case RX_EMPTY:
        case RX_LOOP:
          break;
        default:
          // RX_END and RX_LINE_END match without a character, and a node
          // of no known kind is left to the search to report.
          if (!is_group_open(op) && !is_group_close(op)) {
            set_.anywhere = true;
            return;
          }
      }
      node = node_next(node);
    }
  }

  FirstChars &set_;
  const unsigned char *pending_[max_pending];
  std::size_t count_ = 0;
  unsigned steps_ = 0;
};

}  // namespace

void first_chars(const unsigned char *program, FirstChars &set) { FirstWalk(set).run(program); }

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
