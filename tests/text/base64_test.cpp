// Base64 codec tests: the RFC 4648 vectors, round trips checked against
// OpenSSL's encoder and decoder, and every text the decoder must refuse.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "modp_b64.hpp"

namespace {

std::string encode(const std::string &raw) {
  std::string out(4 * ((raw.size() + 2) / 3) + 1, '\x7f');
  int n = modp_b64_encode(&out[0], raw.data(), static_cast<int>(raw.size()));
  EXPECT_EQ(out[static_cast<std::size_t>(n)], '\0');
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// Decodes into a buffer of exactly the size the decoder may use.
int decode(const std::string &text, std::string *raw) {
  std::vector<char> buf(3 * (text.size() / 4));
  int n = modp_b64_decode(buf.data(), text.data(), static_cast<int>(text.size()));
  if (raw && n >= 0) raw->assign(buf.data(), static_cast<std::size_t>(n));
  return n;
}

// RFC 4648, section 10.
struct Vector {
  const char *raw;
  const char *text;
};
// clang-format off
const Vector kRfcVectors[] = {
    {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};
// clang-format on

TEST(Base64, RfcVectorsEncodeAndDecode) {
  for (const Vector &v : kRfcVectors) {
    SCOPED_TRACE(v.raw);
    EXPECT_EQ(encode(v.raw), v.text);
    std::string raw;
    EXPECT_EQ(decode(v.text, &raw), static_cast<int>(std::string(v.raw).size()));
    EXPECT_EQ(raw, v.raw);
    EXPECT_EQ(modp::b64_decode(v.text, std::string(v.text).size()), v.raw);
  }
}

TEST(Base64, PaddingByLeftoverBytes) {
  EXPECT_EQ(encode(std::string("\x00\x01\x02", 3)), "AAEC");
  EXPECT_EQ(encode(std::string("\xff\xfe", 2)), "//4=");
  EXPECT_EQ(encode(std::string("\xfb", 1)), "+w==");
  char out[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(modp_b64_encode(out, "", 0), 0);
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(modp_b64_encode(out, "abc", -3), 0);  // a negative length encodes nothing
  EXPECT_EQ(out[0], '\0');
  // Text longer than INT_MAX could not be counted by the result; nothing is read.
  out[0] = 'x';
  EXPECT_EQ(modp_b64_encode(out, "abc", 1610612734), -1);
  EXPECT_EQ(out[0], '\0');
}

std::string openssl_encode(const std::string &raw) {
  std::string out(4 * ((raw.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(&out[0]),
                          reinterpret_cast<const unsigned char *>(raw.data()), static_cast<int>(raw.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// OpenSSL's decoder gives whole groups, padding bytes included.
std::string openssl_decode(const std::string &text) {
  std::string out(3 * (text.size() / 4) + 1, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char *>(&out[0]),
                          reinterpret_cast<const unsigned char *>(text.data()), static_cast<int>(text.size()));
  EXPECT_GE(n, 0);
  std::size_t pad = 0;
  while (pad < 2 && pad < text.size() && text[text.size() - 1 - pad] == '=') ++pad;
  out.resize(static_cast<std::size_t>(n) - pad);
  return out;
}

TEST(Base64, RandomRoundTripsAgreeWithOpenSsl) {
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<int> byte(0, 255);
  for (std::size_t len = 0; len < 300; ++len) {
    for (int rep = 0; rep < 3; ++rep) {
      std::string raw(len, '\0');
      for (char &c : raw) c = static_cast<char>(byte(rng));
      SCOPED_TRACE(len);
      std::string text = encode(raw);
      ASSERT_EQ(text, openssl_encode(raw));
      std::string back;
      ASSERT_EQ(decode(text, &back), static_cast<int>(len));
      ASSERT_EQ(back, raw);
      ASSERT_EQ(openssl_decode(text), raw);
      ASSERT_EQ(modp::b64_decode(text.data(), text.size()), raw);
    }
  }
  // One long text, so the bulk loop runs many times.
  std::string raw(100003, '\0');
  for (char &c : raw) c = static_cast<char>(byte(rng));
  std::string text = encode(raw);
  EXPECT_EQ(text, openssl_encode(raw));
  EXPECT_EQ(modp::b64_decode(text.data(), text.size()), raw);
}

TEST(Base64, EveryByteValueRoundTrips) {
  std::string raw;
  for (int b = 0; b < 256; ++b) raw += static_cast<char>(b);
  for (std::size_t start = 0; start < 3; ++start) {
    std::string part = raw.substr(start);
    EXPECT_EQ(modp::b64_decode(encode(part).data(), encode(part).size()), part);
  }
}

TEST(Base64, RefusedTexts) {
  // clang-format off
  const char *const bad[] = {
      "Zm9vY",      // length 5
      "Zm9",        // length 3
      "Zm 9",       // blank
      "Zm9\n",      // newline
      "Zm9v\nZm9v", // newline between groups
      "Zm-v",       // URL-safe alphabet
      "Zm_v",
      "=m9v",       // "=" away from the last two places
      "Z=9v",
      "Zm9vY=Fy",
      "Zm9v=mFy",
      "Zm=v",       // "=" in the last two places, but the last is no "="
      "Z===",
      "====",
      "Zm9vYmFyZm9vYmFy\x80xyz",  // a byte above 127 in the tail group
      "\xffm9vYmFyZm9vYmFy",      // and in a bulk group
  };
  // clang-format on
  for (const char *text : bad) {
    SCOPED_TRACE(text);
    EXPECT_EQ(decode(text, nullptr), -1);
    EXPECT_EQ(modp::b64_decode(text, std::string(text).size()), "");
  }
  EXPECT_EQ(decode("", nullptr), 0);
  EXPECT_EQ(modp::b64_decode("", 0), "");
}

TEST(Base64, BitsHiddenByPaddingAreIgnored) {
  std::string a, b;
  EXPECT_EQ(decode("Zh==", &a), 1);  // "Zg==" with low bits set
  EXPECT_EQ(a, "f");
  EXPECT_EQ(decode("Zm9=", &b), 2);  // "Zm8=" with low bits set
  EXPECT_EQ(b, "fo");
}

TEST(Base64, TextTooLongForTheDecoderIsRefused) {
  // Cut to an int, this length would be 4 and decode "foo"; nothing is read.
  const std::size_t len = (std::size_t{1} << 32) + 4;
  EXPECT_EQ(modp::b64_decode("Zm9v", len), "");
}

}  // namespace
