// Number classification: integer, real or neither, judged on the whole text
// with locale-independent parsers so the answer never depends on the host.
#include "zk_number.h"

#include <charconv>
#include <cstring>
#include <system_error>

#include "absl/strings/charconv.h"
#include "text/internal/number_text.hpp"

namespace hestrel::text {

const char *number_body(const char *string) { return string[0] == '+' ? string + 1 : string; }

bool parse_int(const char *string, int &value) {
  const char *first = number_body(string);
  const char *last = first + std::strlen(first);
  int parsed = 0;
  std::from_chars_result r = std::from_chars(first, last, parsed, 10);
  if (r.ec != std::errc() || r.ptr != last) return false;
  value = parsed;
  return true;
}

bool parse_double(const char *string, double &value) {
  const char *first = number_body(string);
  const char *last = first + std::strlen(first);
  if (first == last) return false;
  // Given "0x" in general format, Abseil reads a hexadecimal float; only
  // decimal notation counts as a real number here.
  const char *digits = first[0] == '-' ? first + 1 : first;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return false;
  double parsed = 0;
  absl::from_chars_result r = absl::from_chars(first, last, parsed, absl::chars_format::general);
  if (r.ec != std::errc() || r.ptr != last) return false;
  value = parsed;
  return true;
}

}  // namespace hestrel::text

extern "C" int zk_number_type(const char *string) {
  if (!string) return ZK_NUMBER_OTHER;
  int i = 0;
  if (hestrel::text::parse_int(string, i)) return ZK_NUMBER_INTEGER;
  double d = 0;
  if (hestrel::text::parse_double(string, d)) return ZK_NUMBER_REAL;
  return ZK_NUMBER_OTHER;
}
