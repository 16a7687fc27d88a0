// Tracked files: streams opened for callers with the name and directory they
// came from, so that a stream's full path can be asked for later; and the
// stack of saved working directories.
#include "zkfile_tracked.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "errors/internal/boundary.hpp"
#include "zkerr.h"
#include "zkfile/internal/path_split.hpp"
#include "zkfile/internal/report.hpp"
#include "zkfile/internal/search_path.hpp"
#include "zkfile_dirs.h"
#include "zkfile_expand.h"
#include "zkfile_search.h"

namespace {

struct file_info_struct {
  char name[256];
  char dir[PATH_MAX];
  FILE *stream;
  char mode[16];
};

// Records 0 to file_info_open - 1 are in use, in the order of opening.
file_info_struct file_info[ZKFILE_MAX_OPEN_FILES];
int file_info_open = 0;

std::vector<std::string> &dir_stack() {
  static std::vector<std::string> stack;
  return stack;
}

void raise(unsigned int level, const std::string &text) { zkerr_throw(errHand_zkfile, level, "%s", text.c_str()); }

void raise_open_error(const char *name, const char *mode) {
  std::string text;
  if (std::strchr(mode, 'r') != nullptr)
    text = std::string("ZKFILE: unable to open file for reading: \"") + name + "\"\n";
  else if (std::strcmp(mode, "w") == 0)
    text = std::string("ZKFILE: unable to open file for writing: \"") + name + "\"\n";
  else
    text = std::string("ZKFILE: unable to open file (") + mode + "): \"" + name + "\"\n";
  raise(ZKERR_INFO, text);
}

// The record's fixed fields would cut longer texts; such an open is refused.
bool fits_record(const char *name, const char *dir) {
  if (std::strlen(name) >= sizeof file_info[0].name) {
    raise(ZKERR_WARNING, "ZKFILE: file name longer than 255 characters cannot be tracked\n");
    return false;
  }
  if (std::strlen(dir) >= sizeof file_info[0].dir) {
    raise(ZKERR_WARNING, "ZKFILE: directory does not fit the path limit; file cannot be tracked\n");
    return false;
  }
  return true;
}

int find_record(FILE *stream) {
  for (int at = 0; at < file_info_open; ++at)
    if (file_info[at].stream == stream) return at;
  return -1;
}

void record(const char *name, const char *dir, FILE *stream, const char *mode) {
  int at = find_record(stream);
  if (at < 0) at = file_info_open++;
  file_info_struct &entry = file_info[at];
  // Lengths were checked by fits_record and for the mode at the start.
  std::strcpy(entry.name, name);
  std::strcpy(entry.dir, dir);
  std::strcpy(entry.mode, mode);
  entry.stream = stream;
}

// Changes to a saved directory exactly as it was saved: it is a real path
// read from the system, so expanding it again, or turning a '\\' in its
// name into '/', could lead elsewhere. Otherwise it answers as a set does:
// -1 with no message for a text that does not fit the path limit, an empty
// text or a refused change.
int change_back(const std::string &dir) {
  if (dir.empty() || dir.size() >= PATH_MAX) return -1;
  return chdir(dir.c_str()) == 0 ? 0 : -1;
}

int open_absolute(const char *name, FILE **stream, const char *mode) {
  char *dir = nullptr;
  char *last = nullptr;
  hestrel::zkfile::split_path(name, &dir, &last);
  std::string dir_text = dir == nullptr ? "" : dir;
  std::string name_text = last == nullptr ? "" : last;
  std::free(dir);
  std::free(last);
  if (!fits_record(name_text.c_str(), dir_text.c_str())) return -1;
  FILE *opened = std::fopen(name, mode);
  if (opened == nullptr) {
    raise_open_error(name, mode);
    return -1;
  }
  record(name_text.c_str(), dir_text.c_str(), opened, mode);
  *stream = opened;
  return 0;
}

int open_for_reading(const char *name, FILE **stream, const char *mode) {
  if (!fits_record(name, "")) return -1;
  if (zkfile_exists(name, 0) != 0) {
    raise(ZKERR_INFO, std::string("ZKFILE: file not found in search path: \"") + name + "\"\n");
    return -1;
  }
  const char *found = hestrel::zkfile::found_search_directory();
  std::string dir = found == nullptr ? std::string() : std::string(found);
  if (!fits_record(name, dir.c_str())) return -1;
  if (zkfile_dir_current_push() != 0) return -1;
  FILE *opened = nullptr;
  if (chdir(dir.c_str()) == 0) opened = std::fopen(name, mode);
  zkfile_dir_current_pop();
  if (opened == nullptr) {
    raise_open_error(name, mode);
    return -1;
  }
  record(name, dir.c_str(), opened, mode);
  *stream = opened;
  return 0;
}

int open_in_working_directory(const char *name, FILE **stream, const char *mode) {
  if (!fits_record(name, "")) return -1;
  FILE *opened = std::fopen(name, mode);
  if (opened == nullptr) {
    raise_open_error(name, mode);
    return -1;
  }
  char *cwd = nullptr;
  if (zkfile_dir_current_get(&cwd) == 0 && cwd != nullptr) {
    if (!fits_record(name, cwd)) {
      std::free(cwd);
      std::fclose(opened);
      return -1;
    }
    record(name, cwd, opened, mode);
    std::free(cwd);
  }
  *stream = opened;
  return 0;
}

}  // namespace

extern "C" {

int zkfile_open(const char *name, FILE **stream, const char *mode) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (stream == nullptr) return -1;
    *stream = nullptr;
    hestrel::zkfile::ensure_search_path();
    if (name == nullptr || mode == nullptr) return -1;
    if (file_info_open >= ZKFILE_MAX_OPEN_FILES) {
      raise(ZKERR_FATAL,
            "ZKFILE: attempt to have more than " + std::to_string(ZKFILE_MAX_OPEN_FILES) + " files open at once\n");
      return -1;
    }
    if (std::strlen(mode) >= sizeof file_info[0].mode) {
      raise(ZKERR_WARNING, "ZKFILE: file mode longer than 15 characters cannot be tracked\n");
      return -1;
    }
    if (*name != '\0' && zkfile_path_is_absolute(name) == 0) return open_absolute(name, stream, mode);
    if (std::strchr(mode, 'r') != nullptr) return open_for_reading(name, stream, mode);
    return open_in_working_directory(name, stream, mode);
  });
}

int zkfile_close(FILE *stream) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (stream == nullptr) {
      raise(ZKERR_FATAL, "ZKFILE: null file pointer\n");
      return -1;
    }
    int at = find_record(stream);
    if (at < 0) return -1;
    std::fclose(stream);
    for (int next = at + 1; next < file_info_open; ++next) file_info[next - 1] = file_info[next];
    --file_info_open;
    file_info_struct &freed = file_info[file_info_open];
    freed.name[0] = '\0';
    freed.dir[0] = '\0';
    freed.mode[0] = '\0';
    freed.stream = nullptr;
    return 0;
  });
}

int zkfile_file_get_path(FILE *stream, char *buffer, size_t size) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    // Not even the empty text fits a missing or zero-sized buffer.
    if (buffer == nullptr || size == 0) {
      raise(ZKERR_FATAL, "ZKFILE: buffer too small for intended use\n");
      return -1;
    }
    buffer[0] = '\0';
    if (stream == nullptr) {
      raise(ZKERR_FATAL, "ZKFILE: null file pointer\n");
      raise(ZKERR_FATAL, "ZKFILE: file pointer does not match any open files\n");
      return -1;
    }
    int at = find_record(stream);
    if (at < 0) {
      raise(ZKERR_FATAL, "ZKFILE: file pointer does not match any open files\n");
      return -1;
    }
    const file_info_struct &entry = file_info[at];
    std::size_t name_length = std::strlen(entry.name);
    std::size_t dir_length = std::strlen(entry.dir);
    if (name_length + dir_length + 2 > size) {
      raise(ZKERR_FATAL, "ZKFILE: buffer too small for intended use\n");
      return -1;
    }
    std::memcpy(buffer, entry.dir, dir_length);
    buffer[dir_length] = '/';
    std::memcpy(buffer + dir_length + 1, entry.name, name_length + 1);
    return 0;
  });
}

int zkfile_dir_current_push(void) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    char *cwd = nullptr;
    if (zkfile_dir_current_get(&cwd) != 0 || cwd == nullptr) return -1;
    dir_stack().emplace_back(cwd);
    std::free(cwd);
    return 0;
  });
}

int zkfile_dir_current_pop(void) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    std::vector<std::string> &stack = dir_stack();
    if (stack.empty()) {
      raise(ZKERR_INFO, "ZKFILE: attempt to pop current directory from empty stack\n");
      return -1;
    }
    std::string top = std::move(stack.back());
    stack.pop_back();
    return change_back(top);
  });
}

int zkfile_dir_current_set(const char *dir) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (dir == nullptr || std::strlen(dir) >= PATH_MAX) return -1;
    char buffer[PATH_MAX];
    std::strcpy(buffer, dir);
    if (zkfile_dir_expand_buffer(buffer, PATH_MAX) != 0) return -1;
    if (buffer[0] == '\0') return -1;
    for (char *at = buffer; *at != '\0'; ++at)
      if (*at == '\\') *at = '/';
    return chdir(buffer) == 0 ? 0 : -1;
  });
}

}  // extern "C"
