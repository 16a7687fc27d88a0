// Fuzz target for the line tokenizer: the input's NUL bytes split it into
// the line and the separator, pair, comment, escape and special sets (a set
// the input does not reach is NULL); tokenize, read back, join, free.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "zkerr.h"
#include "zktoken.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static bool quiet = [] {
    zkerr_file(-1, nullptr);
    return true;
  }();
  (void)quiet;
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\0' && parts.size() < 6)
      parts.emplace_back();
    else
      parts.back() += static_cast<char>(data[i]);
  }
  const char *arg[6] = {};
  for (std::size_t i = 0; i < parts.size(); ++i) arg[i] = parts[i].c_str();

  int handle = -1;
  zktoken_new(&handle, arg[0], arg[1], arg[2], arg[3], arg[4], arg[5]);
  int n = zktoken_num(handle);
  for (int i = 0; i < n; ++i) zktoken_find_type(handle, i);
  std::free(zktoken_get_string(handle));
  zktoken_delete(handle);
  return 0;
}
