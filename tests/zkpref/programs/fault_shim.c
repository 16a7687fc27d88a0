/* Preloaded into a test's child: fails or stalls the calls that reach one
 * preference file (HESTREL_FAULT_FILE), as the child asks through
 * hestrel_fault_set() at an exact step of its work.
 *
 * Faults, any number at once, until "off":
 *   "read EIO N"    reads of the file itself give N bytes, then EIO
 *   "open EIO"      opening the file itself fails (also "open EMFILE")
 *   "fsync EIO"     fsync and fdatasync of the file, of its copies beside
 *                   it and of unnamed files made in its folder fail
 *   "stall write"   the first write to a copy beside the file (or an unnamed
 *                   file in its folder) waits until the test resumes it
 *   "stall rename"  a rename onto the file waits until the test resumes it
 *   "stall lock-wait"  the first exclusive creation of "<file>.lock" that
 *                   finds it taken (a writer now waits for the settings
 *                   machinery's lock) waits until the test resumes it
 * A stall writes one byte to HESTREL_FAULT_ANNOUNCE_FD and waits for one
 * byte on HESTREL_FAULT_RESUME_FD. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include "open_interpose.h"

enum { kFdLimit = 4096, kPathLimit = 4096 };
/* The file itself; its copies and unnamed files in its folder; "<file>.lock". */
enum { kOther = 0, kTheFile, kBeside, kLock };

static unsigned char fd_kind[kFdLimit];
static long long fd_delivered[kFdLimit];

static struct {
  int read_errno;
  long long read_after;
  int open_errno;
  int fsync_errno;
  int stall_write;
  int stall_rename;
  int stall_lock_wait;
} faults;

static const char *target(void) {
  static char path[kPathLimit];
  static int known;
  if (!known) {
    const char *given = getenv("HESTREL_FAULT_FILE");
    if (given && strlen(given) < sizeof path) strcpy(path, given);
    known = 1;
  }
  return path;
}

static int error_named(const char *name) {
  if (strcmp(name, "EIO") == 0) return EIO;
  if (strcmp(name, "EMFILE") == 0) return EMFILE;
  return 0;
}

/* 0 for a fault it knows, -1 otherwise. */
int hestrel_fault_set(const char *spec) {
  char what[32] = "", how[32] = "";
  long long after = 0;
  if (sscanf(spec, "%31s %31s %lld", what, how, &after) < 1) return -1;
  if (strcmp(what, "off") == 0) {
    memset(&faults, 0, sizeof faults);
    return 0;
  }
  if (strcmp(what, "stall") == 0) {
    if (strcmp(how, "write") == 0) return faults.stall_write = 1, 0;
    if (strcmp(how, "rename") == 0) return faults.stall_rename = 1, 0;
    if (strcmp(how, "lock-wait") == 0) return faults.stall_lock_wait = 1, 0;
    return -1;
  }
  if (!error_named(how)) return -1;
  if (strcmp(what, "read") == 0) {
    faults.read_errno = error_named(how);
    faults.read_after = after;
  } else if (strcmp(what, "open") == 0) {
    faults.open_errno = error_named(how);
  } else if (strcmp(what, "fsync") == 0) {
    faults.fsync_errno = error_named(how);
  } else {
    return -1;
  }
  return 0;
}

static int is_lock_of_file(const char *path) {
  const char *file = target();
  const size_t n = strlen(file);
  return n && strncmp(path, file, n) == 0 && strcmp(path + n, ".lock") == 0;
}

static int kind_of(const char *path, int flags) {
  const char *file = target();
  const size_t n = strlen(file);
  const char *slash = strrchr(file, '/');
  if (!n || !path) return kOther;
  if (strcmp(path, file) == 0) return kTheFile;
  if (is_lock_of_file(path)) return kLock;
  if (strncmp(path, file, n) == 0 && path[n] == '.') return kBeside;
  if ((flags & O_TMPFILE) == O_TMPFILE && slash && strlen(path) == (size_t)(slash - file) &&
      strncmp(path, file, (size_t)(slash - file)) == 0)
    return kBeside;
  return kOther;
}

/* Raw calls, so the stall itself meets no fault. */
static void stall(void) {
  const char *announce = getenv("HESTREL_FAULT_ANNOUNCE_FD"), *resume = getenv("HESTREL_FAULT_RESUME_FD");
  const int saved = errno;
  char byte = '!';
  if (announce && resume && syscall(SYS_write, atoi(announce), &byte, 1) == 1)
    syscall(SYS_read, atoi(resume), &byte, 1);
  errno = saved;
}

static void note_open(int fd, int kind) {
  if (fd < 0 || fd >= kFdLimit) return;
  fd_kind[fd] = (unsigned char)kind;
  fd_delivered[fd] = 0;
}

/* -1 with errno set when the open must fail before it is tried. */
static int refuse_open(int kind) {
  if (kind == kTheFile && faults.open_errno) {
    errno = faults.open_errno;
    return -1;
  }
  return 0;
}

static void after_failed_open(const char *path, int flags) {
  static int stalled_once;
  if (faults.stall_lock_wait && !stalled_once && errno == EEXIST && (flags & O_EXCL) && is_lock_of_file(path)) {
    stalled_once = 1;
    stall();
  }
}

static int opened(const char *path, int flags, int fd) {
  if (fd < 0)
    after_failed_open(path, flags);
  else
    note_open(fd, kind_of(path, flags));
  return fd;
}

#define SHIM_OPEN(name)                                  \
  int name(const char *path, int flags, ...) {           \
    static open_fn next;                                 \
    va_list args;                                        \
    mode_t mode;                                         \
    va_start(args, flags);                               \
    mode = mode_of(flags, args);                         \
    va_end(args);                                        \
    if (refuse_open(kind_of(path, flags))) return -1;    \
    if (!next) next = (open_fn)dlsym(RTLD_NEXT, #name);  \
    return opened(path, flags, next(path, flags, mode)); \
  }

/* A name relative to a folder descriptor is watched under the folder's
 * full name, as the kernel reports it. */
static const char *full_name(int dir, const char *path, char *buffer) {
  char link[64];
  ssize_t n;
  if (dir == AT_FDCWD || path[0] == '/') return path;
  snprintf(link, sizeof link, "/proc/self/fd/%d", dir);
  n = readlink(link, buffer, kPathLimit - 1);
  if (n <= 0 || (size_t)n + 1 + strlen(path) >= kPathLimit) return "";
  buffer[n] = '/';
  strcpy(buffer + n + 1, path);
  return buffer;
}

#define SHIM_OPENAT(name)                                     \
  int name(int dir, const char *path, int flags, ...) {       \
    static openat_fn next;                                    \
    char buffer[kPathLimit];                                  \
    const char *full = full_name(dir, path, buffer);          \
    va_list args;                                             \
    mode_t mode;                                              \
    va_start(args, flags);                                    \
    mode = mode_of(flags, args);                              \
    va_end(args);                                             \
    if (refuse_open(kind_of(full, flags))) return -1;         \
    if (!next) next = (openat_fn)dlsym(RTLD_NEXT, #name);     \
    return opened(full, flags, next(dir, path, flags, mode)); \
  }

SHIM_OPEN(open)
SHIM_OPEN(open64)
SHIM_OPENAT(openat)
SHIM_OPENAT(openat64)

int __open_2(const char *path, int flags) { return open(path, flags); }
int __open64_2(const char *path, int flags) { return open64(path, flags); }
int __openat_2(int dir, const char *path, int flags) { return openat(dir, path, flags); }
int __openat64_2(int dir, const char *path, int flags) { return openat64(dir, path, flags); }

int close(int fd) {
  static int (*next)(int);
  if (!next) next = (int (*)(int))dlsym(RTLD_NEXT, "close");
  note_open(fd, kOther);
  return next(fd);
}

/* How many of count bytes a read may ask for; -1 with errno when none. */
static long long readable(int fd, size_t count) {
  long long left;
  if (fd < 0 || fd >= kFdLimit || fd_kind[fd] != kTheFile || !faults.read_errno) return (long long)count;
  left = faults.read_after - fd_delivered[fd];
  if (left <= 0) {
    errno = faults.read_errno;
    return -1;
  }
  return (long long)count < left ? (long long)count : left;
}

static ssize_t delivered(int fd, ssize_t n) {
  if (n > 0 && fd >= 0 && fd < kFdLimit) fd_delivered[fd] += n;
  return n;
}

ssize_t read(int fd, void *buffer, size_t count) {
  static ssize_t (*next)(int, void *, size_t);
  const long long allowed = readable(fd, count);
  if (allowed < 0) return -1;
  if (!next) next = (ssize_t(*)(int, void *, size_t))dlsym(RTLD_NEXT, "read");
  return delivered(fd, next(fd, buffer, (size_t)allowed));
}

ssize_t __read_chk(int fd, void *buffer, size_t count, size_t size) {
  if (count > size) abort();
  return read(fd, buffer, count);
}

#define SHIM_PREAD(name)                                                               \
  ssize_t name(int fd, void *buffer, size_t count, off_t offset) {                     \
    static ssize_t (*next)(int, void *, size_t, off_t);                                \
    const long long allowed = readable(fd, count);                                     \
    if (allowed < 0) return -1;                                                        \
    if (!next) next = (ssize_t(*)(int, void *, size_t, off_t))dlsym(RTLD_NEXT, #name); \
    return delivered(fd, next(fd, buffer, (size_t)allowed, offset));                   \
  }

SHIM_PREAD(pread)
SHIM_PREAD(pread64)

ssize_t write(int fd, const void *buffer, size_t count) {
  static ssize_t (*next)(int, const void *, size_t);
  if (faults.stall_write && fd >= 0 && fd < kFdLimit && fd_kind[fd] == kBeside) {
    faults.stall_write = 0;
    stall();
  }
  if (!next) next = (ssize_t(*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write");
  return next(fd, buffer, count);
}

static int refuse_sync(int fd) {
  if (faults.fsync_errno && fd >= 0 && fd < kFdLimit && (fd_kind[fd] == kTheFile || fd_kind[fd] == kBeside)) {
    errno = faults.fsync_errno;
    return -1;
  }
  return 0;
}

int fsync(int fd) {
  static int (*next)(int);
  if (refuse_sync(fd)) return -1;
  if (!next) next = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  return next(fd);
}

int fdatasync(int fd) {
  static int (*next)(int);
  if (refuse_sync(fd)) return -1;
  if (!next) next = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
  return next(fd);
}

static void before_rename(int dir, const char *to) {
  if (faults.stall_rename && to && (dir == AT_FDCWD || to[0] == '/') && strcmp(to, target()) == 0) stall();
}

int rename(const char *from, const char *to) {
  static int (*next)(const char *, const char *);
  before_rename(AT_FDCWD, to);
  if (!next) next = (int (*)(const char *, const char *))dlsym(RTLD_NEXT, "rename");
  return next(from, to);
}

int renameat(int from_dir, const char *from, int to_dir, const char *to) {
  static int (*next)(int, const char *, int, const char *);
  before_rename(to_dir, to);
  if (!next) next = (int (*)(int, const char *, int, const char *))dlsym(RTLD_NEXT, "renameat");
  return next(from_dir, from, to_dir, to);
}

int renameat2(int from_dir, const char *from, int to_dir, const char *to, unsigned int flags) {
  static int (*next)(int, const char *, int, const char *, unsigned int);
  before_rename(to_dir, to);
  if (!next) next = (int (*)(int, const char *, int, const char *, unsigned int))dlsym(RTLD_NEXT, "renameat2");
  return next(from_dir, from, to_dir, to, flags);
}
