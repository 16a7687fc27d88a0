// Number and text formatting that neither allocates nor locks, for use in
// signal handlers.
#include <cmath>

#include "signal_handler.hpp"

namespace pelmoravine {

char *safe_format(char *out, const char *text) {
  while (*text) *out++ = *text++;
  return out;
}

char *safe_format(char *out, long long value, int min_digits) {
  char *start = out;
  // Work on the magnitude as unsigned so the most negative value is exact.
  unsigned long long magnitude =
      value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  int digits = 0;
  do {
    *out++ = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
    ++digits;
  } while (magnitude != 0);
  while (digits < min_digits) {
    *out++ = '0';
    ++digits;
  }
  if (value < 0) *out++ = '-';
  for (char *a = start, *b = out - 1; a < b; ++a, --b) {
    char c = *a;
    *a = *b;
    *b = c;
  }
  return out;
}

char *safe_format(char *out, double value, int decimals) {
  long long scale = 1;
  for (int i = 0; i < decimals && i < 9; ++i) scale *= 10;
  long long n = static_cast<long long>(std::round(value * static_cast<double>(scale)));
  long long integer = n / scale;
  long long fraction = n % scale;
  if (n < 0) {
    *out++ = '-';
    integer = -integer;
    fraction = -fraction;
  }
  out = safe_format(out, integer, 1);
  *out++ = '.';
  return safe_format(out, fraction, decimals > 0 ? decimals : 1);
}

}  // namespace pelmoravine
