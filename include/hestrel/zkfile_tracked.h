/* Tracked files and the directory stack: streams opened through the search
 * path with their directories remembered, and saved working directories. */
#ifndef HESTREL_ZKFILE_TRACKED_H
#define HESTREL_ZKFILE_TRACKED_H

#include "hestrel_export.h"

#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* At most this many recorded streams at once. */
#define ZKFILE_MAX_OPEN_FILES 100

/* Opens name with mode and records the stream with its directory. A relative
 * name opened with a mode containing 'r' is looked up along the search path.
 * 0, or -1 with *stream NULL (also for a NULL argument, and with a WARNING
 * for a recorded name over 255 characters, a directory of PATH_MAX
 * characters or more, or a mode over 15 characters: these are refused before
 * anything opens, except a working directory too long to record, found only
 * after a relative open with a mode without 'r', whose stream is then closed
 * again). When the working directory cannot be read after such an open, the
 * stream is delivered unrecorded and the result is 0. */
HESTREL_API int zkfile_open(const char *name, FILE **stream, const char *mode);
/* Closes a recorded stream and forgets it; 0. -1 for NULL (FATAL) or a
 * stream not recorded (left open, no message). */
HESTREL_API int zkfile_close(FILE *stream);
/* Writes the recorded directory, '/' and name of stream into buffer of size
 * bytes; 0, or -1 with a FATAL message (buffer then holds the empty text
 * when size allows). */
HESTREL_API int zkfile_file_get_path(FILE *stream, char *buffer, size_t size);
/* Saves the working directory on the directory stack; 0, or -1. */
HESTREL_API int zkfile_dir_current_push(void);
/* Changes back to the directory on top of the stack, exactly as it was
 * saved (neither expanded nor with '\\' turned into '/'), and removes it;
 * the result of the change (0 or -1), -1 with an INFO for an empty stack. */
HESTREL_API int zkfile_dir_current_pop(void);
/* Expands dir and makes it the working directory; 0, or -1 (NULL, PATH_MAX
 * characters or more, failed expansion, empty result, change refused). */
HESTREL_API int zkfile_dir_current_set(const char *dir);

#ifdef __cplusplus
}
#endif

#endif
