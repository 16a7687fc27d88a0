// The file-name split shared by the path-component functions and the
// open-file table: a path's directory part and its last name.
#ifndef HESTREL_ZKFILE_INTERNAL_PATH_SPLIT_HPP
#define HESTREL_ZKFILE_INTERNAL_PATH_SPLIT_HPP

namespace hestrel::zkfile {

// Delivers the malloc'd directory and name parts of path (cut at its first
// newline), each NULL when absent. Both outputs must be valid pointers.
void split_path(const char *path, char **dir, char **name);

}  // namespace hestrel::zkfile

#endif
