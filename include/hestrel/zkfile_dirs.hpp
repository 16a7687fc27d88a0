// C++ side of the well-known directories: the configuration directory and
// the directories by their DirectoryName value.
#ifndef HESTREL_ZKFILE_DIRS_HPP
#define HESTREL_ZKFILE_DIRS_HPP

#include "hestrel_export.h"

#include <string>

#include "zkfile_dirs.h"

// The installation root joined with "config" ("config" alone when PELMORAVINE
// is unset); neither tested for nor created.
HESTREL_API std::string zkfile_get_config_dir();

// The directory named by which. Throws std::runtime_error "Failure from
// method getting path" for a value outside 1 to 8, DIR_MYNETWORKPLACES, or a
// query that fails.
HESTREL_API std::string zkfile_get_directory_path(DirectoryName which);

#endif
