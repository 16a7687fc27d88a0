// The reporting route and error handle shared by the file services, and
// the one rule by which they join a directory and a name.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "errors/internal/boundary.hpp"
#include "zkerr.h"
#include "zkfile/internal/report.hpp"

extern "C" {

int errHand_zkfile = -1;

void failure(const char *format, ...) {
  if (!format) return;
  // Callers report errno after the warning; raising must not change it.
  const int saved_errno = errno;
  va_list args;
  va_start(args, format);
  hestrel::call_c(__func__, [&] {
    // The message is formatted into storage of its own size rather than a
    // path-sized buffer, so a long path in it is neither cut nor overrun.
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, again);
    va_end(again);
    if (length < 0) return;
    try {
      std::vector<char> text(static_cast<std::size_t>(length) + 1);
      va_copy(again, args);
      std::vsnprintf(text.data(), text.size(), format, again);
      va_end(again);
      zkerr_throw(errHand_zkfile, ZKERR_WARNING, "%s", text.data());
    } catch (...) {
      zkerr_throw(errHand_zkfile, ZKERR_WARNING, "%s", format);
    }
  });
  va_end(args);
  errno = saved_errno;
}

}  // extern "C"

namespace hestrel::zkfile {

std::string join(const std::string &dir, const std::string &name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + '/' + name;
}

}  // namespace hestrel::zkfile
