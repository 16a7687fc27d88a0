// Test fixture of the token tests: collects what the default handler
// raises, and reads a list back as a vector of strings.
#ifndef HESTREL_TESTS_TEXT_TOKEN_MESSAGES_HPP
#define HESTREL_TESTS_TEXT_TOKEN_MESSAGES_HPP

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hestrel_test/process_state.hpp"
#include "zkerr.h"
#include "zktoken.h"

namespace token_test {

inline std::string &messages() {
  static std::string text;
  return text;
}

inline int collect(char *message) {
  messages() += message;
  return 0;
}

// Every test starts with no messages and the default handler quiet on
// stderr, its messages collected instead; both are put back afterwards.
struct TokenTest : hestrel_test::ProcessStateTest {
  void SetUp() override {
    messages().clear();
    zkerr_file(-1, nullptr);
    zkerr_window(-1, collect);
  }
};

inline std::vector<std::string> tokens_of(int handle) {
  std::vector<std::string> out;
  int n = zktoken_num(handle);
  for (int i = 0; i < n; ++i) out.emplace_back(zktoken_get_token(handle, i));
  return out;
}

inline int list_of(const std::vector<std::string> &tokens) {
  int handle = -1;
  zktoken_new(&handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  for (const std::string &t : tokens) zktoken_add(handle, t.c_str());
  return handle;
}

}  // namespace token_test

#endif
