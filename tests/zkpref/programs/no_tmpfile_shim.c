/* Preloaded into a child to emulate a file system without unnamed
 * temporary files: every open asking for O_TMPFILE fails with EOPNOTSUPP. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/types.h>

#include "open_interpose.h"

static int refused(int flags) {
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return 1;
  }
  return 0;
}

#define SHIM_OPEN(name)                                 \
  int name(const char *path, int flags, ...) {          \
    static open_fn next;                                \
    va_list args;                                       \
    mode_t mode;                                        \
    va_start(args, flags);                              \
    mode = mode_of(flags, args);                        \
    va_end(args);                                       \
    if (refused(flags)) return -1;                      \
    if (!next) next = (open_fn)dlsym(RTLD_NEXT, #name); \
    return next(path, flags, mode);                     \
  }

#define SHIM_OPENAT(name)                                 \
  int name(int dir, const char *path, int flags, ...) {   \
    static openat_fn next;                                \
    va_list args;                                         \
    mode_t mode;                                          \
    va_start(args, flags);                                \
    mode = mode_of(flags, args);                          \
    va_end(args);                                         \
    if (refused(flags)) return -1;                        \
    if (!next) next = (openat_fn)dlsym(RTLD_NEXT, #name); \
    return next(dir, path, flags, mode);                  \
  }

SHIM_OPEN(open)
SHIM_OPEN(open64)
SHIM_OPENAT(openat)
SHIM_OPENAT(openat64)

int __open_2(const char *path, int flags) { return refused(flags) ? -1 : open(path, flags); }
int __open64_2(const char *path, int flags) { return refused(flags) ? -1 : open64(path, flags); }
