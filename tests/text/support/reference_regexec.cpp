// Reference matcher: the pattern parsed into branches of pieces, then a
// recursive backtracker that carries what is left to match as a chain of
// continuations. Slow on purpose-built patterns, and plain everywhere.
#include "reference_regexec.hpp"

#include <bitset>
#include <cstddef>
#include <vector>

namespace regex_test {
namespace {

constexpr int unbounded = -1;
constexpr int max_groups = 9;
constexpr int max_depth = 5000;  // a few frames per level, each well under 200 bytes

struct Piece;
using Branch = std::vector<Piece>;

// One atom and how often it may repeat.
struct Piece {
  enum Kind { character, line_start, line_end, group } kind = character;
  std::bitset<256> members;      // character: the bytes it matches
  int number = 0;                // group: 1 to 9
  std::vector<Branch> branches;  // group: its alternatives
  int min = 1, max = 1;
};

// The dialect: branches split by "|"; pieces are an atom with an optional
// "*", "+" or "?"; atoms are "^", "$", ".", a set, a group, "\" and any
// character, or any other character. Errors carry the compiler's messages.
class Parser {
 public:
  explicit Parser(const char *pattern) : at_(pattern) {}

  bool parse(std::vector<Branch> &top) {
    bool width = false;
    if (!expression(top, width)) return false;
    return *at_ == '\0' || fail("unmatched ()");  // the branches stop only at NUL or ")"
  }
  const std::string &error() const { return error_; }

 private:
  bool fail(const char *message) {
    error_ = message;
    return false;
  }
  // width: the expression never matches the empty string.
  bool expression(std::vector<Branch> &branches, bool &width) {
    width = true;
    for (;;) {
      branches.emplace_back();
      bool branch_width = false;
      while (*at_ != '\0' && *at_ != '|' && *at_ != ')') {
        bool piece_width = false;
        if (!piece(branches.back(), piece_width)) return false;
        branch_width = branch_width || piece_width;
      }
      width = width && branch_width;
      if (*at_ != '|') return true;
      ++at_;
    }
  }
  static bool is_repeat(char c) { return c == '*' || c == '+' || c == '?'; }

  bool piece(Branch &branch, bool &width) {
    Piece p;
    if (!atom(p, width)) return false;
    const char op = *at_;
    if (!is_repeat(op)) {
      branch.push_back(std::move(p));
      return true;
    }
    if (!width && op != '?') return fail("*+ operand could be empty");
    p.min = op == '+' ? 1 : 0;
    p.max = op == '?' ? 1 : unbounded;
    width = op == '+';
    if (is_repeat(*++at_)) return fail("nested *?+");
    branch.push_back(std::move(p));
    return true;
  }

  bool atom(Piece &p, bool &width) {
    width = true;
    const char c = *at_++;
    switch (c) {
      case '^':
      case '$':
        p.kind = c == '^' ? Piece::line_start : Piece::line_end;
        width = false;
        return true;
      case '.':
        p.members.set();
        p.members.reset(0);
        return true;
      case '[':
        return set(p);
      case '(':
        if (next_group_ > max_groups) return fail("too many ()");
        p.kind = Piece::group;
        p.number = next_group_++;
        if (!expression(p.branches, width)) return false;
        if (*at_ != ')') return fail("unmatched ()");
        ++at_;
        return true;
      case '*':
      case '+':
      case '?':
        return fail("?+* follows nothing");
      case '\\':
        if (*at_ == '\0') return fail("trailing \\");
        p.members.set(static_cast<unsigned char>(*at_++));
        return true;
      default:
        p.members.set(static_cast<unsigned char>(c));
        return true;
    }
  }

  // After "[": an optional "^"; a "]" or "-" first is a member; "a-z" is a
  // range from the character before the "-"; a "-" before "]" is a member.
  bool set(Piece &p) {
    const bool complement = *at_ == '^';
    if (complement) ++at_;
    if (*at_ == ']' || *at_ == '-') p.members.set(static_cast<unsigned char>(*at_++));
    while (*at_ != '\0' && *at_ != ']') {
      const unsigned char c = static_cast<unsigned char>(*at_++);
      if (c != '-' || *at_ == ']' || *at_ == '\0') {
        p.members.set(c);
        continue;
      }
      const unsigned char low = static_cast<unsigned char>(at_[-2]), high = static_cast<unsigned char>(*at_++);
      if (high < low) return fail("invalid [] range");
      for (unsigned m = low; m <= high; ++m) p.members.set(m);
    }
    if (*at_ != ']') return fail("unmatched []");
    ++at_;
    if (complement) p.members.flip();
    p.members.reset(0);
    return true;
  }

  const char *at_;
  int next_group_ = 1;
  std::string error_;
};

// What is left to match once the current piece has matched: the rest of a
// branch, the end of a group, or one more pass of a repeated piece.
struct Rest {
  enum Kind { pieces, close, again } kind;
  const Branch *branch;  // pieces, again
  std::size_t index;     // pieces: the next piece; again: the repeated one
  int done;              // again: passes made so far
  int number;            // close: the group
  const Rest *up;        // then this; none: the match is complete
};

class Matcher {
 public:
  Matcher(const char *subject, long budget) : subject_(subject), steps_left_(budget) {}

  // One attempt at position at; entries hold the bounds after a match.
  bool attempt(const std::vector<Branch> &top, const char *at) {
    for (int i = 0; i < reference_entries; ++i) start_[i] = end_[i] = nullptr;
    for (const Branch &b : top) {
      if (pieces(b, 0, nullptr, at)) {
        start_[0] = at;
        return true;
      }
      if (gave_up_) return false;
    }
    return false;
  }
  bool gave_up() const { return gave_up_; }
  long offset(const char *p) const { return p ? p - subject_ : -1; }
  const char *start_[reference_entries];
  const char *end_[reference_entries];

 private:
  bool pieces(const Branch &b, std::size_t i, const Rest *up, const char *at) {
    return i == b.size() ? rest(up, at) : repeat(b, i, 0, up, at);
  }

  bool rest(const Rest *r, const char *at) {
    if (!r) {
      end_[0] = at;
      return true;
    }
    if (r->kind == Rest::pieces) return pieces(*r->branch, r->index, r->up, at);
    if (r->kind == Rest::again) return repeat(*r->branch, r->index, r->done, r->up, at);
    const char *saved = end_[r->number];
    end_[r->number] = at;
    if (rest(r->up, at)) return true;
    end_[r->number] = saved;
    return false;
  }

  // Greedy: one more pass while one is allowed, then what follows the piece.
  bool repeat(const Branch &b, std::size_t i, int done, const Rest *up, const char *at) {
    const Piece &p = b[i];
    const Rest after{Rest::pieces, &b, i + 1, 0, 0, up};
    if (p.min == 1 && p.max == 1) return once(p, &after, at);
    if (p.max == unbounded || done < p.max) {
      const Rest again{Rest::again, &b, i, done + 1, 0, up};
      if (once(p, &again, at)) return true;
    }
    return done >= p.min && pieces(b, i + 1, up, at);
  }

  // Every pass of the search goes through here, so here it is counted.
  bool once(const Piece &p, const Rest *next, const char *at) {
    if (gave_up_ || --steps_left_ < 0 || depth_ > max_depth) {
      gave_up_ = true;
      return false;
    }
    ++depth_;
    const bool matched = atom(p, next, at);
    --depth_;
    return matched;
  }

  bool atom(const Piece &p, const Rest *next, const char *at) {
    const unsigned char c = static_cast<unsigned char>(*at);
    switch (p.kind) {
      case Piece::character:
        return c != '\0' && p.members.test(c) && rest(next, at + 1);
      case Piece::line_start:
        return at == subject_ && rest(next, at);
      case Piece::line_end:
        return c == '\0' && rest(next, at);
      case Piece::group:
        break;
    }
    const Rest close{Rest::close, nullptr, 0, 0, p.number, next};
    const char *saved = start_[p.number];
    for (const Branch &b : p.branches) {
      start_[p.number] = at;
      if (pieces(b, 0, &close, at)) return true;
      if (gave_up_) break;
    }
    start_[p.number] = saved;
    return false;
  }

  const char *subject_;
  long steps_left_;
  int depth_ = 0;
  bool gave_up_ = false;
};

}  // namespace

ReferenceResult reference_match(const std::string &pattern, const char *subject, long budget) {
  ReferenceResult result;
  std::vector<Branch> top;
  Parser parser(pattern.c_str());
  if (!parser.parse(top)) {
    result.outcome = ReferenceResult::bad_pattern;
    result.error = parser.error();
    return result;
  }
  Matcher m(subject, budget);
  const char *at = subject;
  do {
    if (m.attempt(top, at)) {
      result.outcome = ReferenceResult::match;
      for (int i = 0; i < reference_entries; ++i) {
        result.start[i] = m.offset(m.start_[i]);
        result.end[i] = m.offset(m.end_[i]);
      }
      return result;
    }
    if (m.gave_up()) {
      result.outcome = ReferenceResult::undecided;
      return result;
    }
  } while (*at++ != '\0');
  return result;
}

}  // namespace regex_test
