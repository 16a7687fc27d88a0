// Fuzzes the shell quoting: the result stays within the caller's capacity,
// a refused text is untouched, and an accepted one reads back to the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zkcommon.h"

namespace {

bool shell_special(char c) { return c == '"' || c == '$' || c == '`' || c == '\\'; }

// Undoes the quoting; false when a quoted run holds an unescaped special
// character or anything but a wildcard stands outside the quotes.
bool unquote(const std::string &quoted, std::string &plain) {
  bool inside = false;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    char c = quoted[i];
    if (c == '"') {
      inside = !inside;
    } else if (!inside) {
      if (c != '?' && c != '*') return false;
      plain.push_back(c);
    } else if (c == '\\') {
      if (i + 1 >= quoted.size() || !shell_special(quoted[i + 1])) return false;
      plain.push_back(quoted[++i]);
    } else {
      if (shell_special(c)) return false;
      plain.push_back(c);
    }
  }
  return !inside;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2) return 0;
  // Two bytes of capacity, then the text up to its first NUL.
  int capacity = (data[0] << 8 | data[1]) % 6000;
  std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
  text = text.c_str();
  std::vector<char> buffer(std::max<std::size_t>(capacity, text.size() + 1));
  std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
  int status = zkcommon_prepare_str_for_shell(buffer.data(), capacity);
  std::string result(buffer.data());
  if (status != 0) {
    if (result != text) std::abort();
    return 0;
  }
  std::string plain;
  if (result.size() + 1 > static_cast<std::size_t>(capacity) || !unquote(result, plain) || plain != text) std::abort();
  return 0;
}
