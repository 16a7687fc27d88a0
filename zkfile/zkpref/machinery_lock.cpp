// Judges the settings machinery's lock beside a preference file before a
// sync hands the file to the machinery: removes it only when it is a killed
// writer's, and refuses what the machinery would wait on forever.
#include "zkpref/internal/machinery_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>

#include <QtCore/QByteArray>
#include <QtCore/QFile>

#include "zkpref.h"

namespace hestrel::zkpref {

namespace {

// What Qt's lock file (QLockFile on Unix) does, and what the judgement below
// rests on, pinned by the tests:
// - it is made with O_CREAT|O_EXCL and only then taken with flock(LOCK_EX);
//   its holder then writes its process id into it and keeps the flock;
// - a waiter takes an existing file as stale only when its process id names
//   no living process, or when it is older than the stale time (30 s by
//   default); an empty file has no process id, so only its age counts;
// - before it removes a stale file it takes the flock itself.
// So between making and taking the file, a living writer's lock is empty and
// unheld: only its age tells it from a killed writer's.
long age_ms(const struct stat &st) {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return (now.tv_sec - st.st_mtim.tv_sec) * 1000L + (now.tv_nsec - st.st_mtim.tv_nsec) / 1000000L;
}

bool same_inode(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// A lock a killed writer left: empty, old, ours, one name. A file in the
// future is not old: the machinery itself judges that one.
bool looks_abandoned(const struct stat &st) {
  return S_ISREG(st.st_mode) && st.st_size == 0 && st.st_uid == ::geteuid() && st.st_nlink == 1 &&
         age_ms(st) > stale_machinery_lock_ms;
}

QByteArray lock_name(const QString &path) { return QFile::encodeName(path + QStringLiteral(".lock")); }

}  // namespace

bool machinery_lock_cannot_be_taken(const QString &path) {
  struct stat seen {};
  return ::lstat(lock_name(path).constData(), &seen) == 0 && !S_ISREG(seen.st_mode);
}

int remove_stale_machinery_lock(const QString &path) {
  const QByteArray name = lock_name(path);
  struct stat seen {};
  // Anything the machinery meets here it handles itself, a missing lock too.
  if (::lstat(name.constData(), &seen) != 0) return 0;
  if (!S_ISREG(seen.st_mode)) {
    // The machinery would read a FIFO, or wait for a folder to go, forever.
    std::cerr << "Failed to aquire lock in '" << name.constData() << "' : not a regular file" << std::endl;
    return ZKPREF_LOCK_ERROR;
  }
  if (!looks_abandoned(seen)) return 0;

  // Opened without following or blocking, in case the name changed since.
  const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat opened {};
  // Held by a writer that has not yet written its id: not ours to remove.
  // Holding the flock ourselves, the machinery cannot remove or replace the
  // file either until the name is gone.
  if (::fstat(fd, &opened) == 0 && same_inode(seen, opened) && looks_abandoned(opened) &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    struct stat again {};
    if (::lstat(name.constData(), &again) == 0 && same_inode(opened, again)) ::unlink(name.constData());
  }
  ::close(fd);
  return 0;
}

}  // namespace hestrel::zkpref
