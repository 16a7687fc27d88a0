// Removal of what synchronisations killed part way left beside a preference
// file: the temporary copy they recorded.
#include "zkpref/internal/leftover_copies.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include <QtCore/QByteArray>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLockFile>
#include <QtCore/QSysInfo>

#include "zkpref/internal/file_lock.hpp"

namespace hestrel::zkpref {

namespace {

// The record lies in the temporary folder, where others may plant files:
// only a regular file of our own with one link is ever read or emptied.
bool is_own_record(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1;
}

// "copy <device> <inode>\n<name>" once the copy is known; "before
// <inode> <inode>...\n" while it is not yet.
struct Recorded {
  bool known = false;
  dev_t device = 0;
  ino_t inode = 0;
  QByteArray name;  // empty for a copy that had no name yet
  QList<QByteArray> there_before;
};

bool parse_record(const QByteArray &text, Recorded &recorded) {
  const qsizetype line_end = text.indexOf('\n');
  if (line_end < 0) return false;
  QList<QByteArray> words = text.left(line_end).split(' ');
  if (words.value(0) == "before") {
    words.removeFirst();
    recorded.there_before = words;
    return true;
  }
  if (words.size() != 3 || words[0] != "copy") return false;
  bool device_ok = false, inode_ok = false;
  recorded.known = true;
  recorded.device = static_cast<dev_t>(words[1].toULongLong(&device_ok));
  recorded.inode = static_cast<ino_t>(words[2].toULongLong(&inode_ok));
  recorded.name = text.mid(line_end + 1);
  return device_ok && inode_ok;
}

bool is_recorded_copy(int folder_fd, const char *name, const Recorded &recorded) {
  struct stat st {};
  return ::fstatat(folder_fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
         st.st_dev == recorded.device && st.st_ino == recorded.inode;
}

// The settings machinery gives its temporary copy of file_name the name
// file_name, a dot and six characters; an unnamed copy gets such a name
// only for the moment between linking it and renaming it into place.
bool has_copy_name_shape(const QByteArray &name, const QByteArray &file_name) {
  constexpr qsizetype placeholder = 6;
  return name.size() == file_name.size() + 1 + placeholder && name.startsWith(file_name) &&
         name[file_name.size()] == '.';
}

// Whether a writer of the settings machinery may be at work on path: it
// holds "<path>.lock" for as long as it writes, and names itself in it. A
// lock that names a process that is gone belongs to a killed writer.
bool machinery_writing(const QString &path) {
  const QString name = path + QStringLiteral(".lock");
  if (!QFileInfo::exists(name)) return false;
  QLockFile lock(name);
  qint64 pid = 0;
  QString host, application;
  if (!lock.getLockInfo(&pid, &host, &application) || pid <= 0 || host != QSysInfo::machineHostName()) return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

// Removes the recorded copy, and nothing but it: a file at the recorded name
// (or, for an unnamed copy, of the copies' name shape) whose device and
// inode are the recorded ones.
void remove_recorded(const QString &path, const Recorded &recorded) {
  const QFileInfo info(path);
  const QByteArray folder = QFile::encodeName(info.absolutePath());
  const QByteArray file_name = QFile::encodeName(info.fileName());
  DIR *entries = ::opendir(folder.constData());
  if (!entries) return;
  const int folder_fd = ::dirfd(entries);
  if (!recorded.known) {
    // An empty copy of ours that was not there when the killed sync began.
    const bool writing = machinery_writing(path);
    while (const dirent *entry = writing ? nullptr : ::readdir(entries)) {
      struct stat st {};
      if (has_copy_name_shape(QByteArray(entry->d_name), file_name) &&
          ::fstatat(folder_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
          st.st_size == 0 && st.st_uid == ::geteuid() &&
          !recorded.there_before.contains(QByteArray::number(static_cast<qulonglong>(st.st_ino))))
        ::unlinkat(folder_fd, entry->d_name, 0);
    }
  } else if (!recorded.name.isEmpty()) {
    const QByteArray prefix = folder + '/' + file_name + '.';
    const QByteArray own = recorded.name.mid(folder.size() + 1);
    const bool beside = recorded.name.startsWith(prefix) && !own.contains('/');
    if (beside && is_recorded_copy(folder_fd, own.constData(), recorded)) ::unlinkat(folder_fd, own.constData(), 0);
  } else {
    while (const dirent *entry = ::readdir(entries)) {
      if (has_copy_name_shape(QByteArray(entry->d_name), file_name) &&
          is_recorded_copy(folder_fd, entry->d_name, recorded)) {
        ::unlinkat(folder_fd, entry->d_name, 0);
        break;
      }
    }
  }
  ::closedir(entries);
}

}  // namespace

CopyRecord::CopyRecord(const QString &path)
    : path_(path), record_(ZKprefProtection::lockFilePath(path) + QStringLiteral(".copy")) {}

CopyRecord::~CopyRecord() {
  if (noted_) write("idle\n");
  if (fd_ >= 0) ::close(fd_);
}

int CopyRecord::record_fd(bool create) {
  if (fd_ >= 0) return fd_;
  const int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0);
  const int fd = ::open(QFile::encodeName(record_).constData(), flags, 0600);
  if (fd < 0) return -1;
  if (!is_own_record(fd)) {
    ::close(fd);
    return -1;
  }
  fd_ = fd;
  return fd_;
}

void CopyRecord::remove_leftover() {
  const int fd = record_fd(false);
  if (fd < 0) return;
  char text[record_size];
  const ssize_t got = ::pread(fd, text, sizeof text, 0);
  if (got <= 0) return;
  const QByteArray recorded_text(text, static_cast<qsizetype>(::strnlen(text, static_cast<size_t>(got))));
  if (recorded_text == "idle\n") return;
  Recorded recorded;
  if (parse_record(recorded_text, recorded)) remove_recorded(path_, recorded);
  write("idle\n");
  noted_ = false;
}

bool CopyRecord::note(int copy_fd) {
  struct stat copy {};
  if (::fstat(copy_fd, &copy) != 0) return false;
  // The real name, from the descriptor: an unnamed file has none yet (the
  // link then reads "/folder/#inode (deleted)").
  char link[4096];
  const std::string proc = "/proc/self/fd/" + std::to_string(copy_fd);
  const ssize_t length = ::readlink(proc.c_str(), link, sizeof link);
  if (length < 0 || static_cast<size_t>(length) >= sizeof link) return false;
  QByteArray name(link, static_cast<qsizetype>(length));
  const QByteArray named_like = QFile::encodeName(path_) + '.';
  if (!name.startsWith(named_like) || name.endsWith(" (deleted)")) name.clear();
  noted_ = write("copy " + QByteArray::number(static_cast<qulonglong>(copy.st_dev)) + ' ' +
                 QByteArray::number(static_cast<qulonglong>(copy.st_ino)) + '\n' + name);
  return noted_;
}

bool CopyRecord::begin() {
  const QFileInfo info(path_);
  const QByteArray folder = QFile::encodeName(info.absolutePath());
  const QByteArray file_name = QFile::encodeName(info.fileName());
  QByteArray text = "before";
  if (DIR *entries = ::opendir(folder.constData())) {
    while (const dirent *entry = ::readdir(entries)) {
      if (has_copy_name_shape(QByteArray(entry->d_name), file_name))
        text += ' ' + QByteArray::number(static_cast<qulonglong>(entry->d_ino));
    }
    ::closedir(entries);
  }
  text += '\n';
  // Too many to list: a record that names nothing, so nothing is removed.
  if (text.size() >= record_size) text = "unknown\n";
  noted_ = write(text);
  return noted_;
}

bool CopyRecord::write(const QByteArray &text) {
  const int fd = record_fd(true);
  if (fd < 0 || text.size() >= record_size) return false;
  // Always the same size, written in place: no block is given back or taken
  // anew, and a record is never a mix of two (a kill cannot lose what the
  // kernel already holds). The text ends at the first NUL.
  QByteArray whole = text;
  whole.append(QByteArray(record_size - text.size(), '\0'));
  return ::pwrite(fd, whole.constData(), static_cast<size_t>(record_size), 0) == record_size;
}

}  // namespace hestrel::zkpref
