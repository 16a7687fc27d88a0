/* Fortran-callable twins of the search-path, lookup, expansion, path
 * conversion and DOS-text services: arguments by reference, then one hidden
 * size_t length per character argument, by value. */
#ifndef HESTREL_ZKFILE_FORTRAN_H
#define HESTREL_ZKFILE_FORTRAN_H

#include "hestrel_export.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Character inputs lose their trailing blanks (and anything from a NUL on).
 * Character outputs are blank-padded; a result longer than the argument is
 * cut to its length, *ierr becomes -1 and a FATAL message is raised, so no
 * twin writes past an argument. *ierr gets the called function's status
 * (0 success, -1 failure); failures are reported on handle -1. */

HESTREL_API void zkfilef_initialize_(void *any, int *ierr); /* *ierr = 0 */
HESTREL_API void zkfilef_terminate_(void);
HESTREL_API void zkfilef_path_clear_(int *ierr);
HESTREL_API void zkfilef_path_set_(const char *cpath, int *ierr, size_t cpath_len);
HESTREL_API void zkfilef_path_add_(const char *cpath, int *ierr, size_t cpath_len);
HESTREL_API void zkfilef_path_get_(char *fpath, int *ierr, size_t fpath_len);
HESTREL_API void zkfilef_path_add_cwd_(int *ierr);
HESTREL_API void zkfilef_path_add_home_(int *ierr);
/* Converts cpath in place; a text of PATH_MAX characters or more is refused
 * with *ierr -1 and a FATAL message, cpath untouched. */
HESTREL_API void zkfilef_path_localize_(char *cpath, int *ierr, size_t cpath_len);
HESTREL_API void zkfilef_find_(const char *cname, const int *itype, char *fpath, int *ierr, size_t cname_len,
                               size_t fpath_len);
HESTREL_API void zkfilef_dir_expand_(const char *cname, char *fpath, int *ierr, size_t cname_len, size_t fpath_len);
HESTREL_API void zkfilef_exists_(const char *cname, const int *itype, int *ierr, size_t cname_len);
/* A relative path is a failure: *ierr -1. */
HESTREL_API void zkfilef_path_is_absolute_(const char *cname, int *ierr, size_t cname_len);
HESTREL_API void zkfilef_dos_to_unix_register_(const char *name, int *ierr, size_t name_len);
HESTREL_API void zkfilef_dos_to_unix_convert_(int *ierr);
HESTREL_API void zkfilef_dos_to_unix_(const char *name, int *ierr, size_t name_len);

#ifdef __cplusplus
}
#endif

#endif
