// The file-type test of the file services: regular file or directory,
// symbolic links followed.
#include <sys/stat.h>

#include "errors/internal/boundary.hpp"
#include "zkfile_dirs.h"

extern "C" int zkfile_file_exists(const char *path, int type) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!path) return -1;
    struct stat st;
    if (stat(path, &st) != 0) return -1;
    if (type == 0) return S_ISREG(st.st_mode) ? 0 : -1;
    if (type == 1) return S_ISDIR(st.st_mode) ? 0 : -1;
    return -1;
  });
}
