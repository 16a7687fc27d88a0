// The well-known directories for C++ callers, by DirectoryName, and the
// installation's configuration directory.
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "pelmoravine_path.hpp"
#include "zkfile/internal/report.hpp"
#include "zkfile_dirs.h"
#include "zkfile_dirs.hpp"

std::string zkfile_get_config_dir() { return hestrel::zkfile::join(pelmoravine::path::pelmoravine_dir(), "config"); }

std::string zkfile_get_directory_path(DirectoryName which) {
  static const char *const no_path = "Failure from method getting path";
  int (*query)(char **) = nullptr;
  switch (static_cast<int>(which)) {
    case DIR_HOME:
      return pelmoravine::path::home();
    case DIR_APPDATA:
      query = zkfile_pelmoravine_appdata_dir;
      break;
    case DIR_LOCAL_APPDATA:
      query = zkfile_pelmoravine_local_appdata_dir;
      break;
    case DIR_USERDATA:
      query = zkfile_pelmoravine_userdata_dir;
      break;
    case DIR_TEMP:
      query = zkfile_get_pelmoravine_temp;
      break;
    case DIR_DESKTOP:
      query = zkfile_get_desktop_dir;
      break;
    case DIR_MYDOCUMENTS:
      query = zkfile_get_mydocuments_dir;
      break;
    case DIR_MYNETWORKPLACES:
      query = zkfile_get_mynetworkplaces_dir;
      break;
    default:
      throw std::runtime_error(no_path);
  }
  char *slot = nullptr;
  const int status = query(&slot);
  if (status != 0 || !slot) {
    std::free(slot);
    throw std::runtime_error(no_path);
  }
  std::string result;
  try {
    result = slot;
  } catch (...) {
    std::free(slot);
    throw;
  }
  std::free(slot);
  return result;
}
