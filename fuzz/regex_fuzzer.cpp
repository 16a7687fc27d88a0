// Fuzz target for the expression engine: the input up to its first NUL is the
// pattern, the rest the subject; compile, match, free, each input in time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zk_regexp.h"
#include "zkerr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static bool quiet = [] {
    zkerr_file(-1, nullptr);
    return true;
  }();
  (void)quiet;
  std::string input(reinterpret_cast<const char *>(data), size);
  std::size_t split = input.find('\0');
  std::string pattern = input.substr(0, split);
  std::string subject = split == std::string::npos ? std::string() : input.substr(split + 1);
  zk_regexp *r = zk_regcomp(pattern.c_str());
  if (r) {
    zk_regexec(r, subject.c_str());  // the subject ends at its own first NUL
    std::free(r);
  }
  return 0;
}
