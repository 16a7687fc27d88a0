// Base64 codec on caller buffers (standard alphabet with "+" and "/", "="
// padding, no line breaks), and a decoder that hands back a std::string.
#ifndef HESTREL_MODP_B64_HPP
#define HESTREL_MODP_B64_HPP

#include "hestrel_export.h"

#include <climits>
#include <cstddef>
#include <string>

// Encodes len bytes of src into dest and ends the text with a NUL. Returns the
// number of characters written without the NUL: 4 * ceil(len / 3). dest must
// hold that many characters plus one. A negative len encodes nothing; a len
// whose encoding would be longer than INT_MAX gives -1 and the empty text.
HESTREL_API int modp_b64_encode(char *dest, const char *src, int len);

// Decodes len characters of base64 text into dest (no NUL is added) and
// returns the number of bytes written, or -1 when the text is not acceptable:
// a length that is not a multiple of 4, a character outside the alphabet, or an
// "=" anywhere but in the last two places. dest must hold 3 * (len / 4) bytes;
// on failure some of it may already have been written.
HESTREL_API int modp_b64_decode(char *dest, const char *src, int len);

namespace modp {

#ifdef __APPLE__
// The decoded bytes of src, or the empty string when decoding fails or the text
// is too long for the decoder's int length.
inline std::string b64_decode(const char *src, std::size_t len) {
  if (len > static_cast<std::size_t>(INT_MAX)) return std::string();
  std::string out(3 * (len / 4) + 3, '\0');
  int n = modp_b64_decode(&out[0], src, static_cast<int>(len));
  if (n < 0) return std::string();
  out.resize(static_cast<std::size_t>(n));
  return out;
}
#else
// The decoded bytes of src, or the empty string when decoding fails or the text
// is too long for the decoder's int length.
HESTREL_API std::string b64_decode(const char *src, std::size_t len);
#endif

}  // namespace modp

#endif
