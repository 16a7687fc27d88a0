/* Preloaded into a plain settings writer to hold it in the window between
 * making its lock file and taking it. At its first exclusive flock of a
 * "*.lock" file it reports on the descriptor HESTREL_FLOCK_SHIM_FD 'E' (the
 * file is still empty) or 'F', waits until another process has looked at the
 * lock three times or removed it, takes the flock, and reports 'L' when the
 * file still has its name or 'U' when someone removed it meanwhile. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

typedef int (*flock_fn)(int, int);

static void report(char c) {
  const char *fd_text = getenv("HESTREL_FLOCK_SHIM_FD");
  if (fd_text && write(atoi(fd_text), &c, 1) != 1) _exit(3);
}

static int is_lock_file(int fd, char *alias, size_t size) {
  char target[4096];
  ssize_t n;
  snprintf(alias, size, "/proc/self/fd/%d", fd);
  n = readlink(alias, target, sizeof target - 1);
  if (n < 5) return 0;
  target[n] = '\0';
  return strcmp(target + n - 5, ".lock") == 0;
}

/* Announces once the watch is set, so nothing can come unseen, then reads
 * events until the file was opened for reading and closed again three times
 * (a waiter that looked at the lock and went on waiting) or lost its name. */
static void wait_for_readers(int fd, const char *alias, char announce) {
  char events[4096] __attribute__((aligned(__alignof__(struct inotify_event))));
  int watch = inotify_init1(IN_CLOEXEC);
  int looks = 0;
  if (watch < 0 || inotify_add_watch(watch, alias, IN_CLOSE_NOWRITE | IN_ATTRIB) < 0) _exit(4);
  report(announce);
  for (;;) {
    ssize_t n = read(watch, events, sizeof events);
    ssize_t at = 0;
    if (n <= 0) _exit(5);
    while (at < n) {
      const struct inotify_event *event = (const struct inotify_event *)(events + at);
      struct stat st;
      if (event->mask & IN_CLOSE_NOWRITE) ++looks;
      if ((event->mask & IN_ATTRIB) && fstat(fd, &st) == 0 && st.st_nlink == 0) looks = 3;
      at += (ssize_t)(sizeof *event + event->len);
    }
    if (looks >= 3) {
      close(watch);
      return;
    }
  }
}

int flock(int fd, int operation) {
  static flock_fn next;
  static int held;
  char alias[64];
  struct stat st;
  int result;
  if (!next) next = (flock_fn)dlsym(RTLD_NEXT, "flock");
  if (held || !(operation & LOCK_EX) || !is_lock_file(fd, alias, sizeof alias)) return next(fd, operation);
  held = 1;
  if (fstat(fd, &st) != 0) _exit(6);
  wait_for_readers(fd, alias, st.st_size == 0 ? 'E' : 'F');
  result = next(fd, operation);
  if (fstat(fd, &st) != 0) _exit(6);
  report(st.st_nlink > 0 ? 'L' : 'U');
  return result;
}
