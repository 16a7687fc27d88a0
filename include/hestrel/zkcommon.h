/* Small shared services: shell quoting that keeps wildcards active, a line
 * reader that survives interruptions, two setup questions, the support text. */
#ifndef HESTREL_ZKCOMMON_H
#define HESTREL_ZKCOMMON_H

#include "hestrel_export.h"

#include <stdio.h>

#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Rewrites text in place (size: capacity of its buffer) so that every run of
 * characters other than '?' and '*' stands in double quotes, with '"', '$',
 * '`' and '\\' escaped by a backslash inside them; the wildcards stay
 * outside. 0, or -1 with text unchanged: NULL or empty text, a text ending
 * in '/' or '\\', a result that does not fit in size bytes or the path
 * limit, no memory. */
HESTREL_API int zkcommon_prepare_str_for_shell(char *text, int size);

/* fgets, retried while it fails with EINTR; the result of the last fgets
 * (NULL at the end of the stream or on another error). A NULL buffer or
 * stream gives NULL with errno EINVAL. */
HESTREL_API char *fgets_safe(char *buffer, int size, FILE *stream);

/* 1 when ".Kordavin_web_access_file" exists (links followed) in the per-user
 * data directory, else 0 (also when that directory cannot be had). */
HESTREL_API int zkcommon_web_access_allowed(void);

/* Whether the ulvastro product directory exists, as found by the first call
 * in the process; later calls repeat that answer. */
HESTREL_API bool zkcommon_display_ulvastro(void);

/* Stores in *out a malloc'd copy of the request to report a problem to the
 * support centre (ends with ':', no line feed); the caller frees it. 0, or
 * -1 when out is NULL or no memory (*out NULL then). */
HESTREL_API int zkfile_get_pelmoravine_support_error_mesg(char **out);

#ifdef __cplusplus
}
#endif

#endif
