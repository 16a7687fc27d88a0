// Releases of the suite for C++ callers: the known releases, newest first,
// and the current release name. Both are built once and never change.
#ifndef HESTREL_ZKFILE_RELEASE_HPP
#define HESTREL_ZKFILE_RELEASE_HPP

#include "hestrel_export.h"

#include <string>
#include <vector>

#include "zkfile_release.h"

// The 52 known releases, newest first; entry 0 is the current release. The
// same object on every call, valid until the process exits.
HESTREL_API const std::vector<std::string> &zkfile_get_past_release_names();

namespace pelmoravine {

// The current release name, "2025-4"; the same object on every call.
HESTREL_API const std::string &release_name();

}  // namespace pelmoravine

#endif
