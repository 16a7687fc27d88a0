/* Search path and file lookup: the one process-wide list of directories
 * along which the file services find data files by name. */
#ifndef HESTREL_ZKFILE_SEARCH_H
#define HESTREL_ZKFILE_SEARCH_H

#include "hestrel_export.h"

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 0 means success or yes, -1 failure or no. The first search-path operation
 * of the process sets the path up with "." and template 2 below. None of
 * these is safe against a second thread using the path at the same time. */

/* Appends the ':'-separated directories of path (each expanded, '\\' turned
 * into '/'); empty parts and texts already present are skipped. -1 with a
 * WARNING for NULL or the empty text, and for a part that is, or expands
 * to, PATH_MAX characters or more or that cannot be expanded whole (then
 * nothing is added). The caller's own strtok scan is not disturbed. */
HESTREL_API int zkfile_path_add(const char *path);
/* zkfile_path_clear, then zkfile_path_add(path); returns what the add does. */
HESTREL_API int zkfile_path_set(const char *path);
/* Empties the search path; 0. */
HESTREL_API int zkfile_path_clear(void);
/* Delivers in *out a malloc'd text of the directories joined by ':' (the
 * empty text for an empty list); 0. -1 for a NULL out or no memory. */
HESTREL_API int zkfile_path_get(char **out);
/* Prints a header line and one line per directory on stream; 0. -1 for a
 * NULL stream. */
HESTREL_API int zkfile_path_print(FILE *stream);
/* Appends the working directory unless present; -1 when it cannot be read. */
HESTREL_API int zkfile_path_add_cwd(void);
/* Appends the home directory unless present; 0. */
HESTREL_API int zkfile_path_add_home(void);
/* 0 when name is a regular file (type 0) or a directory (type 1), looked up
 * along the search path for a relative name, tested directly for an absolute
 * one; -1 otherwise and for a NULL name. A relative lookup with an empty
 * search path raises a FATAL message. */
HESTREL_API int zkfile_exists(const char *name, int type);
/* As zkfile_exists; on success *out is the malloc'd full path, else NULL.
 * -1 for a NULL out. */
HESTREL_API int zkfile_find(const char *name, int type, char **out);
/* 0 when path begins with '/' or '\\' or a letter and ':'; -1 otherwise,
 * also for NULL or the empty text. */
HESTREL_API int zkfile_path_is_absolute(const char *path);
/* Search-path template id (0 to 9), constant text not to be freed; NULL for
 * other ids. */
HESTREL_API const char *zkfile_get_constant(int id);
HESTREL_API const char *_zkfile_get_constant(int id);
/* The path separator, '/'. */
HESTREL_API char zkfile_get_filesep_char(void);
HESTREL_API char _zkfile_get_filesep_char(void);

#ifdef __cplusplus
}
#endif

#endif
