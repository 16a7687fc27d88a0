// Fuzz target for glob patterns: NUL bytes split the input into glob tokens and,
// last, the string to match; compile the list, match, delete, each input in time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zkerr.h"
#include "zktoken.h"
#include "zktoken_glob.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static bool quiet = [] {
    zkerr_file(-1, nullptr);
    return true;
  }();
  (void)quiet;
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\0')
      parts.emplace_back();
    else
      parts.back() += static_cast<char>(data[i]);
  }
  std::string subject = parts.back();
  parts.pop_back();

  int handle = -1;
  zktoken_new(&handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  for (const std::string &glob : parts) zktoken_add(handle, glob.c_str());
  zktoken_regex_compile(handle);
  zktoken_regex_index(handle, subject.c_str());
  zktoken_delete(handle);
  return 0;
}
