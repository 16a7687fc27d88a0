// Path components: text operations on '/'-separated paths for C callers.
// The file-name split here is also the one the open-file table records by.
#include "zkfile_path.h"

#include <cstdlib>
#include <cstring>

#include "errors/internal/boundary.hpp"
#include "zkfile/internal/path_split.hpp"

namespace {

char *copy_of(const char *text, std::size_t length) {
  char *out = static_cast<char *>(std::malloc(length + 1));
  if (out == nullptr) return nullptr;
  std::memcpy(out, text, length);
  out[length] = '\0';
  return out;
}

bool empty(const char *text) { return text == nullptr || *text == '\0'; }

}  // namespace

namespace hestrel::zkfile {

void split_path(const char *path, char **dir, char **name) {
  *dir = nullptr;
  *name = nullptr;
  if (empty(path)) return;
  // Only the first line names the file.
  std::size_t length = std::strcspn(path, "\n");
  if (length == 0) return;
  const char *last = nullptr;
  for (std::size_t at = 0; at < length; ++at)
    if (path[at] == '/') last = path + at;
  if (last == nullptr) {
    *name = copy_of(path, length);
    return;
  }
  std::size_t slash = static_cast<std::size_t>(last - path);
  if (slash + 1 < length) *name = copy_of(last + 1, length - slash - 1);
  // The directory ends before the whole run of '/' that closes at the last
  // one; a run at the very start is the directory itself ("/", "//").
  std::size_t run_start = slash;
  while (run_start > 0 && path[run_start - 1] == '/') --run_start;
  if (run_start == 0)
    *dir = copy_of(path, slash + 1);
  else
    *dir = copy_of(path, run_start);
}

}  // namespace hestrel::zkfile

extern "C" {

char *zkfile_add_component(const char *dir, const char *name) {
  return hestrel::call_c(__func__, nullptr, [&]() -> char * {
    if (empty(dir)) return empty(name) ? nullptr : copy_of(name, std::strlen(name));
    std::size_t dir_length = std::strlen(dir);
    if (empty(name)) return copy_of(dir, dir_length);
    std::size_t name_length = std::strlen(name);
    char *out = static_cast<char *>(std::malloc(dir_length + name_length + 2));
    if (out == nullptr) return nullptr;
    std::memcpy(out, dir, dir_length);
    std::size_t at = dir_length;
    if (dir[dir_length - 1] != '/' && name[0] != '/') out[at++] = '/';
    // Only one '/' is dropped at the seam: longer runs on either side stay.
    if (out[at - 1] == '/' && name[0] == '/') {
      ++name;
      --name_length;
    }
    std::memcpy(out + at, name, name_length);
    out[at + name_length] = '\0';
    return out;
  });
}

char *zkfile_get_last_component(const char *path) {
  return hestrel::call_c(__func__, nullptr, [&]() -> char * {
    if (empty(path)) return nullptr;
    const char *last = std::strrchr(path, '/');
    const char *start = last == nullptr ? path : last + 1;
    return copy_of(start, std::strlen(start));
  });
}

char *zkfile_remove_component(const char *path) {
  return hestrel::call_c(__func__, nullptr, [&]() -> char * {
    if (empty(path)) return nullptr;
    const char *last = std::strrchr(path, '/');
    return copy_of(path, last == nullptr ? 0 : static_cast<std::size_t>(last - path));
  });
}

void zkfile_free_component_string(char *text) { std::free(text); }

void zkfile_parse_path(const char *path, char **dir, char **name) {
  hestrel::call_c(__func__, [&] {
    char *dir_part = nullptr;
    char *name_part = nullptr;
    hestrel::zkfile::split_path(path, &dir_part, &name_part);
    if (dir != nullptr)
      *dir = dir_part;
    else
      std::free(dir_part);
    if (name != nullptr)
      *name = name_part;
    else
      std::free(name_part);
  });
}

int zkfile_path_localize(char *path, int size) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (path == nullptr || size < 2 || *path == '\0') return -1;
    for (char *at = path; *at != '\0'; ++at)
      if (*at == '\\') *at = '/';
    return 0;
  });
}

int zkfile_path_to_unix(char *path, int size) { return zkfile_path_localize(path, size); }

}  // extern "C"
