/* Error handlers: the process-wide table of handles through which every part
 * of the library, and its host programs, report messages with a level. */
#ifndef HESTREL_ZKERR_H
#define HESTREL_ZKERR_H

#include "hestrel_export.h"

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Levels. A handler prints a message whose level is not below its threshold;
 * no level stops the process. */
enum {
  ZKERR_BUMMER = 0,
  ZKERR_OK = 1,
  ZKERR_DEBUG = 2,
  ZKERR_INFO = 3,
  ZKERR_WARNING = 4,
  ZKERR_FATAL = 5,
  ZKERR_OFF = 6,
  ZKERR_LEVEL_UNDEFINED = 7
};

/* Handle -1 is the default handler, 0 the deprecation handler; 1 and up are
 * made by zkerr_new. Unless noted, functions return 1 on success and 0 when
 * the handle names no handler (nothing is changed then). A null output
 * pointer (zkerr_new, zkerr_get_level, zkerr_maxlevel, zkerr_print_state)
 * gives 0 and a WARNING on handle -1, and changes nothing. */

/* Stores the lowest free handle in *handle and returns 1. Only when no
 * memory for another handler can be had it stores -2, a handle that names no
 * handler, and returns 0. */
HESTREL_API int zkerr_new(int *handle);
/* Deletes a handler; -1 and 0 are refused with a WARNING on handle -1. */
HESTREL_API void zkerr_delete(int handle);
/* Raises a message. Returns 0 for an unknown handle, a failed stream write,
 * a callback that returned -1 or failed allocation of collected text; 1
 * otherwise, also when the threshold drops the message. */
HESTREL_API int zkerr_throw(int handle, unsigned int level, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
HESTREL_API int zkerr_vthrow(int handle, unsigned int level, const char *format, va_list args);
HESTREL_API int zkerr_level(int handle, unsigned int level);
HESTREL_API int zkerr_get_level(int handle, unsigned int *level);
/* A null stream silences the handler. The stream is not owned. */
HESTREL_API int zkerr_file(int handle, FILE *stream);
/* The callback gets every finished message; -1 from it fails the raise. */
HESTREL_API int zkerr_window(int handle, int (*callback)(char *));
HESTREL_API int zkerr_maxlevel(int handle, unsigned int *level);
HESTREL_API int zkerr_errclear(int handle);
/* Returns 0 for a null text or one over 511 characters; the old prefix is
 * released either way. */
HESTREL_API int zkerr_prefix(int handle, const char *prefix);
HESTREL_API int zkerr_suppress_print(int handle);
HESTREL_API int zkerr_restore_print(int handle);
HESTREL_API int zkerr_print_state(int handle, int *state);
/* "ZKERR_" and the level's name, in one of ten rotating static slots: valid
 * until the tenth later call; not to be freed. */
HESTREL_API char *zkerr_return_code(unsigned int level);
/* Writes "Assert failed." with file and line to stderr when condition is 0. */
HESTREL_API void zkerr_assert(int condition, const char *file, int line);

/* Deprecation log: reports once per call site (file-name address, line)
 * through handle 0, only when PELMORAVINE_DEPRECATION_WARNING is set at the
 * first call. A '%' in file or function prints as itself. Returns 1. */
HESTREL_API int zklog_deprecation_warning(const char *file, int line, const char *function, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

/* Fortran-callable twins: every argument by reference, then the hidden
 * length of each character argument by value. At most 19 characters of the
 * prefix and 79 of the message are read, never more than the hidden length,
 * and neither is written to, so constants may be passed; the level text fills
 * 20 characters, never more than the hidden length. A message's "%%" prints
 * one '%'; a message with any other '%' is printed as it stands. */
HESTREL_API void zkerrf_new_(int *handle, int *ierr);
HESTREL_API void zkerrf_delete_(int *handle);
HESTREL_API void zkerrf_prefix_(int *handle, const char *prefix, int *ierr, size_t prefix_len);
HESTREL_API void zkerrf_level_(int *handle, int *level, int *ierr);
HESTREL_API void zkerrf_get_level_(int *handle, int *level, int *ierr);
HESTREL_API void zkerrf_maxlevel_(int *handle, int *level, int *ierr);
HESTREL_API void zkerrf_throw_(int *handle, int *level, const char *message, int *ierr, size_t message_len);
HESTREL_API void zkerrf_return_code_(int *level, char *text, size_t text_len);
HESTREL_API void zkerrf_file_(int *handle, int *unit, int *ierr);

/* Fortran record writers: one record of the first *length characters of
 * text (an empty one for *length <= 0), and one empty record. */
HESTREL_API void fprint_line_(int *unit, const char *text, int *length, size_t text_len);
HESTREL_API void fskip_line_(int *unit);

#ifdef __cplusplus
}
#endif

#endif
