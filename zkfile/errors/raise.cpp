// Raising a message: count the level, filter by the threshold, format behind
// the prefix and level name, and send it along the handler's routes.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "errors/internal/handler_table.hpp"
#include "errors/internal/python_stderr.hpp"
#include "zkerr.h"
#include "zkerr.hpp"

namespace hestrel::errors {
namespace {

bool write_to_stream(handler_tag &h, int handle, const char *message) {
  FILE *stream = h.destination.stream;
  // Output mode 1 without a stream writes nothing rather than crash.
  if (!stream) return true;
  if (handle == -1 && stream == stderr && pelmoravine::vardel::RedirectZkerrToPythonStderr::m_count != 0 &&
      python_is_initialized()) {
    python_write_stderr(message, thrown_from_fortran != 0);
    return true;
  }
  if (std::fputs(message, stream) == EOF) return false;
  if (thrown_from_fortran && std::fputs("\n", stream) == EOF) return false;
  return true;
}

bool collect(handler_tag &h, const char *message, std::size_t length) {
  std::size_t held = h.messages ? std::strlen(h.messages) : 0;
  char *grown = static_cast<char *>(std::realloc(h.messages, held + length + 1));
  if (!grown) {
    std::free(h.messages);
    h.messages = nullptr;
    return false;
  }
  std::memcpy(grown + held, message, length + 1);
  h.messages = grown;
  return true;
}

}  // namespace
}  // namespace hestrel::errors

namespace pelmoravine::vardel {
std::int64_t RedirectZkerrToPythonStderr::m_count = 0;
}

namespace hestrel::errors {
namespace {

// A raise that passed the threshold: format behind the prefix and the
// level's name, then send it along the handler's routes. Out of line, so
// that a dropped raise never pays for the message buffer.
__attribute__((noinline)) int emit(handler_tag *h, int handle, unsigned int level, const char *format, va_list args) {
  char message[message_buffer_size];
  int header = std::snprintf(message, sizeof message, "%s%s ", h->prefix ? h->prefix : "", level_name(level));
  std::size_t used = header < 0 ? 0 : static_cast<std::size_t>(header);
  if (used >= sizeof message) used = sizeof message - 1;
  if (format) std::vsnprintf(message + used, sizeof message - used, format, args);
  std::size_t length = std::strlen(message);

  if (!h->suppress_print) {
    if (h->output_mode == 1) {
      if (!write_to_stream(*h, handle, message)) return 0;
    } else if (h->output_mode == 2) {
      int unit = h->destination.unit;
      int count = static_cast<int>(length);
      fprint_line_(&unit, message, &count, length);
    }
    // The callback may make or delete handlers; look the record up again
    // afterwards rather than trusting it across the call.
    if (h->window && h->window(message) == -1) return 0;
    h = lookup(handle);
    if (!h) return 1;
  }
  if (h->save && !collect(*h, message, length)) return 0;
  return 1;
}

// The whole decision a raise makes before anything is formatted: the
// record to send the message on, or none and the raise's result (0 for a
// handle that names no handler, 1 for a message below the threshold). The
// level is counted before the threshold is compared, so a dropped message
// still counts. Inline, so a dropped raise ends in its entry.
struct decision {
  handler_tag *record;
  int result;
};

inline decision decide(int handle, unsigned int level) {
  handler_tag *h = lookup(handle);
  if (__builtin_expect(h == nullptr, 0)) return {nullptr, 0};
  if (level <= 6 && level > h->maxlevel) h->maxlevel = level;
  if (level < h->level) return {nullptr, 1};
  return {h, 1};
}

}  // namespace
}  // namespace hestrel::errors

extern "C" {

int zkerr_vthrow(int handle, unsigned int level, const char *format, va_list args) {
  const hestrel::errors::decision d = hestrel::errors::decide(handle, level);
  if (!d.record) return d.result;
  return hestrel::errors::emit(d.record, handle, level, format, args);
}

// The argument list is only started for a message that passes: a dropped
// raise costs the lookup, the count and the compare.
int zkerr_throw(int handle, unsigned int level, const char *format, ...) {
  const hestrel::errors::decision d = hestrel::errors::decide(handle, level);
  if (!d.record) return d.result;
  va_list args;
  va_start(args, format);
  const int result = hestrel::errors::emit(d.record, handle, level, format, args);
  va_end(args);
  return result;
}

}  // extern "C"
