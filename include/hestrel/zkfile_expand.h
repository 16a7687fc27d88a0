/* Path variable expansion: a leading "~" or "~user", and "$NAME" for
 * environment variables and the per-user application-data directory. */
#ifndef HESTREL_ZKFILE_EXPAND_H
#define HESTREL_ZKFILE_EXPAND_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Expands the NUL-terminated text in buffer (size bytes) in place. -1 with
 * the buffer untouched for NULL, size < 1, an empty text or one of the path
 * limit or more; -1 with the pieces appended so far when the result would
 * exceed size - 1 characters or a variable name exceeds 127 characters.
 * Otherwise 0, or -1 when the last user lookup or application-data lookup
 * failed. */
HESTREL_API int zkfile_dir_expand_buffer(char *buffer, int size);

/* Delivers the expansion of text in a malloc'd block (*out, freed by the
 * caller). -1 with *out NULL for NULL arguments, no memory or a variable
 * name over 127 characters; else the result code as above, the text
 * delivered also when a lookup failed. */
HESTREL_API int zkfile_dir_expand(const char *text, char **out);

#ifdef __cplusplus
}
#endif

#endif
