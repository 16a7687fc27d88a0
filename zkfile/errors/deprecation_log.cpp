// The deprecation log: one report per call site and process, through the
// deprecation handler (handle 0), when the environment asks for reports.
#include <cstdarg>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>

#include <absl/container/flat_hash_set.h>

#include "errors/internal/handler_table.hpp"
#include "zkerr.h"

namespace hestrel::errors {
namespace {

// A call site is the address of the compiler's file-name text and the line;
// two copies of one name in different objects count as two sites.
using call_site = std::pair<const char *, int>;

// Never destroyed: a deprecated entry point called from a static
// destructor at exit still finds the set.
absl::flat_hash_set<call_site> &reported_sites() {
  static auto *sites = new absl::flat_hash_set<call_site>();
  return *sites;
}

// The names become part of the raise's format: a '%' in them must print as
// itself instead of reading an argument that is not there.
void append_literal(std::string &out, const char *name) {
  if (!name) name = "(null)";
  for (const char *c = name; *c; ++c) {
    out += *c;
    if (*c == '%') out += '%';
  }
}

}  // namespace
}  // namespace hestrel::errors

extern "C" int zklog_deprecation_warning(const char *file, int line, const char *function, const char *format, ...) {
  using namespace hestrel::errors;
  static const bool deprecation_enabled = std::getenv("PELMORAVINE_DEPRECATION_WARNING") != nullptr;
  if (!deprecation_enabled) return 1;
  // Output off (ZkerrSuppressDeprecation): the site is not recorded, so it
  // reports once output is on again.
  if (lookup(0)->output_mode == 0) return 1;
  try {
    if (!reported_sites().insert(call_site(file, line)).second) return 1;
    std::string composed = "DEPRECATION for ";
    append_literal(composed, function);
    composed += " (";
    append_literal(composed, file);
    composed += ':';
    composed += std::to_string(line);
    composed += "): ";
    if (format) composed += format;
    va_list args;
    va_start(args, format);
    zkerr_vthrow(0, 4, composed.c_str(), args);
    va_end(args);
  } catch (const std::bad_alloc &) {
    // No memory for the report: the log never fails its caller.
  }
  return 1;
}
