// The per-user directories: home, another user's home, application data
// with its release and temporary subdirectories, desktop, documents.
#include <pwd.h>
#include <sys/types.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "errors/internal/boundary.hpp"
#include "pelmoravine_path.hpp"
#include "zkerr.h"
#include "zkfile/internal/report.hpp"
#include "zkfile_dirs.h"
#include "zkfile_release.hpp"

namespace {

using hestrel::zkfile::fits_path_limit;
using hestrel::zkfile::join;

constexpr mode_t private_dir_mode = 0755;

// Hands a text to a C caller; -1 when no copy can be had.
int deliver(const std::string &text, char **out) {
  *out = strdup(text.c_str());
  if (*out) return 0;
  hestrel::note_allocation_failure();
  return -1;
}

// The per-user application-data directory's name, not yet created.
std::string appdata_name() {
  if (const char *override_dir = std::getenv("PELMORAVINE_APPDATA_OVERRIDE")) return override_dir;
  return join(pelmoravine::path::home(), ".pelmoravine");
}

// A subdirectory of the application-data directory. An empty application
// directory means the working directory, so its subdirectory is the bare
// name below it, not the same name at the filesystem root.
std::string appdata_child(const std::string &appdata, const std::string &name) {
  if (appdata.empty()) return name;
  return appdata + '/' + name;
}

int appdata_dir(char **out) {
  if (!out) return -1;
  *out = nullptr;
  try {
    const std::string dir = appdata_name();
    if (zkfile_mkdir(dir.c_str(), private_dir_mode) != 0) return -1;
    return deliver(dir, out);
  } catch (...) {
    hestrel::note_allocation_failure();
    return -1;
  }
}

}  // namespace

extern "C" {

int zkfile_initialize(void) { return 0; }

void zkfile_terminate(void) {}

int zkfile_dir_home(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    try {
      deliver(pelmoravine::path::home(), out);
    } catch (...) {
    }
    return 0;
  });
}

int zkfile_dir_user_home(const char *user, char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    if (!user || !*user) {
      failure("zkfile_dir_user_home: null user name given\n");
      return -1;
    }
    const struct passwd *entry = getpwnam(user);
    if (entry && entry->pw_dir) *out = strdup(entry->pw_dir);
    if (!*out) {
      failure("zkfile_dir_user_home: Unable to get home directory for user '%s'\n", user);
      return -1;
    }
    return 0;
  });
}

int zkfile_pelmoravine_appdata_dir(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int { return appdata_dir(out); });
}

int zkfile_pelmoravine_local_appdata_dir(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int { return appdata_dir(out); });
}

int zkfile_pelmoravine_userdata_dir(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int { return appdata_dir(out); });
}

int zkfile_get_appdata_release_dir(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    char *appdata = nullptr;
    if (appdata_dir(&appdata) != 0) return -1;
    try {
      const std::string dir = appdata_child(appdata, pelmoravine::release_name());
      std::free(appdata);
      if (zkfile_file_exists(dir.c_str(), 1) != 0 && zkfile_mkdir(dir.c_str(), private_dir_mode) != 0) return -1;
      return deliver(dir, out);
    } catch (...) {
      std::free(appdata);
      return -1;
    }
  });
}

int zkfile_appdata_release_dir(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    zklog_deprecation_warning(__FILE__, __LINE__, "zkfile_appdata_release_dir", "%s function is deprecated for %s\n",
                              "zkfile_appdata_release_dir", "zkfile_get_appdata_release_dir");
    return zkfile_get_appdata_release_dir(out);
  });
}

int zkfile_get_pelmoravine_temp(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    try {
      std::string dir;
      if (const char *tmpdir = std::getenv("PELMORAVINE_TMPDIR")) {
        dir = tmpdir;
      } else {
        char *appdata = nullptr;
        if (appdata_dir(&appdata) != 0) {
          failure("zkfile_get_pelmoravine_temp: Unable to get local appdata directory\n");
          return -1;
        }
        dir = appdata_child(appdata, "tmp");
        std::free(appdata);
      }
      if (!fits_path_limit(dir.size())) {
        failure("zkfile_get_pelmoravine_temp: temporary directory does not fit in %zu bytes: %s\n",
                hestrel::zkfile::path_limit, dir.c_str());
        return -1;
      }
      if (zkfile_mkdir(dir.c_str(), private_dir_mode) != 0) return -1;
      return deliver(dir, out);
    } catch (...) {
      hestrel::note_allocation_failure();
      return -1;
    }
  });
}

int zkfile_get_desktop_dir(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    try {
      return deliver(join(pelmoravine::path::home(), "Desktop"), out);
    } catch (...) {
      return -1;
    }
  });
}

int zkfile_get_mydocuments_dir(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    try {
#if defined(__APPLE__)
      return deliver(join(pelmoravine::path::home(), "Documents"), out);
#else
      return deliver(pelmoravine::path::home(), out);
#endif
    } catch (...) {
      return -1;
    }
  });
}

int zkfile_get_mynetworkplaces_dir(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (!out) return -1;
    *out = nullptr;
    return 0;
  });
}

}  // extern "C"
