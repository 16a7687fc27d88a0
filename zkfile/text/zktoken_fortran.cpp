// Fortran-callable twins of the token-list, tokenizer and glob functions:
// integers by reference, NUL-terminated text passed through as it is.
#include <cstddef>
#include <cstring>

#include "zkerr.h"
#include "zktoken.h"
#include "zktoken_fortran.h"
#include "zktoken_glob.h"

namespace {

// The most a token copy writes into the caller's buffer.
constexpr std::size_t kTokenBuffer = 255;

}  // namespace

extern "C" {

int zktokenf_initialize_(void) { return 0; }

void zktokenf_terminate_(void) {}

int zktokenf_new_(int *handle, const char *line, const char *separators, const char *pairs, const char *comments,
                  const char *escapes, const char *specials) {
  return zktoken_new(handle, line, separators, pairs, comments, escapes, specials);
}

int zktokenf_delete_(const int *handle) { return zktoken_delete(*handle); }

int zktokenf_delete_token_(const int *handle, const int *index) { return zktoken_delete_token(*handle, *index); }

int zktokenf_clear_(const int *handle) { return zktoken_clear(*handle); }

int zktokenf_copy_(const int *dest, const int *source) { return zktoken_copy(*dest, *source); }

int zktokenf_merge_(const int *dest, const int *source) { return zktoken_merge(*dest, *source); }

int zktokenf_copyn_(const int *dest, const int *source, const int *width, const int *left_justify, const int *offset) {
  return zktoken_copyn(*dest, *source, *width, *left_justify, *offset);
}

int zktokenf_mergen_(const int *dest, const int *source, const int *width, const int *left_justify, const int *offset) {
  return zktoken_mergen(*dest, *source, *width, *left_justify, *offset);
}

int zktokenf_add_(const int *handle, const char *string) { return zktoken_add(*handle, string); }

int zktokenf_addn_(const int *handle, const char *string, const int *width, const int *left_justify,
                   const int *offset) {
  return zktoken_addn(*handle, string, *width, *left_justify, *offset);
}

int zktokenf_replace_(const int *handle, const int *index, const char *string) {
  return zktoken_replace(*handle, *index, string);
}

char *zktokenf_get_string_(const int *handle) { return zktoken_get_string(*handle); }

int zktokenf_num_(const int *handle) { return zktoken_num(*handle); }

// Copies the token as strncpy does with a limit of 255: a shorter token is
// followed by NULs up to the 255th position, one of exactly 255 fills them
// all with no NUL. The buffer, as long as the length a Fortran caller passes
// after the declared arguments shows, is never written past, and a token is
// never cut into a different one: a token that does not fit the smaller of
// 255 and that length is refused with a WARNING and the buffer left empty. With no token (bad handle or index,
// already reported) the buffer is likewise left empty.
void zktokenf_get_token_(const int *handle, const int *index, char *buffer, std::size_t buffer_length) {
  const std::size_t limit = buffer_length < kTokenBuffer ? buffer_length : kTokenBuffer;
  const char *token = zktoken_get_token(*handle, *index);
  if (token) {
    std::size_t length = strnlen(token, limit + 1);
    if (length <= limit) {
      std::strncpy(buffer, token, limit);
      return;
    }
    zkerr_throw(-1, ZKERR_WARNING, "zktokenf_get_token(): token %d of %d characters does not fit in %d \n", *index,
                static_cast<int>(std::strlen(token)), static_cast<int>(limit));
  }
  std::memset(buffer, 0, limit);
}

int zktokenf_find_type_(const int *handle, const int *index) { return zktoken_find_type(*handle, *index); }

int zktokenf_get_int_(const int *handle, const int *index, int *value) {
  return zktoken_get_int(*handle, *index, value);
}

int zktokenf_get_double_(const int *handle, const int *index, double *value) {
  return zktoken_get_double(*handle, *index, value);
}

int zktokenf_regex_compile_(const int *handle) { return zktoken_regex_compile(*handle); }

// The one twin without the trailing underscore.
int zktokenf_regex_index(const int *handle, const char *string) { return zktoken_regex_index(*handle, string); }

int zktokenf_index_(const int *handle, const char *string) { return zktoken_index(*handle, string); }

int zktokenf_indexn_(const int *handle, const char *string, const int *n) {
  return zktoken_indexn(*handle, string, *n);
}

void zktokenf_toupper_(const int *handle) { zktoken_toupper(*handle); }

void zktokenf_tolower_token_(const int *handle, const int *index) { zktoken_tolower_token(*handle, *index); }

}  // extern "C"
