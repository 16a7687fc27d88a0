// Table-driven base64 encoder and decoder: four lookups per group, one
// comparison to validate a decoded group, one store to write it.
#include "modp_b64.hpp"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Any character outside the alphabet maps here in every decoding table, so the
// OR of a group's four entries exceeds kBadGroup - 1 exactly when one is bad.
constexpr std::uint32_t kBadChar = 0x01FFFFFF;

// The longest input whose encoding, 4 * ceil(len / 3), is still an int.
constexpr int kMaxEncodable = 3 * (INT_MAX / 4);

struct EncodeTables {
  char e0[256];  // character of the byte's top six bits
  char e2[256];  // character of the byte's low six bits
  // Two characters at once for each 12-bit value (first character in the low
  // byte), so a group of three bytes is two lookups and one 32-bit store.
  std::uint16_t pair[4096];
};

constexpr EncodeTables make_encode_tables() {
  EncodeTables t{};
  for (int b = 0; b < 256; ++b) {
    t.e0[b] = kAlphabet[b >> 2];
    t.e2[b] = kAlphabet[b & 63];
  }
  for (int v = 0; v < 4096; ++v)
    t.pair[v] = static_cast<std::uint16_t>(static_cast<unsigned char>(kAlphabet[v >> 6]) |
                                           (static_cast<unsigned char>(kAlphabet[v & 63]) << 8));
  return t;
}

struct DecodeTables {
  // One table per position in a group of four; each entry already sits where
  // its bits land in the three decoded bytes (little-endian word order).
  std::uint32_t d0[256], d1[256], d2[256], d3[256];
};

constexpr DecodeTables make_decode_tables() {
  DecodeTables t{};
  for (int c = 0; c < 256; ++c) t.d0[c] = t.d1[c] = t.d2[c] = t.d3[c] = kBadChar;
  for (std::uint32_t v = 0; v < 64; ++v) {
    unsigned char c = static_cast<unsigned char>(kAlphabet[v]);
    t.d0[c] = v << 2;
    t.d1[c] = (v >> 4) | ((v & 15) << 12);
    t.d2[c] = ((v >> 2) << 8) | ((v & 3) << 22);
    t.d3[c] = v << 16;
  }
  return t;
}

constexpr EncodeTables kEnc = make_encode_tables();
constexpr DecodeTables kDec = make_decode_tables();

inline std::uint64_t load_be64(const unsigned char *s) {
  std::uint64_t w;
  std::memcpy(&w, s, 8);
  return __builtin_bswap64(w);
}

inline std::uint32_t group_word(const unsigned char *y) {
  return kDec.d0[y[0]] | kDec.d1[y[1]] | kDec.d2[y[2]] | kDec.d3[y[3]];
}

}  // namespace

int modp_b64_encode(char *dest, const char *src, int len) {
  if (len <= 0) {
    dest[0] = '\0';
    return 0;
  }
  // Beyond this the text's length would not fit the int result.
  if (len > kMaxEncodable) {
    dest[0] = '\0';
    return -1;
  }
  const unsigned char *s = reinterpret_cast<const unsigned char *>(src);
  unsigned char *p = reinterpret_cast<unsigned char *>(dest);
  int groups = len / 3;
  int i = 0;
  // Two groups per step from one eight-byte load, while eight bytes remain to
  // be read; the last groups go one at a time.
  for (; 3 * i + 8 <= len; i += 2, s += 6, p += 8) {
    std::uint64_t w = load_be64(s);
    std::uint64_t word = std::uint64_t(kEnc.pair[w >> 52]) | (std::uint64_t(kEnc.pair[(w >> 40) & 4095]) << 16) |
                         (std::uint64_t(kEnc.pair[(w >> 28) & 4095]) << 32) |
                         (std::uint64_t(kEnc.pair[(w >> 16) & 4095]) << 48);
    std::memcpy(p, &word, 8);
  }
  for (; i < groups; ++i, s += 3, p += 4) {
    std::uint32_t bits = (std::uint32_t(s[0]) << 16) | (std::uint32_t(s[1]) << 8) | s[2];
    std::uint32_t word = kEnc.pair[bits >> 12] | (std::uint32_t(kEnc.pair[bits & 4095]) << 16);
    std::memcpy(p, &word, 4);
  }
  switch (len - 3 * groups) {
    case 1:
      p[0] = kEnc.e0[s[0]];
      p[1] = kEnc.e2[(s[0] & 3) << 4];
      p[2] = '=';
      p[3] = '=';
      p += 4;
      break;
    case 2:
      p[0] = kEnc.e0[s[0]];
      p[1] = kEnc.e2[((s[0] & 3) << 4) | (s[1] >> 4)];
      p[2] = kEnc.e2[(s[1] & 15) << 2];
      p[3] = '=';
      p += 4;
      break;
    default:
      break;
  }
  *p = '\0';
  return static_cast<int>(p - reinterpret_cast<unsigned char *>(dest));
}

int modp_b64_decode(char *dest, const char *src, int len) {
  if (len == 0) return 0;
  if (len < 4 || len % 4 != 0) return -1;
  const unsigned char *y = reinterpret_cast<const unsigned char *>(src);
  if (y[len - 1] == '=') {
    --len;
    if (y[len - 1] == '=') --len;
  }
  int rest = len % 4;
  // With no partial group the last full group is the tail, so the four-byte
  // stores of the bulk loop never reach past the decoded length.
  int groups = rest == 0 ? len / 4 - 1 : len / 4;
  unsigned char *p = reinterpret_cast<unsigned char *>(dest);
  int i = 0;
  for (; i + 2 <= groups; i += 2, y += 8, p += 6) {
    std::uint32_t a = group_word(y);
    std::uint32_t b = group_word(y + 4);
    if ((a | b) > kBadChar - 1) return -1;
    std::memcpy(p, &a, 4);
    std::memcpy(p + 3, &b, 4);
  }
  if (i < groups) {
    std::uint32_t a = group_word(y);
    if (a > kBadChar - 1) return -1;
    std::memcpy(p, &a, 4);
    y += 4;
    p += 3;
  }
  std::uint32_t x;
  switch (rest) {
    case 0:
      x = group_word(y);
      if (x > kBadChar - 1) return -1;
      p[0] = static_cast<unsigned char>(x);
      p[1] = static_cast<unsigned char>(x >> 8);
      p[2] = static_cast<unsigned char>(x >> 16);
      return 3 * groups + 3;
    case 2:
      x = kDec.d0[y[0]] | kDec.d1[y[1]];
      if (x > kBadChar - 1) return -1;
      p[0] = static_cast<unsigned char>(x);
      return 3 * groups + 1;
    default:  // 3
      x = kDec.d0[y[0]] | kDec.d1[y[1]] | kDec.d2[y[2]];
      if (x > kBadChar - 1) return -1;
      p[0] = static_cast<unsigned char>(x);
      p[1] = static_cast<unsigned char>(x >> 8);
      return 3 * groups + 2;
  }
}

#ifndef __APPLE__
namespace modp {

std::string b64_decode(const char *src, std::size_t len) {
  // A longer text would reach the decoder cut to a wrong int length and
  // could "succeed" on a fragment of itself.
  if (len > static_cast<std::size_t>(INT_MAX)) return std::string();
  std::string out(3 * (len / 4) + 3, '\0');
  int n = modp_b64_decode(&out[0], src, static_cast<int>(len));
  if (n < 0) return std::string();
  out.resize(static_cast<std::size_t>(n));
  return out;
}

}  // namespace modp
#endif
