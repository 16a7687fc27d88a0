// The once-per-call-site deprecation log, written through handle 0 only when
// the user asked for it in the environment.
#include <cstdarg>
#include <cstdlib>
#include <string>
#include <utility>

#include "absl/container/flat_hash_set.h"
#include "internal/handler_table.hpp"
#include "zkerr.h"

namespace {

using call_site = std::pair<const char *, int>;

bool deprecation_enabled() {
  static const bool enabled = std::getenv("PELMORAVINE_DEPRECATION_WARNING") != nullptr;
  return enabled;
}

absl::flat_hash_set<call_site> &deprecation_message_ids() {
  static auto *ids = new absl::flat_hash_set<call_site>();
  return *ids;
}

// The names become part of a format: a '%' in them must print as itself.
void append_literal(std::string &format, const char *text) {
  for (const char *c = text ? text : "(null)"; *c; ++c) {
    format += *c;
    if (*c == '%') format += '%';
  }
}

}  // namespace

extern "C" int zklog_deprecation_warning(const char *file, int line, const char *function,
                                         const char *format, ...) {
  if (!deprecation_enabled()) return 1;
  if (hestrel::errors::lookup(0)->output_mode == 0) return 1;
  if (!deprecation_message_ids().insert(call_site(file, line)).second) return 1;

  std::string composed = "DEPRECATION for ";
  append_literal(composed, function);
  composed += " (";
  append_literal(composed, file);
  composed += ":" + std::to_string(line) + "): ";
  composed += format ? format : "";

  va_list args;
  va_start(args, format);
  zkerr_vthrow(0, 4, composed.c_str(), args);
  va_end(args);
  return 1;
}
