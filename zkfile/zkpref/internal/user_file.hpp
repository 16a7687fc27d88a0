// A store's handling of its user file, as one unit: opening it under the
// shared file lock, synchronising it under the exclusive one, moving a
// damaged file aside, and closing. Every guarantee about the user's file is
// kept here, each in one place:
//
// - a read error is not damage: a file that cannot be read is left as it
//   is, the call reports 6 and the store keeps every key it held;
// - only bytes that were read and do not parse are damage, and so is a file
//   cut to nothing that held keys when the store last read or wrote it; its
//   bytes go to "<file>.corrupt" (one way, at opening and at sync), and a
//   sync writes back every key the store holds (7), an opening an empty
//   document, or what other open stores of the file hold (0);
// - every copy written in place of the user's file keeps its permissions
//   (the settings machinery's own copy takes them from the file it replaces,
//   pinned in settings_machinery_test.cpp; the store's copies are given them);
// - a write has succeeded only once its bytes and the rename are on disk;
// - a sync removes only the temporary copy a killed sync of this library
//   recorded, never a file that was there before it began.
//
// The settings object stays the store's user store; this unit decides when
// the settings machinery is asked to read or write, and hands the format's
// callbacks what they need through one UserFileCall per call. What a store
// knows of its file lives in its UserFile; what every store of one file in
// the process shares, as the settings machinery shares its map of the file,
// is one settings object on it that never enters a group (user_file.cpp).
#ifndef HESTREL_ZKPREF_INTERNAL_USER_FILE_HPP
#define HESTREL_ZKPREF_INTERNAL_USER_FILE_HPP

#include <memory>
#include <optional>

#include <QtCore/QSettings>
#include <QtCore/QString>

#include "zkpref.h"
#include "zkpref/internal/file_bytes.hpp"

namespace hestrel::zkpref {

class CopyRecord;

// The Qt warning of a user file that failed to load: "initialize_handle",
// ": Loading setting(", the path as built, ") failed. ", the explanation of
// code (empty for codes without one).
void warn_user_file_failed(const QString &path, ZKpref_Err code);

// The code of a settings object's status: 7, 6 or 0.
ZKpref_Err status_code(QSettings::Status status);

class UserFile {
 public:
  // path: the user file as built for the current release; its absolute,
  // clean form names the lock and is the settings machinery's own name.
  explicit UserFile(const QString &path);
  UserFile(const UserFile &) = delete;
  UserFile &operator=(const UserFile &) = delete;
  // Leaves the stores open on the file, also after an opening that failed.
  ~UserFile() { detach(); }

  const QString &locked_path() const { return locked_path_; }

  // Opening, while the caller holds the shared file lock. Reads the file
  // whole first: one that cannot be read, or is no regular file, gives the
  // warning and 6 with no settings object made (the settings machinery then
  // keeps nothing of a read that failed). Otherwise makes settings on it.
  ZKpref_Err open(std::unique_ptr<QSettings> &settings);

  // The end of opening, once any carry-over is done: 0 when the file loaded.
  // A damaged file gives the warning, then, under the exclusive lock, is
  // moved aside and replaced by an empty document with its permissions, and
  // settings is made afresh on it (0). Otherwise the code of the failure.
  ZKpref_Err finish_opening(std::unique_ptr<QSettings> &settings);

  // Synchronisation under the exclusive file lock: 9 when it is not had,
  // 6 when the file cannot be read or written (nothing is written and the
  // store keeps every key), 7 when it was damaged (its bytes moved aside and
  // every key the store holds written back), 0 when written or unchanged.
  ZKpref_Err sync(QSettings &settings);

  // Destroys settings. The settings machinery writes changes still pending
  // on it (after a sync that failed) as it is destroyed; that write is
  // refused when its read of the file failed, and a file that is no longer
  // a regular one is not touched at all (the object is given up).
  void close(std::unique_ptr<QSettings> &settings);

 private:
  ZKpref_Err make_settings(std::unique_ptr<QSettings> &settings, FileContent &content);
  ZKpref_Err repair_at_opening(std::unique_ptr<QSettings> &settings);
  bool damaged_beside_open_stores();
  bool copies_may_be_named();
  // At a sync: whether the file, changed since last seen, is damaged.
  bool is_damaged(FileContent &now) const;
  // Moves the damaged bytes aside and writes every key the stores of the
  // file hold in their place; now becomes the file written.
  bool put_back_known_keys(FileContent &now, CopyRecord &copies);
  bool move_aside(const FileContent &damaged, CopyRecord &copies);
  // Writes map whole in place of the file, with the file's permissions; now
  // becomes the file written.
  bool write_in_place(FileContent &now, const QSettings::SettingsMap &map, CopyRecord &copies);
  // Joins, and leaves, the stores open on the file (see user_file.cpp).
  void attach();
  void detach();

  QString path_;
  QString locked_path_;
  // The file as this store last read or wrote it (or found it missing):
  // while the file keeps this identity the settings machinery's cache of it
  // holds its keys and nothing needs reading.
  FileIdentity last_seen_;
  // Whether the map the store last read or wrote held keys.
  bool held_keys_ = false;
  // From opening until finish_opening.
  FileContent opening_content_;
  bool damaged_at_opening_ = false;
  FileIdentity damaged_identity_;  // the damaged file the opening read
  bool repaired_at_open_ = false;
  // What other stores open on the file held, while an opening repairs it.
  std::optional<QSettings::SettingsMap> others_keys_;
  bool attached_ = false;
  // Whether the file's folder lacks unnamed temporary files; asked once.
  std::optional<bool> copies_may_be_named_;
};

}  // namespace hestrel::zkpref

#endif
