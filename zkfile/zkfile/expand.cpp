// Path variable expansion: a leading "~" or "~user" and "$NAME", in one
// left-to-right pass, into a caller's buffer or a newly allocated text.
#include <pwd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "errors/internal/boundary.hpp"
#include "pelmoravine_path.hpp"
#include "zkfile/internal/report.hpp"
#include "zkfile_dirs.h"
#include "zkfile_expand.h"

namespace {

// Longest variable name the expansion takes (its name buffer is 128 bytes).
constexpr std::size_t max_name_length = 127;

bool is_name_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool names_appdata(const std::string &name) {
  return name == "USERDATA" || name == "APPDATA" || name == "LOCAL_APPDATA";
}

// Receives each piece of the result; false when the piece does not fit.
using Sink = std::function<bool(const char *data, std::size_t length)>;

struct Outcome {
  bool aborted;  // a size or memory limit was hit, or a name was too long
  int code;      // the result code of the lookups otherwise
};

Outcome expand(const char *text, const Sink &append) {
  int code = 0;
  const char *pos = text;
  if (*pos == '~') {
    const char *name_end = pos + 1 + std::strcspn(pos + 1, "/\\");
    const std::string user(pos + 1, name_end);
    if (user.empty()) {
      const std::string home = pelmoravine::path::home();
      if (!append(home.data(), home.size())) return {true, -1};
    } else {
      const struct passwd *entry = getpwnam(user.c_str());
      if (entry && entry->pw_dir) {
        if (!append(entry->pw_dir, std::strlen(entry->pw_dir))) return {true, -1};
      } else {
        failure("zkfile_dir_user_home: Unable to get home directory for user '%s'\n", user.c_str());
        code = -1;
      }
    }
    pos = name_end;
  }
  while (const char *dollar = std::strchr(pos, '$')) {
    if (!append(pos, static_cast<std::size_t>(dollar - pos))) return {true, -1};
    const char *name_end = dollar + 1;
    while (is_name_char(*name_end)) ++name_end;
    const std::size_t length = static_cast<std::size_t>(name_end - dollar - 1);
    if (length == 0) {
      if (!append("$", 1)) return {true, -1};
      pos = dollar + 1;
      continue;
    }
    if (length > max_name_length) {
      // Refused rather than cut: a shortened name would be another variable.
      failure("zkfile_dir_expand: variable name of %zu characters is longer than %zu: %s\n", length, max_name_length,
              text);
      return {true, -1};
    }
    const std::string name(dollar + 1, name_end);
    if (names_appdata(name)) {
      char *slot = nullptr;
      code = zkfile_pelmoravine_appdata_dir(&slot);
      const std::unique_ptr<char, void (*)(void *)> dir(slot, std::free);
      if (dir && !append(dir.get(), std::strlen(dir.get()))) return {true, -1};
    } else if (const char *value = std::getenv(name.c_str())) {
      if (!append(value, std::strlen(value))) return {true, -1};
    }
    pos = name_end;
  }
  if (!append(pos, std::strlen(pos))) return {true, -1};
  return {false, code};
}

}  // namespace

extern "C" int zkfile_dir_expand_buffer(char *buffer, int size) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!buffer || size < 1) return -1;
    // The text must fit the working copy; it is never read beyond that.
    const std::size_t length = strnlen(buffer, hestrel::zkfile::path_limit);
    if (length == 0 || length == hestrel::zkfile::path_limit) return -1;
    try {
      char copy[hestrel::zkfile::path_limit];
      std::memcpy(copy, buffer, length + 1);
      buffer[0] = '\0';
      const std::size_t room = static_cast<std::size_t>(size) - 1;
      std::size_t used = 0;
      const Sink append = [&](const char *data, std::size_t n) {
        if (n > room - used) return false;
        std::memcpy(buffer + used, data, n);
        used += n;
        buffer[used] = '\0';
        return true;
      };
      return expand(copy, append).code;
    } catch (...) {
      return -1;
    }
  });
}

extern "C" int zkfile_dir_expand(const char *text, char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    if (!text) return -1;
    try {
      std::string result;
      const Sink append = [&](const char *data, std::size_t n) {
        result.append(data, n);
        return true;
      };
      const Outcome outcome = expand(text, append);
      if (outcome.aborted) return -1;
      char *block = static_cast<char *>(std::malloc(result.size() + 1));
      if (!block) {
        hestrel::note_allocation_failure();
        return -1;
      }
      std::memcpy(block, result.c_str(), result.size() + 1);
      *out = block;
      return outcome.code;
    } catch (...) {
      hestrel::note_allocation_failure();
      return -1;
    }
  });
}
