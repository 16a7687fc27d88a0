// errno as text for the C++ callers' own messages.
#include <cerrno>
#include <cstring>
#include <string>

#include "zkerr.hpp"

namespace pelmoravine {

std::string get_last_error() {
  int code = errno;
  std::string text;
  if (code != 0) text = std::string(std::strerror(code)) + " (Error " + std::to_string(code) + ")";
  errno = 0;
  return text;
}

}  // namespace pelmoravine
