// The line tokenizer: one left-to-right pass over a line that turns it into
// a new token list by separators, pairs, comment, escape and special sets.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "internal/token_table.hpp"
#include "zkerr.h"
#include "zktoken.h"
#include "errors/internal/boundary.hpp"

namespace hestrel::text::tokens {
namespace {

// The position in the line being tokenized; replaced by each new line.
std::string stored_line;
std::size_t current_pos = 0;
std::size_t current_length = 0;

bool holds(const char *set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; }

void skip_separators(const char *separators) {
  while (current_pos < current_length && holds(separators, stored_line[current_pos])) ++current_pos;
}

// The next token of the line as a new malloc'd string, or nullptr when the
// line has no more (or a problem ended it). line starts a new line; every
// set is a non-NULL string (the defaults applied).
char *mystrtok(const char *line, const char *separators, const char *pairs, const char *comments,
               const char *escapes, const char *specials) {
  if (line) {
    stored_line = line;
    current_pos = 0;
    current_length = stored_line.size();
  }
  if (current_pos >= current_length) return nullptr;

  // Room for the rest of the line: no token is longer.
  char *token = static_cast<char *>(allocate_zeroed(current_length - current_pos + 1));
  if (!token) {
    zkerr_throw(-1, ZKERR_FATAL, "zktoken_new(): failed to allocate memory for the token.\n");
    return nullptr;
  }
  std::size_t pair_chars = std::strlen(pairs);
  if (pair_chars % 2 != 0) {
    zkerr_throw(-1, ZKERR_FATAL, "zktoken_new(): an even number of pair separators must supplied\n");
    std::free(token);
    return nullptr;
  }

  const char *text = stored_line.c_str();
  std::size_t n = 0;
  while (current_pos < current_length) {
    char c = text[current_pos];
    if (holds(comments, c)) {
      current_pos = current_length;
      std::free(token);
      return nullptr;
    }
    if (holds(escapes, c)) {
      ++current_pos;
      if (current_pos >= current_length) break;
      token[n++] = text[current_pos++];
      continue;
    }
    std::size_t pair = 0;
    while (pair < pair_chars && pairs[pair] != c) pair += 2;
    if (pair < pair_chars) {
      char closer = pairs[pair + 1];
      ++current_pos;
      while (current_pos < current_length && text[current_pos] != closer) token[n++] = text[current_pos++];
      if (current_pos < current_length) {
        ++current_pos;
        skip_separators(separators);
      } else {
        zkerr_throw(-1, ZKERR_WARNING, " zktoken_new(), unmatched separator pair %c <-> %c in input: %s \n", c,
                    closer, text);
      }
      return token;
    }
    if (holds(separators, c)) {
      skip_separators(separators);
      if (n > 0) return token;
      continue;
    }
    if (holds(specials, c)) {
      if (n > 0) return token;
      ++current_pos;
      token[0] = c;
      return token;
    }
    token[n++] = c;
    ++current_pos;
  }
  if (n > 0) return token;
  std::free(token);
  return nullptr;
}

}  // namespace
}  // namespace hestrel::text::tokens

extern "C" int zktoken_new(int *handle, const char *line, const char *separators, const char *pairs,
                           const char *comments, const char *escapes, const char *specials) try {
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
  try {
    for (char *token = tk::mystrtok(line, separators, pairs, comments, escapes, specials); token;
         token = tk::mystrtok(nullptr, separators, pairs, comments, escapes, specials)) {
      zktoken_add(list, token);
      std::free(token);
    }
  } catch (const std::bad_alloc &) {
    // Only the copy of the line can throw; the list keeps what it has.
    zkerr_throw(-1, ZKERR_FATAL, "zktoken_new(): failed to allocate memory for the token.\n");
  }
  return 0;
} catch (...) {
  return hestrel::failed(__func__, -1);
}
