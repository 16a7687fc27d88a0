// Glob patterns: each token of a list translated into an anchored regular
// expression, compiled once, and matched by prefix against strings.
#include "zktoken_glob.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "errors/internal/boundary.hpp"
#include "text/internal/token_table.hpp"
#include "zk_regexp.h"
#include "zkerr.h"

namespace hestrel::text::tokens {
namespace {

// The expression of one pattern, "^" included, must fit a buffer of this
// many characters with its NUL.
constexpr std::size_t kExpressionBuffer = 10000;

// The length of the set that opens at c, through its closing "]", read as
// the expression compiler reads it: a "]" first (after an optional "^") is a
// member. 0 when no "]" closes it, and then the "[" is not a set.
std::size_t set_length(const char *c) {
  const char *member = c + 1;
  if (*member == '^') ++member;
  if (*member == ']') ++member;
  const char *close = std::strchr(member, ']');
  return close ? static_cast<std::size_t>(close - c) + 1 : 0;
}

// Translates one glob token; false when the expression would not fit.
bool translate(const char *glob, std::string &expr) {
  expr.assign("^");
  for (const char *c = glob; *c; ++c) {
    // A set's characters are the set's members, passed as they stand: a "."
    // or "*" there is that character, and a backslash added there would be
    // a member too, since the compiler takes it literally inside a set.
    if (*c == '[') {
      if (std::size_t length = set_length(c)) {
        expr.append(c, length);
        c += length - 1;
        if (expr.size() >= kExpressionBuffer) return false;
        continue;
      }
    }
    switch (*c) {
      case '*':
        expr += ".*";
        while (c[1] == ' ') ++c;
        break;
      case '?':
        expr += '.';
        break;
      case '.':
        expr += "\\.";
        break;
      case '#':
        expr += "[0-9]";
        break;
      case '\\':
        if (c[1] && std::strchr("#()+[]", c[1])) {
          expr += '\\';
          expr += *++c;
        } else {
          expr += "\\\\";  // the next character is translated on its own
        }
        break;
      default:
        expr += *c;
        break;
    }
    if (expr.size() >= kExpressionBuffer) return false;
  }
  return true;
}

void free_patterns(token_tag &t) {
  for (int i = 0; i < t.n_regex; ++i) std::free(t.regex[i]);
  std::free(t.regex);
  t.regex = nullptr;
  t.n_regex = 0;
}

}  // namespace
}  // namespace hestrel::text::tokens

using hestrel::text::tokens::token_tag;

extern "C" int zktoken_regex_compile(int handle) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    using namespace hestrel::text::tokens;
    token_tag *t = lookup(handle);
    if (!t) {
      zkerr_throw(-1, ZKERR_WARNING, "zktoken_regex_compile(): bad tok index = %d \n", handle);
      return -1;
    }
    free_patterns(*t);
    if (t->count == 0) return 0;
    // The expression buffer first: once the pattern array is had, nothing
    // can throw and leave compiled patterns the list does not count.
    std::string expr;
    expr.reserve(kExpressionBuffer);
    void *array = allocate_zeroed(sizeof(zk_regexp *) * static_cast<std::size_t>(t->count));
    if (!array) {
      zkerr_throw(-1, ZKERR_FATAL, "zktoken_regex_compile(): can't allocate pattern array \n");
      return -1;
    }
    t->regex = static_cast<zk_regexp **>(array);
    for (int i = 0; i < t->count; ++i) {
      if (!translate(t->tokens[i], expr)) {
        // The expression would overrun its fixed buffer: no pattern, and say so.
        zkerr_throw(-1, ZKERR_WARNING,
                    "zktoken_regex_compile(): token %d does not fit in %d characters as an expression \n", i,
                    static_cast<int>(kExpressionBuffer - 1));
        continue;
      }
      t->regex[i] = zk_regcomp(expr.c_str());
    }
    t->n_regex = t->count;
    return 0;
  });
}

extern "C" int zktoken_regex_index(int handle, const char *string) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    token_tag *t = hestrel::text::tokens::lookup(handle);
    if (!t) {
      zkerr_throw(-1, ZKERR_WARNING, "zktoken_regex_index():bad tok index = %d\n", handle);
      return -1;
    }
    if (t->n_regex != t->count) {
      zkerr_throw(-1, ZKERR_WARNING, "%s", "zktoken_regex_index(): not enough regular expressions\n");
      zkerr_throw(-1, ZKERR_WARNING, "%s", "                      : call zktoken_regex_compile() first\n");
      return -1;
    }
    for (int i = 0; i < t->n_regex; ++i)
      if (zk_regexec(t->regex[i], string) == 1) return i;
    return -1;
  });
}
