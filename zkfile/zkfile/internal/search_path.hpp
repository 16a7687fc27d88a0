// The process-wide search path as the tracked-file opener sees it: the
// one-time set-up and the directory of the last successful relative lookup.
#ifndef HESTREL_ZKFILE_INTERNAL_SEARCH_PATH_HPP
#define HESTREL_ZKFILE_INTERNAL_SEARCH_PATH_HPP

namespace hestrel::zkfile {

// Builds the search path with its defaults the first time it is called in
// the process; later calls do nothing. Safe when first calls race.
void ensure_search_path();

// The directory in which the last relative lookup found its name, or NULL
// when that lookup was absolute or failed. Valid until the path changes.
const char *found_search_directory();

}  // namespace hestrel::zkfile

#endif
