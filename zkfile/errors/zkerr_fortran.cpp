// Fortran-callable twins of the error-handler functions: arguments by
// reference, fixed-length character variables, status in a trailing ierr.
#include <cstring>
#include <string>

#include "internal/handler_table.hpp"
#include "zkerr.h"

namespace {

constexpr int prefix_length = 20;
constexpr int message_length = 80;
constexpr int level_text_length = 20;

bool is_blank(char c) { return c == ' ' || c == '\0'; }

}  // namespace

extern "C" {

void zkerrf_new_(int *handle, int *ierr) { *ierr = zkerr_new(handle); }

void zkerrf_delete_(int *handle) { zkerr_delete(*handle); }

void zkerrf_prefix_(int *handle, char *prefix, int *ierr) {
  prefix[prefix_length - 1] = '\0';
  if (is_blank(prefix[18])) {
    int p = 17;  // 0-based index of position 18
    while (p >= 0 && is_blank(prefix[p])) --p;
    // Blanks only: no prefix. Otherwise keep one blank after the text, which
    // then separates it from the level's name.
    prefix[p < 0 ? 0 : p + 2] = '\0';
  }
  *ierr = zkerr_prefix(*handle, prefix);
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

void zkerrf_throw_(int *handle, int *level, char *message, int *ierr) {
  message[message_length - 1] = '\0';
  // The message is a format whose only conversion may be "%%". Anything else
  // would read arguments that were never passed, so such a message is
  // printed as it stands.
  std::string text;
  bool plain = true;
  for (const char *c = message; *c; ++c) {
    if (*c != '%') {
      text += *c;
    } else if (c[1] == '%') {
      text += '%';
      ++c;
    } else {
      plain = false;
      break;
    }
  }
  hestrel::errors::thrown_from_fortran = 1;
  *ierr = zkerr_throw(*handle, static_cast<unsigned int>(*level), "%s", plain ? text.c_str() : message);
  hestrel::errors::thrown_from_fortran = 0;
}

void zkerrf_return_code_(int *level, char *text) {
  const char *code = zkerr_return_code(static_cast<unsigned int>(*level));
  std::strncpy(text, code, level_text_length);
  if (text[level_text_length - 1] == '\0')
    for (int i = level_text_length - 1; i >= 0 && text[i] == '\0'; --i) text[i] = ' ';
}

void zkerrf_file_(int *handle, int *unit, int *ierr) {
  hestrel::errors::handler_tag *h = hestrel::errors::lookup(*handle);
  if (!h) {
    *ierr = 0;
    return;
  }
  h->destination.unit = *unit;
  h->output_mode = *unit >= 0 ? 2 : 0;
  *ierr = 1;
}

}  // extern "C"
