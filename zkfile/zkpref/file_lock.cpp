// The inter-process guard of one preference file: a blocking shared or
// exclusive record lock on an empty, owner-only lock file in the temp folder.
#include "zkpref/internal/file_lock.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <system_error>

#include <QtCore/QByteArray>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QtGlobal>
#include <boost/filesystem/operations.hpp>
#include <boost/interprocess/exceptions.hpp>

namespace {

// Qt names the temporary folder in canonical form, resolving every link on
// the way, so a guard asks once. Qt reports no folder at all while TMPDIR
// names one that does not exist yet; the lock then goes where TMPDIR points,
// which lock() creates.
QString fallback_temp_directory() {
  QString value = qEnvironmentVariable("TMPDIR");
  if (value.isEmpty()) value = QStringLiteral("/tmp");
  return QDir::cleanPath(value);
}

QString digest_name(const QString &settingsPath) {
  return QString::fromLatin1(QCryptographicHash::hash(settingsPath.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString in_directory(const QString &directory, const QString &name) { return directory + QLatin1Char('/') + name; }

[[noreturn]] void throw_errno() { throw std::system_error(errno, std::generic_category()); }

bool same_inode(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The folder is writable by others: a planted link must not be followed, a
// planted file of another user must not be used (its owner could hold the
// lock forever), and a hard link must not let us empty someone else's file.
// A planted FIFO must not stall the opening: the descriptor only serves to
// check, empty and name the file, so it may be non-blocking.
int open_own_lock_file(const std::string &path, struct stat &st) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) throw_errno();
  try {
    if (::fstat(fd, &st) != 0) throw_errno();
    if (!S_ISREG(st.st_mode)) throw std::runtime_error("not a regular file");
    if (st.st_uid != ::geteuid()) throw std::runtime_error("owned by another user");
    if (st.st_nlink != 1) throw std::runtime_error("has more than one link");
    // An empty file is already as the guard leaves it.
    if (st.st_size != 0 && ::ftruncate(fd, 0) != 0) throw_errno();
    if ((st.st_mode & 07777) != 0600 && ::fchmod(fd, 0600) != 0) throw_errno();
  } catch (...) {
    // Nothing of ours is locked on a file we refuse or cannot empty.
    ::close(fd);
    throw;
  }
  return fd;
}

}  // namespace

ZKprefProtection::ZKprefProtection(const QString &settingsPath, int mode) : settingsPath(settingsPath), mode(mode) {}

ZKprefProtection::~ZKprefProtection() {
  // Record locks belong to the process and the inode: closing either
  // descriptor first would drop the lock before it is released.
  if (fileLockOpen) {
    try {
      fileLock.unlock();
    } catch (...) {
    }
  }
  boost::interprocess::file_lock().swap(fileLock);  // closes its descriptor
  if (fd >= 0) ::close(fd);
}

QString ZKprefProtection::lockFilePath(const QString &settingsPath) {
  QString directory = QDir::tempPath();
  if (directory.isEmpty()) directory = fallback_temp_directory();
  return in_directory(directory, digest_name(settingsPath));
}

int ZKprefProtection::lock() {
  QString lockFile = lockFilePath(settingsPath);
  try {
    const QString directory = lockFile.left(lockFile.lastIndexOf(QLatin1Char('/')));
    // Once a missing folder exists, Qt names it in its own canonical form.
    if (boost::filesystem::create_directories(directory.toUtf8().toStdString())) lockFile = lockFilePath(settingsPath);
    struct stat mine;
    fd = open_own_lock_file(lockFile.toUtf8().toStdString(), mine);

    // The lock goes through Boost's descriptor, opened on this very inode
    // through the process's own name for fd, never through the path again.
    std::string alias = "/dev/fd/" + std::to_string(fd);
    struct stat aliased;
    if (::stat(alias.c_str(), &aliased) != 0) throw_errno();
    if (!same_inode(mine, aliased)) throw std::runtime_error("cannot reopen the lock file through its descriptor");
    boost::interprocess::file_lock(alias.c_str()).swap(fileLock);
    fileLockOpen = true;

    if (mode == 0)
      fileLock.lock_sharable();
    else
      fileLock.lock();
    return 0;
  } catch (const std::exception &e) {
    std::cerr << "Failed to aquire lock in '" << lockFile.toUtf8().constData() << "' : " << e.what() << std::endl;
    return 9;
  }
}

namespace hestrel::zkpref {

QString lock_path(const QString &path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace hestrel::zkpref
