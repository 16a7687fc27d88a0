// The process's working directory as a C-callable query.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "errors/internal/boundary.hpp"
#include "zkerr.h"
#include "zkfile/internal/report.hpp"
#include "zkfile_dirs.h"

extern "C" int zkfile_dir_current_get(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    try {
      std::error_code ec;
      const std::filesystem::path current = std::filesystem::current_path(ec);
      if (ec) {
        zkerr_throw(errHand_zkfile, ZKERR_FATAL, "zkfile_dir_current_get: current_path %s", ec.message().c_str());
        return -1;
      }
      *out = strdup(current.c_str());
    } catch (...) {
      *out = nullptr;
    }
    return *out ? 0 : -1;
  });
}
