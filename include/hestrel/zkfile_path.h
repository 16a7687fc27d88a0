/* Path components: joining, splitting and slash conversion of '/'-separated
 * paths as plain text; nothing here touches the file system. */
#ifndef HESTREL_ZKFILE_PATH_H
#define HESTREL_ZKFILE_PATH_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Every text returned here is malloc'd; release it with free or
 * zkfile_free_component_string. NULL means "no text" or no memory. */

/* dir and name joined by one '/' at the seam (only one '/' is added or
 * dropped there). An empty or NULL side gives a copy of the other; both
 * empty or NULL give NULL. */
HESTREL_API char *zkfile_add_component(const char *dir, const char *name);
/* The text after the last '/' (the whole path without '/'; the empty text
 * after a trailing '/'). NULL for a NULL or empty path. */
HESTREL_API char *zkfile_get_last_component(const char *path);
/* The path cut at its last '/', or the empty text without '/'. NULL for a
 * NULL or empty path. */
HESTREL_API char *zkfile_remove_component(const char *path);
/* Releases a text of these functions; NULL does nothing. */
HESTREL_API void zkfile_free_component_string(char *text);
/* Splits path (cut at its first newline) into its directory and its last
 * name; each is malloc'd or NULL. "/" alone gives the directory "/" and no
 * name. A NULL dir or name pointer is allowed: that part is not delivered. */
HESTREL_API void zkfile_parse_path(const char *path, char **dir, char **name);
/* Turns every '\\' of the NUL-terminated path into '/' in place. -1 for a
 * NULL or empty path or a size below 2, else 0. */
HESTREL_API int zkfile_path_localize(char *path, int size);
/* The same operation as zkfile_path_localize. */
HESTREL_API int zkfile_path_to_unix(char *path, int size);

#ifdef __cplusplus
}
#endif

#endif
