// The line tokenizer: one left-to-right pass over a line that turns it into
// a new token list by separators, pairs, comment, escape and special sets.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "errors/internal/boundary.hpp"
#include "text/internal/token_table.hpp"
#include "zkerr.h"
#include "zktoken.h"

namespace hestrel::text::tokens {
namespace {

// What a byte of the line is, one bit per set it belongs to.
enum : unsigned char {
  is_comment = 1,
  is_escape = 2,
  is_opener = 4,
  is_separator = 8,
  is_special = 16,
};

// The sets of one call as a table per byte, built once per line, so that
// each character costs one lookup instead of a search of every set.
struct ByteClasses {
  unsigned char of[256];
  char closer[256];  // for an opener: the closer of the first pair it opens

  ByteClasses(const char *separators, const char *pairs, std::size_t pair_chars, const char *comments,
              const char *escapes, const char *specials) {
    std::memset(of, 0, sizeof of);
    mark(separators, is_separator);
    mark(comments, is_comment);
    mark(escapes, is_escape);
    mark(specials, is_special);
    // From the last pair to the first, so that the first pair an opener
    // starts decides its closer.
    for (std::size_t i = pair_chars; i >= 2; i -= 2) {
      auto opener = static_cast<unsigned char>(pairs[i - 2]);
      of[opener] |= is_opener;
      closer[opener] = pairs[i - 1];
    }
  }
  void mark(const char *set, unsigned char bit) {
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(set); *c; ++c) of[*c] |= bit;
  }
  unsigned char operator[](char c) const { return of[static_cast<unsigned char>(c)]; }
};

// The token being collected: a slice of the line while its characters stand
// together there, else a copy in a buffer kept from call to call.
class Pending {
 public:
  explicit Pending(std::string &buffer) : buffer_(buffer) {}
  bool empty() const { return length_ == 0 && !copied_; }
  std::size_t size() const { return copied_ ? buffer_.size() : length_; }
  void clear() {
    length_ = 0;
    copied_ = false;
  }
  // Adds the n characters at from, which lie in the line.
  void add(const char *from, std::size_t n) {
    if (!copied_) {
      if (length_ == 0) start_ = from;
      if (start_ + length_ == from) {
        length_ += n;
        return;
      }
      buffer_.assign(start_, length_);
      copied_ = true;
    }
    buffer_.append(from, n);
  }
  // A new malloc'd string of exactly the token, or nullptr.
  char *take() const {
    std::size_t n = size();
    char *token = static_cast<char *>(allocate(n + 1));
    if (!token) return nullptr;
    if (n) std::memcpy(token, copied_ ? buffer_.data() : start_, n);
    token[n] = '\0';
    return token;
  }

 private:
  std::string &buffer_;
  const char *start_ = nullptr;
  std::size_t length_ = 0;
  bool copied_ = false;
};

// Collects the tokens of a non-empty line into list t. Stops at a comment
// or when a token cannot be allocated (reported); a token the list cannot
// take is reported there and the next one is still tried.
void tokenize(token_tag &t, const char *line, const ByteClasses &classes) {
  static std::string buffer;  // the tokenizer serves one caller at a time
  const std::size_t length = std::strlen(line);
  std::size_t pos = 0;
  Pending pending(buffer);

  auto skip_separators = [&] {
    while (pos < length && (classes[line[pos]] & is_separator)) ++pos;
  };
  // Gives the pending token to the list; false when it could not be made.
  auto give = [&]() -> bool {
    char *token = pending.take();
    pending.clear();
    if (!token) {
      zkerr_throw(-1, ZKERR_FATAL, "zktoken_new(): failed to allocate memory for the token.\n");
      return false;
    }
    append_owned(t, token);
    return true;
  };

  while (pos < length) {
    char c = line[pos];
    unsigned char cls = classes[c];
    if (cls == 0) {
      // A run of ordinary characters joins the token at once.
      std::size_t end = pos + 1;
      while (end < length && classes[line[end]] == 0) ++end;
      pending.add(line + pos, end - pos);
      pos = end;
      continue;
    }
    if (cls & is_comment) return;  // the token it stands in is lost
    if (cls & is_escape) {
      if (++pos >= length) break;
      pending.add(line + pos, 1);
      ++pos;
      continue;
    }
    if (cls & is_opener) {
      char closer = classes.closer[static_cast<unsigned char>(c)];
      std::size_t from = ++pos;
      const void *found = std::memchr(line + from, closer, length - from);
      std::size_t end = found ? static_cast<std::size_t>(static_cast<const char *>(found) - line) : length;
      if (end > from) pending.add(line + from, end - from);
      if (found) {
        pos = end + 1;
        skip_separators();
      } else {
        pos = length;
        zkerr_throw(-1, ZKERR_WARNING, " zktoken_new(), unmatched separator pair %c <-> %c in input: %s \n", c, closer,
                    line);
      }
      if (!give()) return;  // a pair gives its token even when it is empty
      continue;
    }
    if (cls & is_separator) {
      skip_separators();
      if (!pending.empty() && !give()) return;
      continue;
    }
    // A special character ends the pending token and is one of its own.
    if (!pending.empty() && !give()) return;
    pending.add(line + pos, 1);
    ++pos;
    if (!give()) return;
  }
  if (!pending.empty()) give();
}

}  // namespace
}  // namespace hestrel::text::tokens

extern "C" int zktoken_new(int *handle, const char *line, const char *separators, const char *pairs,
                           const char *comments, const char *escapes, const char *specials) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    namespace tk = hestrel::text::tokens;
    if (!handle) return -1;
    int list = tk::new_list();
    *handle = list;
    if (list < 0) return -1;
    if (!line || line[0] == '\0') return 0;

    if (!separators) separators = " ,\t";
    if (!pairs) pairs = "";
    if (!comments) comments = "";
    if (!escapes) escapes = "";
    if (!specials) specials = "";
    std::size_t pair_chars = std::strlen(pairs);
    if (pair_chars % 2 != 0) {
      zkerr_throw(-1, ZKERR_FATAL, "zktoken_new(): an even number of pair separators must supplied\n");
      return 0;
    }
    try {
      const tk::ByteClasses classes(separators, pairs, pair_chars, comments, escapes, specials);
      tk::tokenize(*tk::lookup(list), line, classes);
    } catch (const std::bad_alloc &) {
      // Only the buffer of a token that does not lie together in the line can
      // throw; the list keeps what it has.
      zkerr_throw(-1, ZKERR_FATAL, "zktoken_new(): failed to allocate memory for the token.\n");
    }
    return 0;
  });
}
