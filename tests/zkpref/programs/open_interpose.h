/* What the preloaded shims share to stand in for the C library's open
 * calls: the types of the real functions they pass on to, and the mode
 * argument that only a call creating a file passes. Include after defining
 * _GNU_SOURCE. */
#ifndef HESTREL_TEST_OPEN_INTERPOSE_H
#define HESTREL_TEST_OPEN_INTERPOSE_H

#include <fcntl.h>
#include <stdarg.h>
#include <sys/types.h>

typedef int (*open_fn)(const char *, int, ...);
typedef int (*openat_fn)(int, const char *, int, ...);

/* Read as the C library reads it: only with O_CREAT or O_TMPFILE. */
static inline mode_t mode_of(int flags, va_list args) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(args, int) : 0;
}

#endif
