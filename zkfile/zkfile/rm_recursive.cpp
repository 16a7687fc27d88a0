// Removal of a regular file or a whole directory tree, with relative paths
// taken from the working directory.
#include "zkfile_dos.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <string>

#include <boost/filesystem.hpp>

#include "errors/internal/boundary.hpp"
#include "zkerr.h"
#include "zkfile/internal/report.hpp"
#include "zkfile_dirs.h"
#include "zkfile_search.h"

extern "C" int zkfile_rm_recursive(const char *path) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (path == nullptr) {
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s", "zkfile_rm_recursive: Null path.\n");
      return -1;
    }
    // Made absolute, the empty path would name the working directory itself.
    if (path[0] == '\0') {
      failure("%s", "zkfile_rm_recursive: Empty path refused.\n");
      return -1;
    }
    std::string full;
    if (zkfile_path_is_absolute(path) != 0) {
      char *cwd = nullptr;
      if (zkfile_dir_current_get(&cwd) != 0) return -1;
      full = std::string(cwd) + "/";
      std::free(cwd);
    }
    full += path;
    if (full.size() > PATH_MAX - 1) {
      failure("zkfile_rm_recursive: path too long: %s\n", full.c_str());
      return -1;
    }
    std::replace(full.begin(), full.end(), '\\', '/');

    errno = 0;
    boost::system::error_code ec;
    boost::filesystem::file_status status = boost::filesystem::status(full, ec);
    if (status.type() == boost::filesystem::directory_file) {
      errno = 0;
      try {
        boost::filesystem::remove_all(full);
        return 0;
      } catch (const std::exception &error) {
        zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s", error.what());
        return -1;
      }
    }
    if (status.type() != boost::filesystem::regular_file) return -1;
    if (unlink(full.c_str()) != 0) {
      int saved = errno;
      failure("zkfile_rm_recursive: unlink failed: %s", full.c_str());
      errno = saved;
      return -1;
    }
    return 0;
  });
}
