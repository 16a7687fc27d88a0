// Base64 speed on 1 MiB of random bytes: the library's encoder and decoder
// beside OpenSSL's EVP_EncodeBlock and EVP_DecodeBlock in the same run.
#include <openssl/evp.h>

#include <cstddef>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "modp_b64.hpp"

namespace {

constexpr int kRawSize = 1 << 20;

const std::string &raw_bytes() {
  static const std::string raw = [] {
    std::mt19937 rng(42);
    std::string s(kRawSize, '\0');
    for (char &c : s) c = static_cast<char>(rng());
    return s;
  }();
  return raw;
}

const std::string &encoded_text() {
  static const std::string text = [] {
    std::string s(4 * ((kRawSize + 2) / 3) + 1, '\0');
    s.resize(static_cast<std::size_t>(modp_b64_encode(&s[0], raw_bytes().data(), kRawSize)));
    return s;
  }();
  return text;
}

// Bytes processed are the raw bytes in both directions, so encode and decode
// figures compare directly.
void BM_EncodeLibrary(benchmark::State &state) {
  std::string out(encoded_text().size() + 1, '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(modp_b64_encode(&out[0], raw_bytes().data(), kRawSize));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRawSize);
}
BENCHMARK(BM_EncodeLibrary);

void BM_EncodeOpenSsl(benchmark::State &state) {
  std::string out(encoded_text().size() + 1, '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_EncodeBlock(reinterpret_cast<unsigned char *>(&out[0]),
                                             reinterpret_cast<const unsigned char *>(raw_bytes().data()), kRawSize));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRawSize);
}
BENCHMARK(BM_EncodeOpenSsl);

void BM_DecodeLibrary(benchmark::State &state) {
  const std::string &text = encoded_text();
  std::string out(3 * (text.size() / 4) + 3, '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(modp_b64_decode(&out[0], text.data(), static_cast<int>(text.size())));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRawSize);
}
BENCHMARK(BM_DecodeLibrary);

void BM_DecodeOpenSsl(benchmark::State &state) {
  const std::string &text = encoded_text();
  std::string out(3 * (text.size() / 4) + 3, '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_DecodeBlock(reinterpret_cast<unsigned char *>(&out[0]),
                                             reinterpret_cast<const unsigned char *>(text.data()),
                                             static_cast<int>(text.size())));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kRawSize);
}
BENCHMARK(BM_DecodeOpenSsl);

}  // namespace

BENCHMARK_MAIN();
