/* Glob patterns over token lists: every token of a list is translated into a
 * regular expression and compiled, then strings are matched against them. */
#ifndef HESTREL_ZKTOKEN_GLOB_H
#define HESTREL_ZKTOKEN_GLOB_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Compiles every token of the list as a glob pattern, replacing the list's
 * earlier patterns: "*" any run (blanks right after it are dropped), "?" one
 * character, "#" one digit, "." a literal dot, "\" before one of #()+[] makes
 * that character literal; other characters keep their expression meaning.
 * A pattern matches any string that begins with text it matches. A token that
 * does not compile, or whose expression would be longer than 9999 characters
 * (reported at WARNING), gets no pattern and never matches. Returns 0, or -1
 * for a bad handle (WARNING) or when the pattern array cannot be allocated
 * (FATAL; the list then has no patterns). Not thread-safe. */
HESTREL_API int zktoken_regex_compile(int handle);

/* Index of the first pattern of the list that matches string, or -1: none
 * matches, a bad handle (WARNING), or tokens added or deleted since the last
 * zktoken_regex_compile (two WARNING lines). */
HESTREL_API int zktoken_regex_index(int handle, const char *string);

#ifdef __cplusplus
}
#endif

#endif
