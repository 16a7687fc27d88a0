/* Preloaded into a child that writes preference files: before each step of
 * writing (a write to a regular file, a sync, a link, a rename, an unlink or
 * a truncation) it announces the step with one byte on the socket named by
 * HESTREL_STEP_FD and waits for one byte back, so the test can kill the
 * child right before the step it chose, however fast the machine runs.
 * Steps on Qt's lock files ("*.lock" and "*.lock.rmlock") are not
 * announced: a child killed after creating one and before writing its
 * process id into it leaves a lock that Qt holds for live until the file is
 * 30 seconds old, and the next child would wait that long. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

static int step_fd = -2;

/* The socket's own traffic goes through raw system calls, past the hooks. */
static void announce_step(void) {
  char byte = 's';
  if (step_fd == -2) {
    const char *value = getenv("HESTREL_STEP_FD");
    step_fd = value ? atoi(value) : -1;
  }
  if (step_fd < 0) return;
  if (syscall(SYS_write, step_fd, &byte, 1) != 1 || syscall(SYS_read, step_fd, &byte, 1) != 1) step_fd = -1;
}

static int ends_with(const char *path, const char *end) {
  const size_t length = path ? strlen(path) : 0, end_length = strlen(end);
  return length >= end_length && strcmp(path + length - end_length, end) == 0;
}

/* Qt's lock file and the one that guards its removal. */
static int lock_name(const char *path) { return ends_with(path, ".lock") || ends_with(path, ".lock.rmlock"); }

/* A regular file other than a lock file. */
static int data_file(int fd) {
  struct stat st;
  char proc_path[64], path[4096];
  ssize_t length;
  if (fd == step_fd || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", fd);
  length = readlink(proc_path, path, sizeof path - 1);
  if (length < 0) return 1;
  path[length] = '\0';
  return !lock_name(path);
}

/* The real function, looked up on first use. */
#define NEXT(name)               \
  static __typeof__(name) *next; \
  if (!next) next = (__typeof__(name) *)dlsym(RTLD_NEXT, #name)

ssize_t write(int fd, const void *data, size_t size) {
  NEXT(write);
  if (data_file(fd)) announce_step();
  return next(fd, data, size);
}

ssize_t pwrite(int fd, const void *data, size_t size, off_t offset) {
  NEXT(pwrite);
  if (data_file(fd)) announce_step();
  return next(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void *data, size_t size, off64_t offset) {
  NEXT(pwrite64);
  if (data_file(fd)) announce_step();
  return next(fd, data, size, offset);
}

int fsync(int fd) {
  NEXT(fsync);
  if (data_file(fd)) announce_step();
  return next(fd);
}

int fdatasync(int fd) {
  NEXT(fdatasync);
  if (data_file(fd)) announce_step();
  return next(fd);
}

int ftruncate(int fd, off_t length) {
  NEXT(ftruncate);
  if (data_file(fd)) announce_step();
  return next(fd, length);
}

int ftruncate64(int fd, off64_t length) {
  NEXT(ftruncate64);
  if (data_file(fd)) announce_step();
  return next(fd, length);
}

int link(const char *from, const char *to) {
  NEXT(link);
  if (!lock_name(to)) announce_step();
  return next(from, to);
}

int linkat(int from_dir, const char *from, int to_dir, const char *to, int flags) {
  NEXT(linkat);
  if (!lock_name(to)) announce_step();
  return next(from_dir, from, to_dir, to, flags);
}

int rename(const char *from, const char *to) {
  NEXT(rename);
  if (!lock_name(to)) announce_step();
  return next(from, to);
}

int renameat(int from_dir, const char *from, int to_dir, const char *to) {
  NEXT(renameat);
  if (!lock_name(to)) announce_step();
  return next(from_dir, from, to_dir, to);
}

int renameat2(int from_dir, const char *from, int to_dir, const char *to, unsigned int flags) {
  NEXT(renameat2);
  if (!lock_name(to)) announce_step();
  return next(from_dir, from, to_dir, to, flags);
}

int unlink(const char *path) {
  NEXT(unlink);
  if (!lock_name(path)) announce_step();
  return next(path);
}

int unlinkat(int dir, const char *path, int flags) {
  NEXT(unlinkat);
  if (!lock_name(path)) announce_step();
  return next(dir, path, flags);
}
