// A store's user file: opening, synchronisation, moving a damaged file
// aside and closing, each guarantee kept in one place (see user_file.hpp).
#include "zkpref/internal/user_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <optional>

#include <QtCore/QDebug>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStringList>

#include "zkpref/internal/file_lock.hpp"
#include "zkpref/internal/leftover_copies.hpp"
#include "zkpref/internal/machinery_lock.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/user_file_call.hpp"
#include "zkpref/internal/xml_format.hpp"

namespace hestrel::zkpref {

namespace {

// The settings machinery keeps one map per file for the whole process, and
// every settings object on that file shares it, with its pending changes
// (pinned in settings_machinery_test.cpp). A read of a damaged file empties that
// map for all of them, and the only other copy of the keys is what an open
// object answers. So the stores open on one file share one settings object
// on it that never enters a group: it answers every key at once, and an
// opening that finds the file damaged while another store has it open asks
// it before its own settings object reads the file.
struct OpenFile {
  int stores = 0;
  std::unique_ptr<QSettings> view;
};

// Never destroyed: a store whose handle is never deleted keeps its file's
// object to the end of the process, past Qt's own teardown.
std::mutex &views_mutex() {
  static auto *mutex = new std::mutex;
  return *mutex;
}

std::map<QString, OpenFile> &views() {
  static auto *open = new std::map<QString, OpenFile>;
  return *open;
}

// Every key the stores open on the file answer (the machinery's map of it
// with the changes pending); nothing when none is open.
std::optional<QSettings::SettingsMap> every_key(const QString &path) {
  std::lock_guard<std::mutex> hold(views_mutex());
  const auto found = views().find(path);
  if (found == views().end() || !found->second.view) return std::nullopt;
  QSettings &view = *found->second.view;
  QSettings::SettingsMap map;
  const QStringList keys = view.allKeys();
  for (const QString &key : keys) map.insert(key, view.value(key));
  return map;
}

UserFileCall call_on(const QString &file_name, FileContent *content, CopyRecord *copies) {
  UserFileCall call;
  call.file_name = file_name;
  call.content = content;
  call.copies = copies;
  return call;
}

// QSettings::sync through settings, or, when settings reports an error
// already, through a new object on its file. Qt keeps a settings object's
// first error for as long as the object lives, so its status cannot tell
// this sync's outcome; objects of one process on one file share the keys
// and pending changes, and a new object synchronises as it is made, with a
// status of its own. (Both pinned in settings_machinery_test.cpp.)
ZKpref_Err sync_through_machinery(QSettings &settings, UserFileCall &call) {
  UserFileCallScope scope(call);
  if (settings.status() == QSettings::NoError) {
    settings.sync();
    return status_code(settings.status());
  }
  QSettings fresh(settings.fileName(), xml_format());
  return status_code(fresh.status());
}

}  // namespace

void warn_user_file_failed(const QString &path, ZKpref_Err code) {
  qWarning() << "initialize_handle"
             << ": Loading setting(" << path << ") failed. " << format_error(code);
}

ZKpref_Err status_code(QSettings::Status status) {
  switch (status) {
    case QSettings::FormatError:
      return ZKPREF_FORMAT_ERROR;
    case QSettings::AccessError:
      return ZKPREF_ACCESS_ERROR;
    default:
      return ZKPREF_SUCCESS;
  }
}

UserFile::UserFile(const QString &path) : path_(path), locked_path_(lock_path(path)) {}

ZKpref_Err UserFile::make_settings(std::unique_ptr<QSettings> &settings, FileContent &content) {
  UserFileCall call = call_on(locked_path_, &content, nullptr);
  {
    UserFileCallScope scope(call);
    settings = std::make_unique<QSettings>(path_, xml_format());
  }
  last_seen_ = content.identity;
  // The settings machinery answers an unchanged file it holds from its
  // cache without reading (pinned by QtAnswersAnUnchangedFileFromItsProcess-
  // Cache); a file that was not empty then held keys, as far as the store
  // can tell.
  held_keys_ = call.held_keys.value_or(content.identity.exists && content.identity.size > 0);
  if (call.read == UserFileCall::Read::unreadable) return ZKPREF_ACCESS_ERROR;
  if (call.read == UserFileCall::Read::damaged) return ZKPREF_FORMAT_ERROR;
  return status_code(settings->status());
}

ZKpref_Err UserFile::open(std::unique_ptr<QSettings> &settings) {
  // Read here, under the shared lock, before the settings machinery sees the
  // file: a read that failed inside it would leave its cache holding an
  // empty map for the file, which a later opening would take as the file.
  const ReadResult got = read_file_whole(locked_path_, opening_content_);
  if (got == ReadResult::failed || !opening_content_.regular) {
    opening_content_ = FileContent{};
    warn_user_file_failed(path_, ZKPREF_ACCESS_ERROR);
    return ZKPREF_ACCESS_ERROR;
  }
  if (damaged_beside_open_stores()) {
    // A new settings object would read the damaged file and empty the map
    // that every store of the file shares: mended first, with what they hold.
    warn_user_file_failed(path_, ZKPREF_FORMAT_ERROR);
    const ZKpref_Err repaired = repair_at_opening(settings);
    if (repaired != ZKPREF_SUCCESS) {
      settings.reset();
      return repaired;
    }
    repaired_at_open_ = true;
  } else {
    const ZKpref_Err made = make_settings(settings, opening_content_);
    if (made == ZKPREF_ACCESS_ERROR) return made;
    damaged_at_opening_ = made == ZKPREF_FORMAT_ERROR;
    if (damaged_at_opening_) damaged_identity_ = opening_content_.identity;
  }
  // Joined now, before any carry-over makes changes pending: the shared
  // object synchronises as it is made.
  attach();
  return ZKPREF_SUCCESS;
}

bool UserFile::damaged_beside_open_stores() {
  FileContent &content = opening_content_;
  if (content.bytes.isEmpty()) return false;
  others_keys_ = every_key(locked_path_);
  if (!others_keys_) return false;
  // Parsed once: the settings machinery takes this map if it reads the file.
  content.parsed = parse_settings(content.bytes, content.map, content.seen);
  if (content.parsed) {
    others_keys_.reset();
    return false;
  }
  content.map.clear();
  damaged_identity_ = content.identity;
  return true;
}

ZKpref_Err UserFile::finish_opening(std::unique_ptr<QSettings> &settings) {
  opening_content_ = FileContent{};
  others_keys_.reset();
  if (repaired_at_open_) return ZKPREF_SUCCESS;
  ZKpref_Err loaded = damaged_at_opening_ ? ZKPREF_FORMAT_ERROR : status_code(settings->status());
  if (loaded != ZKPREF_SUCCESS) {
    warn_user_file_failed(path_, loaded);
    if (loaded == ZKPREF_FORMAT_ERROR) loaded = repair_at_opening(settings);
  }
  // A store that fails to open is no store of the file.
  if (loaded != ZKPREF_SUCCESS) detach();
  return loaded;
}

void UserFile::attach() {
  std::lock_guard<std::mutex> hold(views_mutex());
  OpenFile &open = views()[locked_path_];
  if (!open.view) {
    UserFileCall call = call_on(locked_path_, nullptr, nullptr);
    UserFileCallScope scope(call);
    open.view = std::make_unique<QSettings>(locked_path_, xml_format());
  }
  ++open.stores;
  attached_ = true;
}

void UserFile::detach() {
  if (!attached_) return;
  attached_ = false;
  std::lock_guard<std::mutex> hold(views_mutex());
  const auto found = views().find(locked_path_);
  if (found == views().end() || --found->second.stores > 0) return;
  UserFileCall call = call_on(locked_path_, nullptr, nullptr);
  UserFileCallScope scope(call);
  views().erase(found);
}

bool UserFile::move_aside(const FileContent &damaged, CopyRecord &copies) {
  return replace_file_whole(locked_path_ + QStringLiteral(".corrupt"), damaged.bytes, damaged.identity.mode, copies);
}

ZKpref_Err UserFile::repair_at_opening(std::unique_ptr<QSettings> &settings) {
  // The shared lock the opening holds keeps every sync out; this one keeps
  // out other openings that found the file damaged too.
  ZKprefProtection corrupt_lock(locked_path_ + QStringLiteral(".corrupt"), 1);
  if (corrupt_lock.lock() != 0) return ZKPREF_FORMAT_ERROR;
  CopyRecord copies(locked_path_);
  copies.remove_leftover();

  // Read again: another opening may have repaired the file meanwhile.
  FileContent now;
  if (read_file_whole(locked_path_, now) == ReadResult::failed || !now.regular) return ZKPREF_ACCESS_ERROR;
  if (now.identity == damaged_identity_)
    now.parsed = false;
  else
    now.parsed = !now.identity.exists || now.bytes.isEmpty() || parse_settings(now.bytes, now.map, now.seen);
  if (!now.parsed) {
    // Alone, the store opens empty; beside other open stores of the file it
    // keeps what they hold.
    const QSettings::SettingsMap kept = others_keys_.value_or(QSettings::SettingsMap());
    if (!move_aside(now, copies) || !write_in_place(now, kept, copies)) return ZKPREF_FORMAT_ERROR;
  }
  settings.reset();
  return make_settings(settings, now);
}

bool UserFile::is_damaged(FileContent &now) const {
  if (!now.identity.exists) return false;
  // A writer of this format replaces the file whole, and never with nothing:
  // a file cut to nothing that held keys lost them. The settings machinery
  // would take it as a file without keys without asking the reader (pinned
  // in settings_machinery_test.cpp), so it is judged here.
  if (now.bytes.isEmpty()) return held_keys_;
  // Parsed once: the settings machinery takes this map when it reads.
  now.parsed = parse_settings(now.bytes, now.map, now.seen);
  if (!now.parsed) now.map.clear();
  return !now.parsed;
}

bool UserFile::put_back_known_keys(FileContent &now, CopyRecord &copies) {
  const QSettings::SettingsMap known = every_key(locked_path_).value_or(QSettings::SettingsMap());
  if (!now.bytes.isEmpty() && !move_aside(now, copies)) return false;
  return write_in_place(now, known, copies);
}

bool UserFile::write_in_place(FileContent &now, const QSettings::SettingsMap &map, CopyRecord &copies) {
  QByteArray bytes;
  VariantsSeen seen;
  if (!format_settings(map, bytes, seen) || !replace_file_whole(locked_path_, bytes, now.identity.mode, copies))
    return false;
  // What the settings machinery reads next is what was just written.
  now.identity = identity_at(locked_path_);
  now.bytes = bytes;
  now.map = map;
  now.seen = seen;
  now.parsed = true;
  return true;
}

ZKpref_Err UserFile::sync(QSettings &settings) {
  ZKprefProtection exclusive(locked_path_, 1);
  if (int rc = exclusive.lock(); rc != 0) return static_cast<ZKpref_Err>(rc);
  // Holding the exclusive lock, no other store is writing this file: a
  // recorded copy and an unheld lock beside it belong to syncs that were
  // killed.
  if (int rc = remove_stale_machinery_lock(locked_path_); rc != 0) return static_cast<ZKpref_Err>(rc);
  CopyRecord copies(locked_path_);
  copies.remove_leftover();

  // Read before the settings machinery does: it empties its map of the file
  // before it opens it, so a read that fails inside it costs the keys, and
  // it writes all the same (pinned in settings_machinery_test.cpp). While
  // the file keeps the identity last seen, the machinery reads nothing
  // either (it reads again only a file whose size or time changed), and the
  // bytes are neither read nor judged: judging 1000 keys costs a parse of
  // about 1.3 ms (BM_Floor_QtReaderBuildsMap/1000), a sync of an unchanged
  // file 55 us.
  FileContent now;
  if (read_file_whole(locked_path_, now, &last_seen_) == ReadResult::failed || !now.regular) return ZKPREF_ACCESS_ERROR;
  const bool changed = now.identity != last_seen_;
  const bool damaged = changed && is_damaged(now);
  // Damage found is what this sync reports, whether or not the keys could be
  // put back; until they can, nothing is written over the bytes.
  if (damaged && !put_back_known_keys(now, copies)) return ZKPREF_FORMAT_ERROR;

  // Where the machinery's copy is an unnamed file until it is renamed into
  // place, a kill before then leaves nothing, and note() records it exactly;
  // skipping begin() there keeps a sync with nothing to write at 55 us
  // instead of 220-300 us (bench/zkpref_benchmark, SyncNothingPending).
  if (copies_may_be_named() && !copies.begin()) return ZKPREF_ACCESS_ERROR;
  // Unchanged, the bytes were not read, and the machinery reads nothing.
  UserFileCall call = call_on(settings.fileName(), changed ? &now : nullptr, &copies);
  ZKpref_Err result = sync_through_machinery(settings, call);
  if (call.read == UserFileCall::Read::unreadable) result = ZKPREF_ACCESS_ERROR;
  if (call.read == UserFileCall::Read::damaged) result = ZKPREF_FORMAT_ERROR;
  // The rename is on disk only once the folder is.
  if (result == ZKPREF_SUCCESS && call.wrote && !sync_folder_of(locked_path_)) result = ZKPREF_ACCESS_ERROR;

  const bool machinery_read_failed =
      call.read == UserFileCall::Read::unreadable || call.read == UserFileCall::Read::damaged;
  last_seen_ = machinery_read_failed ? FileIdentity{} : identity_at(locked_path_);
  if (call.held_keys) held_keys_ = *call.held_keys;
  if (damaged && result == ZKPREF_SUCCESS) result = ZKPREF_FORMAT_ERROR;
  return result;
}

bool UserFile::copies_may_be_named() {
  if (!copies_may_be_named_) {
    // The settings machinery makes its copy unnamed wherever the folder
    // allows it (pinned in settings_machinery_test.cpp).
    const QByteArray folder = QFile::encodeName(QFileInfo(locked_path_).absolutePath());
    const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    copies_may_be_named_ = fd < 0;
  }
  return *copies_may_be_named_;
}

void UserFile::close(std::unique_ptr<QSettings> &settings) {
  if (!settings) return;
  // Destroying a settings object with changes pending synchronises it; on
  // a file, or a machinery lock beside it, that is no longer a regular one
  // that would wait forever, so those changes are given up with the object
  // left undestroyed (the sync before the close has reported why).
  const FileIdentity at_close = identity_at(locked_path_);
  if ((at_close.exists && !S_ISREG(at_close.mode)) || machinery_lock_cannot_be_taken(locked_path_)) {
    (void)settings.release();
    detach();
    return;
  }
  UserFileCall call = call_on(settings->fileName(), nullptr, nullptr);
  UserFileCallScope scope(call);
  settings.reset();
  detach();
}

}  // namespace hestrel::zkpref
