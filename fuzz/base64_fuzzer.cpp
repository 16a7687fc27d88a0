// Fuzz target for the base64 codec: decode arbitrary text into a buffer of
// exactly the documented size, and check that encode then decode is lossless.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "modp_b64.hpp"

// memcmp must not see the null data pointer of an empty buffer.
static bool same(const void *a, const void *b, std::size_t n) { return n == 0 || std::memcmp(a, b, n) == 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  const char *src = reinterpret_cast<const char *>(data);
  int len = static_cast<int>(size);

  // Heap buffers of the exact sizes, so any write past them is caught.
  std::vector<char> raw(3 * (size / 4));
  int n = modp_b64_decode(raw.data(), src, len);
  if (n < -1 || n > static_cast<int>(3 * (size / 4))) std::abort();
  std::string wrapped = modp::b64_decode(src, size);
  if (n >= 0 &&
      (wrapped.size() != static_cast<std::size_t>(n) || !same(wrapped.data(), raw.data(), static_cast<std::size_t>(n))))
    std::abort();
  if (n < 0 && !wrapped.empty()) std::abort();

  std::vector<char> text(4 * ((size + 2) / 3) + 1);
  int t = modp_b64_encode(text.data(), src, len);
  if (t != static_cast<int>(text.size()) - 1 || text[t] != '\0') std::abort();
  std::vector<char> back(3 * (static_cast<std::size_t>(t) / 4));
  int m = modp_b64_decode(back.data(), text.data(), t);
  if (m != len || !same(back.data(), src, size)) std::abort();
  return 0;
}
