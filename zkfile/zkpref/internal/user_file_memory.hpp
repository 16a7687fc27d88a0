// What the store keeps of each open user file between the settings
// machinery's reads and writes, so a file damaged on disk costs no keys.
#ifndef HESTREL_ZKPREF_INTERNAL_USER_FILE_MEMORY_HPP
#define HESTREL_ZKPREF_INTERNAL_USER_FILE_MEMORY_HPP

#include <QtCore/QIODevice>
#include <QtCore/QSettings>
#include <QtCore/QString>

namespace hestrel::zkpref {

// Counts the open stores of a user file (its lock path); the file's last
// known map lives while the count is above 0.
void remember_user_file(const QString &path);
void forget_user_file(const QString &path);

// Remembers a user file for an opening, and forgets it again when the
// opening fails, whichever way it leaves, unless kept.
class UserFileRegistration {
 public:
  explicit UserFileRegistration(const QString &path) : path_(path) { remember_user_file(path_); }
  UserFileRegistration(const UserFileRegistration &) = delete;
  UserFileRegistration &operator=(const UserFileRegistration &) = delete;
  ~UserFileRegistration() {
    if (!kept_) forget_user_file(path_);
  }
  void keep() { kept_ = true; }

 private:
  QString path_;
  bool kept_ = false;
};
// Marks the file's content as known to be empty (it was missing or empty
// when its store opened), unless a read or write already told more.
void note_user_file_empty(const QString &path);

// Set by an opening or synchronisation of a user file in this thread, for
// as long as it runs: only the reads and writes of that file are recovered.
class UserFileScope {
 public:
  explicit UserFileScope(const QString &path);
  UserFileScope(const UserFileScope &) = delete;
  UserFileScope &operator=(const UserFileScope &) = delete;
  ~UserFileScope();

  // True once a read of the file failed and its last known map stood in.
  bool damaged() const { return damaged_; }

 private:
  friend bool recover_damaged_read(QIODevice &device, QSettings::SettingsMap &map);
  QString path_;
  UserFileScope *outer_;
  bool damaged_ = false;
};

// Called by the reader after a successful read and by the writer after a
// successful write: device's file, when it is an open user file, is now map.
void note_user_map(const QIODevice &device, const QSettings::SettingsMap &map);

// After a failed read of the scope's user file whose last map is known:
// copies the damaged bytes to "<file>.corrupt", puts the last map in map
// and returns true. False everywhere else (the read stays a failure).
bool recover_damaged_read(QIODevice &device, QSettings::SettingsMap &map);

// False while device's user file is damaged and its bytes still cannot be
// copied aside: writing over it would lose the only copy.
bool user_write_allowed(const QIODevice &device);

}  // namespace hestrel::zkpref

#endif
