// Test fixture of the expression-engine tests: collects what the default
// handler raises, and spells the engine's own report.
#ifndef HESTREL_TESTS_TEXT_REGEX_MESSAGES_HPP
#define HESTREL_TESTS_TEXT_REGEX_MESSAGES_HPP

#include <gtest/gtest.h>

#include <string>

#include "hestrel_test/process_state.hpp"
#include "zkerr.h"

namespace regex_test {

inline std::string g_messages;

inline int collect(char *message) {
  g_messages += message;
  return 0;
}

// The default handler's callback is put back after each test.
struct RegexTest : hestrel_test::ProcessStateTest {
  void SetUp() override {
    g_messages.clear();
    zkerr_window(-1, collect);
  }
};

inline std::string fatal(const std::string &message) { return "FATAL Error in regular expression: " + message + " \n"; }

}  // namespace regex_test

#endif
