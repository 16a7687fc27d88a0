// Removal of what synchronisations killed part way left beside a preference
// file: temporary copies that would pile up.
#include "internal/leftover_copies.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtCore/QFile>
#include <QtCore/QFileInfo>

namespace hestrel::zkpref {

namespace {

bool ascii_letter(QChar c) {
  const char16_t u = c.unicode();
  return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

}  // namespace

bool is_leftover_copy_name(const QString &name, const QString &file_name) {
  constexpr qsizetype placeholder = 6;
  if (name.size() != file_name.size() + 1 + placeholder || !name.startsWith(file_name) ||
      name[file_name.size()] != u'.')
    return false;
  for (qsizetype i = file_name.size() + 1; i < name.size(); ++i)
    if (!ascii_letter(name[i])) return false;
  return true;
}

void remove_leftover_copies(const QString &path) {
  const QFileInfo info(path);
  const QByteArray folder = QFile::encodeName(info.absolutePath());
  const QString file_name = info.fileName();
  DIR *entries = ::opendir(folder.constData());
  if (!entries) return;
  const int folder_fd = ::dirfd(entries);
  while (const dirent *entry = ::readdir(entries)) {
    const QString name = QFile::decodeName(entry->d_name);
    if (!is_leftover_copy_name(name, file_name)) continue;
    // Never a link or anything else that merely bears the name.
    struct stat status {};
    if (::fstatat(folder_fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode))
      ::unlinkat(folder_fd, entry->d_name, 0);
  }
  ::closedir(entries);
}

}  // namespace hestrel::zkpref
