/* DOS text conversion (CR LF line ends to LF, in place) and removal of a
 * file or a whole directory tree. Messages go to the default handle -1. */
#ifndef HESTREL_ZKFILE_DOS_H
#define HESTREL_ZKFILE_DOS_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 0 when the file's first line (at most PATH_MAX - 1 bytes of it) holds a
 * carriage return; -1 otherwise, also for an empty or unopenable file. The
 * path is opened as given; the search path is not used. */
HESTREL_API int zkfile_is_dosfile(const char *path);

/* Converts a DOS file in place: every CR before an LF is dropped and a CR
 * that ends the file becomes an LF; every other byte stays. 0 when converted
 * or when there was nothing to do (not found along the search path, not
 * openable, not a DOS file). The converted copy "<path>.tmp", carrying the
 * file's permission bits, replaces the file in one rename, so the original
 * stays intact until then. -1 after a FATAL report when that fails. */
HESTREL_API int zkfile_dos_to_unix(const char *path);

/* Registration keeps nothing: 0, and the conversion has nothing to do: 0. */
HESTREL_API int zkfile_dos_to_unix_register(const char *path);
HESTREL_API int zkfile_dos_to_unix_convert(void);

/* Removes a regular file (a link to one is removed itself) or a directory
 * with everything below it; a relative path is taken from the working
 * directory, '\\' counts as '/'. 0 on success. -1 with a FATAL report for
 * NULL or a failed tree removal, with a WARNING for the empty path (nothing
 * is removed), a path of PATH_MAX characters or more once made absolute, or
 * a failed unlink (errno as unlink left it); -1 silently for a path naming
 * nothing or neither a regular file nor a directory. */
HESTREL_API int zkfile_rm_recursive(const char *path);

#ifdef __cplusplus
}
#endif

#endif
