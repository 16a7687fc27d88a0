// Reading a preference file whole with its identity, and putting new bytes
// in place of a file atomically, keeping its permissions.
#include "zkpref/internal/file_bytes.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include "zkpref/internal/leftover_copies.hpp"

namespace hestrel::zkpref {

namespace {

long long nanoseconds(const struct timespec &t) { return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec; }

FileIdentity identity_from(const struct stat &st) {
  FileIdentity id;
  id.exists = true;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modified_ns = nanoseconds(st.st_mtim);
  id.changed_ns = nanoseconds(st.st_ctim);
  id.mode = st.st_mode;
  return id;
}

// Closes a descriptor when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool read_all(int fd, QByteArray &bytes, off_t size_hint) {
  bytes.clear();
  bytes.reserve(static_cast<qsizetype>(size_hint) + 1);
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.append(buffer, static_cast<qsizetype>(got));
  }
}

bool write_all(int fd, const QByteArray &bytes) {
  const char *data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t put = ::write(fd, data, static_cast<size_t>(left));
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += put;
    left -= put;
  }
  return true;
}

// A new file of its own beside target, named as the settings machinery
// names its temporary copies (target, a dot, six letters), never an
// existing one.
int create_beside(const QString &target, QByteArray &name) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::random_device seed;
  std::minstd_rand pick(seed());
  const QByteArray base = QFile::encodeName(target) + '.';
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = base;
    for (int i = 0; i < 6; ++i) name += letters[pick() % (sizeof letters - 1)];
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool FileIdentity::operator==(const FileIdentity &other) const {
  if (exists != other.exists) return false;
  if (!exists) return true;
  return device == other.device && inode == other.inode && size == other.size && modified_ns == other.modified_ns &&
         changed_ns == other.changed_ns && mode == other.mode;
}

FileIdentity identity_of(int fd) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return FileIdentity{};
  return identity_from(st);
}

FileIdentity identity_at(const QString &path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return FileIdentity{};
  return identity_from(st);
}

ReadResult read_file_whole(const QString &path, FileContent &content, const FileIdentity *known) {
  content = FileContent{};
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? ReadResult::missing : ReadResult::failed;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return ReadResult::failed;
  content.identity = identity_from(st);
  if (!S_ISREG(st.st_mode)) {
    content.regular = false;
    return ReadResult::read;
  }
  if (known && *known == content.identity) return ReadResult::read;
  return read_all(fd.get(), content.bytes, st.st_size) ? ReadResult::read : ReadResult::failed;
}

bool replace_file_whole(const QString &target, const QByteArray &bytes, mode_t mode, CopyRecord &copies) {
  QByteArray name;
  Descriptor fd(create_beside(target, name));
  if (fd.get() < 0) return false;
  bool done = copies.note(fd.get()) && ::fchmod(fd.get(), mode & 07777) == 0 && write_all(fd.get(), bytes) &&
              ::fdatasync(fd.get()) == 0;
  done = done && ::rename(name.constData(), QFile::encodeName(target).constData()) == 0;
  if (!done) {
    ::unlink(name.constData());
    return false;
  }
  return sync_folder_of(target);
}

bool sync_folder_of(const QString &path) {
  const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
  Descriptor fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

}  // namespace hestrel::zkpref
