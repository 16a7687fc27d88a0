// Directory creation with missing parents: the leaf gets the caller's mode,
// parents the default mode less the process's file-creation mask.
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

#include "errors/internal/boundary.hpp"
#include "zkfile/internal/report.hpp"
#include "zkfile_dirs.h"

namespace {

using hestrel::zkfile::fits_path_limit;
using hestrel::zkfile::path_limit;

bool is_absolute(const char *path) {
  return path[0] == '/' || path[0] == '\\' || (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':');
}

// mkdir with 0777 lets the system apply the file-creation mask itself, so
// the mask is never changed, not even for a moment.
constexpr mode_t creation_mode = 0777;

int fail_creation(const std::string &full, int error) {
  failure("zkfile_mkdir: zkfile_mkdir_recursive failed: %s : %s\n", full.c_str(), std::strerror(error));
  errno = error;
  return -1;
}

bool is_directory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int finish_leaf(const std::string &full, mode_t mode) {
  chmod(full.c_str(), mode);
  return 0;
}

}  // namespace

extern "C" int zkfile_mkdir(const char *path, mode_t mode) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!path) {
      failure("zkfile_mkdir: Null path\n");
      return -1;
    }
    std::string full;
    if (is_absolute(path)) {
      full = path;
    } else {
      char cwd[path_limit];
      if (!getcwd(cwd, sizeof cwd)) {
        failure("zkfile_mkdir: getcwd failed: %s: %s\n", path, std::strerror(errno));
        return -1;
      }
      full = std::string(cwd) + '/' + path;
    }
    if (!fits_path_limit(full.size())) {
      // Refused whole: a path cut to the limit would name another directory.
      failure("zkfile_mkdir: path does not fit in %zu bytes: %s\n", path_limit, full.c_str());
      errno = ENAMETOOLONG;
      return -1;
    }
    for (char &c : full)
      if (c == '\\') c = '/';

    errno = 0;
    if (mkdir(full.c_str(), creation_mode) == 0) return finish_leaf(full, mode);
    int error = errno;

    // Climb towards the root until a directory can be made. A directory that
    // turns out to exist already on the way (made by someone else meanwhile)
    // is a starting point as good as one made here; anything else that exists
    // there (a dangling link) leaves the original ENOENT standing, instead of
    // a success for a directory that was never made.
    std::string tried = full;
    while (error == ENOENT) {
      const std::size_t cut = tried.rfind('/');
      if (cut == std::string::npos) return fail_creation(full, ENOENT);
      tried.resize(cut);
      if (mkdir(tried.c_str(), creation_mode) == 0) {
        error = 0;
        break;
      }
      error = errno;
      if (error == EEXIST) {
        if (!is_directory(tried)) return fail_creation(full, ENOENT);
        error = 0;
        break;
      }
    }
    if (error == EEXIST) return 0;
    if (error != 0) return fail_creation(full, error);

    // Put the removed components back one at a time; empty ones (a doubled or
    // trailing '/') need no directory of their own. One that appeared
    // meanwhile is used as it is; the leaf then keeps its own mode.
    std::size_t done = tried.size();
    while (done < full.size()) {
      std::size_t next = full.find('/', done + 1);
      if (next == std::string::npos) next = full.size();
      if (next > done + 1) {
        const std::string component = full.substr(0, next);
        if (mkdir(component.c_str(), creation_mode) != 0) {
          error = errno;
          if (error != EEXIST) return fail_creation(full, error);
          if (next == full.size()) return 0;
        }
      }
      done = next;
    }
    return finish_leaf(full, mode);
  });
}
