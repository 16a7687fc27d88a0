/* Directory listings: a directory read entry by entry through an integer
 * handle, optionally filtered by a regular expression on the entry names. */
#ifndef HESTREL_ZKFILE_LISTING_H
#define HESTREL_ZKFILE_LISTING_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens a listing of path: 0 with *handle set, or -1 with *handle -1 after
 * the line "opendir: Unable to open \"<path>\"" on standard output. A NULL
 * path or handle pointer is refused with -1 and a WARNING on handle -1.
 * Handles reuse the highest-numbered free slot. */
HESTREL_API int zkfile_open_directory(int *handle, const char *path);

/* Sets the listing's filter (an entry is accepted when the expression matches
 * somewhere in its name). The empty text keeps the filter there is; a filter
 * that does not compile leaves the listing unfiltered and gives -1 (INFO).
 * A handle that names no open listing or a NULL regex: -1 and a WARNING. */
HESTREL_API int zkfile_set_dir_filter(int handle, const char *regex);

/* Copies the next accepted entry name ("." and ".." are skipped) with its
 * NUL into buffer: 0; -2 at the end of the listing; -1 when the name does not
 * fit in size bytes (the entry is consumed). -1 and a WARNING for a handle
 * that names no open listing, a NULL buffer, or an entry name of 256 bytes or
 * more (errno E2BIG; the entry is consumed and the next call reads on). */
HESTREL_API int zkfile_get_next_file(int handle, char *buffer, int size);

/* Ends the listing and frees its slot: 0, or -1 with a WARNING for a handle
 * that names no open listing. */
HESTREL_API int zkfile_close_directory(int handle);

#ifdef __cplusplus
}
#endif

#endif
