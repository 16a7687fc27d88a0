// The one-pass tokenizer against the step-by-step one it replaced: the same
// tokens and reports for generated lines and sets, and for the fuzz corpus.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/reference_tokenizer.hpp"
#include "support/token_messages.hpp"
#include "zktoken.h"

namespace {

using token_test::messages;
using token_test::tokens_of;

struct TokenizerDifferential : token_test::TokenTest {};

// Both tokenizers on one line: tokens and reports must agree.
void expect_same(const std::string &line, const char *separators, const char *pairs, const char *comments,
                 const char *escapes, const char *specials) {
  messages().clear();
  int handle = -1;
  zktoken_new(&handle, line.c_str(), separators, pairs, comments, escapes, specials);
  std::vector<std::string> library = tokens_of(handle);
  std::string library_reports = messages();
  zktoken_delete(handle);

  messages().clear();
  std::vector<std::string> reference;
  if (!line.empty())
    reference =
        token_test::reference_tokens(line.c_str(), separators ? separators : " ,\t", pairs ? pairs : "",
                                     comments ? comments : "", escapes ? escapes : "", specials ? specials : "");
  EXPECT_EQ(library, reference) << "line \"" << line << "\" pairs \"" << (pairs ? pairs : "(null)") << '"';
  EXPECT_EQ(library_reports, messages()) << "line \"" << line << '"';
}

TEST_F(TokenizerDifferential, AgreesOnGeneratedLinesAndSets) {
  std::mt19937 rng(5);
  const std::string alphabet = "ab ,\t\"()#\\=;x";
  auto pick = [&](std::size_t most) {
    std::string s;
    for (std::size_t n = rng() % (most + 1); n > 0; --n) s += alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int i = 0; i < 3000; ++i) {
    std::string line = pick(24);
    std::string sets[5] = {pick(3), pick(4), pick(2), pick(2), pick(2)};
    if (sets[1].size() % 2 && rng() % 8 != 0) sets[1].pop_back();  // now and then an odd pair string
    const char *arg[5];
    for (int k = 0; k < 5; ++k) arg[k] = rng() % 4 == 0 ? nullptr : sets[k].c_str();
    expect_same(line, arg[0], arg[1], arg[2], arg[3], arg[4]);
  }
}

// The tokenizer fuzzer's reading of an input: NUL bytes split it into the
// line and the five sets, a set the input does not reach being NULL.
TEST_F(TokenizerDifferential, AgreesOnTheTokenizerCorpus) {
  std::filesystem::path dir =
      std::filesystem::path(HESTREL_TEST_SOURCE_DIR) / ".." / "fuzz" / "corpora" / "tokenizer_fuzzer";
  int inputs = 0;
  for (const auto &entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> parts(1);
    for (char c : data) {
      if (c == '\0' && parts.size() < 6)
        parts.emplace_back();
      else
        parts.back() += c;
    }
    const char *arg[6] = {};
    for (std::size_t i = 0; i < parts.size(); ++i) arg[i] = parts[i].c_str();
    expect_same(parts[0], arg[1], arg[2], arg[3], arg[4], arg[5]);
    ++inputs;
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
