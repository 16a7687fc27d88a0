// A preference file's bytes on disk, read and written whole: what the store
// reads under its lock, and the copies it writes in place of a file.
#ifndef HESTREL_ZKPREF_INTERNAL_FILE_BYTES_HPP
#define HESTREL_ZKPREF_INTERNAL_FILE_BYTES_HPP

#include <sys/types.h>

#include <QtCore/QByteArray>
#include <QtCore/QSettings>
#include <QtCore/QString>

#include "zkpref/internal/variant_flags.hpp"

namespace hestrel::zkpref {

class CopyRecord;

// Which file a name led to and in which state: any write, replacement or
// truncation changes it. Two equal identities are the same bytes.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long modified_ns = 0;
  long long changed_ns = 0;
  mode_t mode = 0;  // type and permission bits

  bool operator==(const FileIdentity &other) const;
  bool operator!=(const FileIdentity &other) const { return !(*this == other); }
};

// The identity of the file open on descriptor fd; not existing when fstat fails.
FileIdentity identity_of(int fd);
// The identity of what path names now, following links; not existing when
// there is nothing there or it cannot be asked.
FileIdentity identity_at(const QString &path);

struct FileContent {
  FileIdentity identity;
  bool regular = true;  // false: a folder, a FIFO or another kind; nothing read
  QByteArray bytes;
  // The bytes as a map, once parsed.
  bool parsed = false;
  QSettings::SettingsMap map;
  VariantsSeen seen;
};

enum class ReadResult { read, missing, failed };

// Reads the file at path whole, following links as the settings machinery
// does, without waiting on a FIFO. Failed when it cannot be opened or read
// (EIO, EACCES, EMFILE...). When known is given and path still has that
// identity, only the identity is taken and content.bytes stays empty.
ReadResult read_file_whole(const QString &path, FileContent &content, const FileIdentity *known = nullptr);

// Puts bytes in place of target's file atomically: a new file beside it
// with permission bits mode, recorded in copies before its first byte,
// synchronised, renamed over target, and the folder synchronised. False,
// with target as it was, when any step fails.
bool replace_file_whole(const QString &target, const QByteArray &bytes, mode_t mode, CopyRecord &copies);

// Synchronises the folder that holds path, so a rename in it is on disk.
bool sync_folder_of(const QString &path);

}  // namespace hestrel::zkpref

#endif
