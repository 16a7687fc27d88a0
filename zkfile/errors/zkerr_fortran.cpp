// Fortran-callable twins of the error-handler functions: arguments by
// reference, fixed-length character variables, status in a trailing ierr.
#include <cstring>

#include "errors/internal/handler_table.hpp"
#include "zkerr.h"

namespace hestrel::errors {
namespace {

constexpr std::size_t prefix_length = 20;
constexpr std::size_t message_length = 80;
constexpr std::size_t code_length = 20;

bool is_blank(char c) { return c == ' ' || c == '\0'; }

}  // namespace
}  // namespace hestrel::errors

using namespace hestrel::errors;

extern "C" {

void zkerrf_new_(int *handle, int *ierr) { *ierr = zkerr_new(handle); }

void zkerrf_delete_(int *handle) { zkerr_delete(*handle); }

// Trailing blanks go, save one that separates the prefix from the level's
// name. At most 19 characters are read, and no more than the caller's hidden
// length, into a buffer of our own: a constant or a shorter variable is
// never written to. A text blank in all of 1 to 19 gives an empty prefix.
void zkerrf_prefix_(int *handle, const char *prefix, int *ierr, std::size_t prefix_len) {
  char text[prefix_length] = {};
  std::size_t n = prefix_len < prefix_length - 1 ? prefix_len : prefix_length - 1;
  std::memcpy(text, prefix, n);
  if (is_blank(text[prefix_length - 2])) {
    std::size_t last = prefix_length - 2;  // index of position 19
    while (last > 0 && is_blank(text[last - 1])) --last;
    if (last == 0) {
      *ierr = zkerr_prefix(*handle, "");
      return;
    }
    // text[last - 1] is the last non-blank; keep one blank after it.
    text[last + 1] = '\0';
  }
  *ierr = zkerr_prefix(*handle, text);
}

void zkerrf_level_(int *handle, int *level, int *ierr) {
  *ierr = zkerr_level(*handle, static_cast<unsigned int>(*level));
}

void zkerrf_get_level_(int *handle, int *level, int *ierr) {
  unsigned int value = 0;
  *ierr = zkerr_get_level(*handle, &value);
  if (*ierr) *level = static_cast<int>(value);
}

void zkerrf_maxlevel_(int *handle, int *level, int *ierr) {
  unsigned int value = 0;
  *ierr = zkerr_maxlevel(*handle, &value);
  if (*ierr) *level = static_cast<int>(value);
}

// The message is its first 79 characters, and no more than the caller's
// hidden length, read into a buffer of our own, so a constant is fine. It is
// a format with no arguments: "%%" prints one '%'. A message with any other
// conversion is printed as it stands, since formatting it would read
// arguments that were never passed.
void zkerrf_throw_(int *handle, int *level, const char *message, int *ierr, std::size_t message_len) {
  char text[message_length];
  std::size_t limit = message_len < message_length - 1 ? message_len : message_length - 1;
  std::size_t length = 0;
  while (length < limit && message[length] != '\0') {
    text[length] = message[length];
    ++length;
  }
  text[length] = '\0';
  char collapsed[message_length];
  std::size_t out = 0;
  bool only_doubled = true;
  for (std::size_t i = 0; text[i] != '\0'; ++i) {
    if (text[i] == '%') {
      if (text[i + 1] != '%') {
        only_doubled = false;
        break;
      }
      ++i;
    }
    collapsed[out++] = text[i];
  }
  collapsed[out] = '\0';
  thrown_from_fortran = 1;
  *ierr = zkerr_throw(*handle, static_cast<unsigned int>(*level), "%s", only_doubled ? collapsed : text);
  thrown_from_fortran = 0;
}

void zkerrf_return_code_(int *level, char *text, std::size_t text_len) {
  const char *code = zkerr_return_code(static_cast<unsigned int>(*level));
  std::size_t room = text_len < code_length ? text_len : code_length;
  std::size_t n = std::strlen(code);
  if (n > room) n = room;
  std::memcpy(text, code, n);
  std::memset(text + n, ' ', room - n);
}

void zkerrf_file_(int *handle, int *unit, int *ierr) {
  handler_tag *h = lookup(*handle);
  if (!h) {
    *ierr = 0;
    return;
  }
  if (*unit >= 0) {
    h->destination.unit = *unit;
    h->output_mode = 2;
  } else {
    // No output; no unit number is left where a stream would be read.
    h->destination.stream = nullptr;
    h->output_mode = 0;
  }
  *ierr = 1;
}

}  // extern "C"
