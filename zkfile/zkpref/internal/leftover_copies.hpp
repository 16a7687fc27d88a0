// What a killed synchronisation leaves behind: the temporary copy it was
// writing, which this library records before its first byte so that the
// next synchronisation removes exactly that file.
#ifndef HESTREL_ZKPREF_INTERNAL_LEFTOVER_COPIES_HPP
#define HESTREL_ZKPREF_INTERNAL_LEFTOVER_COPIES_HPP

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace hestrel::zkpref {

// The record of the one temporary copy that a sync of a preference file may
// be writing: a small file beside the file's lock file in the temporary
// folder ("<lock file>.copy"), holding the copy's device, inode and real
// name, or "idle" between syncs. Used only while
// holding the preference file's exclusive lock, so one record per file is
// enough. A copy that is renamed into place or removed is no leftover; a
// kill between note() and the end of the sync leaves the record, and the
// next sync, of any process, removes exactly the copy it names.
class CopyRecord {
 public:
  // path: the preference file, absolute and clean (its lock path).
  explicit CopyRecord(const QString &path);
  CopyRecord(const CopyRecord &) = delete;
  CopyRecord &operator=(const CopyRecord &) = delete;
  // Drops the record: the sync that made it is over.
  ~CopyRecord();

  // Removes the copy an earlier, killed sync recorded, when a regular file
  // with that device and inode still stands at its name, then the record.
  // Recorded by begin() only, the copy is an empty file of ours of the name
  // shape that was not there when it began; it is looked for only while no
  // living writer of the settings machinery holds the file's lock
  // ("<file>.lock"), as a writer outside the store does for as long as its
  // own empty copy exists.
  void remove_leftover();

  // Before the settings machinery is asked to write: it makes its copy
  // before it hands the copy to the format's writer, so until note() the
  // record lists the files of the copies' name shape that are there already.
  // A kill in between leaves an empty copy that is none of them. (Qt's copy
  // exists before the writer runs, is unnamed or named "<file>." and six
  // characters, and Qt holds "<file>.lock" meanwhile: pinned in
  // settings_machinery_test.cpp.) False when no record can be written: the
  // sync must then not go ahead.
  bool begin();

  // Records the copy open on fd (its real name from the descriptor, or, for
  // an unnamed file, only its inode). False when no record can be written:
  // the write must then not go ahead.
  bool note(int fd);

 private:
  QString path_;
  QString record_;
  // The record file: opened once per sync, created only to write.
  int record_fd(bool create);
  bool write(const QByteArray &text);
  static constexpr qsizetype record_size = 4096;
  int fd_ = -1;
  bool noted_ = false;  // the record names this sync's copy, or its folder's state
};

}  // namespace hestrel::zkpref

#endif
