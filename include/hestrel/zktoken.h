/* Token lists: ordered lists of heap strings named by int handles, made from
 * a line by the tokenizer and then read, edited, merged and re-joined. */
#ifndef HESTREL_ZKTOKEN_H
#define HESTREL_ZKTOKEN_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Handles count from 0 into one process-wide table; a new list takes the
 * highest free slot. Unless noted, functions return 0 on success and -1 on
 * failure; a bad handle or index is reported at WARNING on handle -1 and
 * leaves the list unchanged. Nothing here is thread-safe. */

/* Returns 0; nothing else. */
HESTREL_API int zktoken_initialize(void);
/* Does nothing. */
HESTREL_API void zktoken_terminate(void);

/* Makes a new list from one line, stores its handle in *handle and returns
 * 0. Only a NULL handle pointer (nothing made) and a table that cannot grow
 * (*handle set to -1, FATAL report) give -1. separators NULL
 * means " ,\t"; every other NULL class means the empty set. pairs holds
 * opener/closer characters two by two. Problems are reported and end the
 * tokenizing early; the list keeps the tokens found so far. */
HESTREL_API int zktoken_new(int *handle, const char *line, const char *separators, const char *pairs,
                            const char *comments, const char *escapes, const char *specials);
/* Frees the list and makes its handle free for reuse. */
HESTREL_API int zktoken_delete(int handle);

/* Appends a copy of string; a NULL string adds nothing and returns 0. */
HESTREL_API int zktoken_add(int handle, const char *string);
/* Appends a blank-filled token of max(strlen(string), width) characters,
 * string at the start (left_justify non-zero), right-aligned (offset 0) or
 * at position offset. A string that would not fit at its offset is placed
 * right-aligned instead. A NULL string adds nothing and returns 0. */
HESTREL_API int zktoken_addn(int handle, const char *string, int width, int left_justify, int offset);
/* Removes one token; the later ones move down. */
HESTREL_API int zktoken_delete_token(int handle, int index);
/* Removes every token; compiled glob patterns stay. */
HESTREL_API int zktoken_clear(int handle);
/* Clears dest, then appends a copy of every token of source. */
HESTREL_API int zktoken_copy(int dest, int source);
HESTREL_API int zktoken_copyn(int dest, int source, int width, int left_justify, int offset);
/* Appends a copy of every token of source to dest (source's tokens as they
 * were when the merge began, also when dest and source are one list). */
HESTREL_API int zktoken_merge(int dest, int source);
HESTREL_API int zktoken_mergen(int dest, int source, int width, int left_justify, int offset);
/* Replaces one token by a copy of string (NULL: -1, nothing changed). */
HESTREL_API int zktoken_replace(int handle, int index, const char *string);

/* The stored token, lent: owned by the list, valid until it is replaced or
 * deleted or the list cleared. NULL on failure. */
HESTREL_API char *zktoken_get_token(int handle, int index);
/* A new string of all tokens joined by one blank, a token quoted with '"'
 * when it is empty or holds a character of the quoted set (default " ").
 * The caller frees it with free. NULL on failure. */
HESTREL_API char *zktoken_get_string(int handle);
/* Number of tokens, or -1. */
HESTREL_API int zktoken_num(int handle);
/* zk_number_type of the token: 1 integer, 2 real, 0 other; -1 when bad. */
HESTREL_API int zktoken_find_type(int handle, int index);
/* An integer token into *value (0 otherwise) and 0; -1 when the token is not
 * an integer (no message) or the handle or index is bad. */
HESTREL_API int zktoken_get_int(int handle, int index, int *value);
/* An integer or real token into *value (0 otherwise) and 0; else -1. */
HESTREL_API int zktoken_get_double(int handle, int index, double *value);
/* Index of the first token equal to string, -1 when none (or NULL string). */
HESTREL_API int zktoken_index(int handle, const char *string);
/* Index of the first token whose first n characters equal string's, as
 * strncmp compares; -1 when none (or NULL string). */
HESTREL_API int zktoken_indexn(int handle, const char *string, int n);
/* Upper-cases every token in place. */
HESTREL_API void zktoken_toupper(int handle);
/* Lower-cases one token in place. */
HESTREL_API void zktoken_tolower_token(int handle, int index);
/* The characters that make zktoken_get_string quote a token; NULL changes
 * nothing. */
HESTREL_API void zktoken_set_quoted_characters(int handle, const char *characters);
/* 1 when the handle names a live list, else 0; never reports. */
HESTREL_API int zktoken_in_use(int handle);

#ifdef __cplusplus
}
#endif

#endif
