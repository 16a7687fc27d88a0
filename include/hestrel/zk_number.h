/* Number classification: tells whether a text is an integer, a real number
 * or neither, as the token lists' typed reads need it. */
#ifndef HESTREL_ZK_NUMBER_H
#define HESTREL_ZK_NUMBER_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Classes returned by zk_number_type. */
#define ZK_NUMBER_OTHER 0
#define ZK_NUMBER_INTEGER 1
#define ZK_NUMBER_REAL 2

/* 1 when the whole NUL-ended text (one leading '+' skipped) is a base-10 int
 * within range, else 2 when it is a finite-range double in fixed or
 * scientific form (or an infinity / not-a-number word), else 0. The empty
 * text and NULL give 0. Stateless and thread-safe. */
HESTREL_API int zk_number_type(const char *string);

#ifdef __cplusplus
}
#endif

#endif
