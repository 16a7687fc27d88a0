/* Fortran-callable twins of the token lists, the tokenizer and the glob
 * match: integers by reference, texts as NUL-terminated C strings. */
#ifndef HESTREL_ZKTOKEN_FORTRAN_H
#define HESTREL_ZKTOKEN_FORTRAN_H

#include "hestrel_export.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Each returns what its C-callable function returns (zktoken.h,
 * zktoken_glob.h) as its own result, with no status argument. Every text a
 * Fortran caller passes must end in a NUL (// char(0)): no hidden length is
 * read, except by zktokenf_get_token_. */
HESTREL_API int zktokenf_initialize_(void); /* 0 */
HESTREL_API void zktokenf_terminate_(void);
HESTREL_API int zktokenf_new_(int *handle, const char *line, const char *separators, const char *pairs,
                              const char *comments, const char *escapes, const char *specials);
HESTREL_API int zktokenf_delete_(const int *handle);
HESTREL_API int zktokenf_delete_token_(const int *handle, const int *index);
HESTREL_API int zktokenf_clear_(const int *handle);
HESTREL_API int zktokenf_copy_(const int *dest, const int *source);
HESTREL_API int zktokenf_merge_(const int *dest, const int *source);
HESTREL_API int zktokenf_copyn_(const int *dest, const int *source, const int *width, const int *left_justify,
                                const int *offset);
HESTREL_API int zktokenf_mergen_(const int *dest, const int *source, const int *width, const int *left_justify,
                                 const int *offset);
HESTREL_API int zktokenf_add_(const int *handle, const char *string);
HESTREL_API int zktokenf_addn_(const int *handle, const char *string, const int *width, const int *left_justify,
                               const int *offset);
HESTREL_API int zktokenf_replace_(const int *handle, const int *index, const char *string);
/* The rebuilt line, malloc'd: the caller's to free; NULL on failure. */
HESTREL_API char *zktokenf_get_string_(const int *handle);
HESTREL_API int zktokenf_num_(const int *handle);
/* A subroutine: copies the token into buffer and fills the rest with NULs,
 * up to the smaller of 255 and buffer_length (the hidden length); a token
 * that does not fit is a WARNING and leaves that much of the buffer NULs, as
 * does a bad handle or index. */
HESTREL_API void zktokenf_get_token_(const int *handle, const int *index, char *buffer, size_t buffer_length);
HESTREL_API int zktokenf_find_type_(const int *handle, const int *index);
HESTREL_API int zktokenf_get_int_(const int *handle, const int *index, int *value);
HESTREL_API int zktokenf_get_double_(const int *handle, const int *index, double *value);
HESTREL_API int zktokenf_regex_compile_(const int *handle);
/* No trailing underscore: gfortran reaches it through an interface with
 * bind(C, name="zktokenf_regex_index"). */
HESTREL_API int zktokenf_regex_index(const int *handle, const char *string);
HESTREL_API int zktokenf_index_(const int *handle, const char *string);
HESTREL_API int zktokenf_indexn_(const int *handle, const char *string, const int *n);
HESTREL_API void zktokenf_toupper_(const int *handle);
HESTREL_API void zktokenf_tolower_token_(const int *handle, const int *index);

#ifdef __cplusplus
}
#endif

#endif
