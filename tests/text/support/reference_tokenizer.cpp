// The tokenizer as it was before its one-pass rewrite (a step per token, sets
// searched with strchr), kept only as the reference of its differential test.
#include "reference_tokenizer.hpp"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zkerr.h"

namespace token_test {
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
char *mystrtok(const char *line, const char *separators, const char *pairs, const char *comments, const char *escapes,
               const char *specials) {
  if (line) {
    stored_line = line;
    current_pos = 0;
    current_length = stored_line.size();
  }
  if (current_pos >= current_length) return nullptr;

  // Room for the rest of the line: no token is longer.
  char *token = static_cast<char *>(std::calloc(current_length - current_pos + 1, 1));
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
        zkerr_throw(-1, ZKERR_WARNING, " zktoken_new(), unmatched separator pair %c <-> %c in input: %s \n", c, closer,
                    text);
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

std::vector<std::string> reference_tokens(const char *line, const char *separators, const char *pairs,
                                          const char *comments, const char *escapes, const char *specials) {
  std::vector<std::string> tokens;
  for (char *token = mystrtok(line, separators, pairs, comments, escapes, specials); token;
       token = mystrtok(nullptr, separators, pairs, comments, escapes, specials)) {
    tokens.emplace_back(token);
    std::free(token);
  }
  return tokens;
}

}  // namespace token_test
