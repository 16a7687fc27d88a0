// The inter-process lock around reading and writing one preference file: a
// blocking advisory record lock on an empty lock file in the temporary
// directory, named by the MD5 of the preference file's path.
#ifndef HESTREL_ZKPREF_INTERNAL_FILE_LOCK_HPP
#define HESTREL_ZKPREF_INTERNAL_FILE_LOCK_HPP

#include <boost/interprocess/sync/file_lock.hpp>

#include <QtCore/QString>

// A scoped guard: construct, lock() once, destroy.
class ZKprefProtection {
 public:
  // mode 0 asks for a shared lock, any other value for an exclusive one.
  // Nothing is touched until lock().
  ZKprefProtection(const QString &settingsPath, int mode);
  ZKprefProtection(const ZKprefProtection &) = delete;
  ZKprefProtection &operator=(const ZKprefProtection &) = delete;
  // Releases the lock, then closes the lock file; the file stays.
  ~ZKprefProtection();

  // Waits for the lock: 0 held, 9 failed (with a line on stderr).
  int lock();

  // The lock file's path for a preference file's path text.
  static QString lockFilePath(const QString &settingsPath);

 private:
  QString settingsPath;
  int mode;
  // The lock file, created or opened without following a link; the record
  // lock is taken through fileLock, opened on this same inode.
  int fd = -1;
  boost::interprocess::file_lock fileLock;
  bool fileLockOpen = false;
};

namespace hestrel::zkpref {

// The absolute, clean form of a preference file's path, under which opening
// and synchronisation both lock it.
QString lock_path(const QString &path);

}  // namespace hestrel::zkpref

#endif
