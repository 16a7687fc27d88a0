/* Releases of the suite: the name of the current release for C callers. */
#ifndef HESTREL_ZKFILE_RELEASE_H
#define HESTREL_ZKFILE_RELEASE_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Stores a new copy of the current release name ("2025-4") in *out, freed
 * by the caller with free, and returns 0; *out is NULL when no memory was to
 * be had. A NULL out gives -1. */
HESTREL_API int zkfile_get_release_name(char **out);

#ifdef __cplusplus
}
#endif

#endif
