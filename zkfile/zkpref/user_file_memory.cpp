// The last known content of each open user file, and the recovery of a read
// that finds that file damaged: the bytes go aside, the known keys stay.
#include "internal/user_file_memory.hpp"

#include <map>
#include <mutex>

#include <QtCore/QFile>
#include <QtCore/QFileDevice>
#include <QtCore/QSaveFile>

#include "internal/file_lock.hpp"

namespace hestrel::zkpref {

namespace {

struct Remembered {
  int stores = 0;
  bool known = false;
  QSettings::SettingsMap map;  // implicitly shared: copies are cheap
  bool damage_not_copied = false;  // the file on disk is damaged, no copy yet
};

std::mutex &memory_mutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<QString, Remembered> &memory() {
  static std::map<QString, Remembered> files;
  return files;
}

thread_local UserFileScope *innermost = nullptr;

QString device_path(const QIODevice &device) {
  const auto *file = qobject_cast<const QFileDevice *>(&device);
  return file ? lock_path(file->fileName()) : QString();
}

// Byte for byte and atomically, under the lock an opening takes to move a
// damaged file aside. Read from disk: the caller holds the file's lock.
bool copy_aside(const QString &path) {
  QFile damaged(path);
  if (!damaged.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = damaged.readAll();
  if (damaged.error() != QFileDevice::NoError) return false;
  const QString target = path + QStringLiteral(".corrupt");
  ZKprefProtection corrupt_lock(target, 1);
  if (corrupt_lock.lock() != 0) return false;
  QSaveFile copy(target);
  if (!copy.open(QIODevice::WriteOnly)) return false;
  if (copy.write(bytes) != bytes.size() || !copy.flush()) {
    copy.cancelWriting();
    return false;
  }
  return copy.commit();
}

}  // namespace

void remember_user_file(const QString &path) {
  std::lock_guard<std::mutex> guard(memory_mutex());
  ++memory()[path].stores;
}

void forget_user_file(const QString &path) {
  std::lock_guard<std::mutex> guard(memory_mutex());
  auto found = memory().find(path);
  if (found != memory().end() && --found->second.stores <= 0) memory().erase(found);
}

void note_user_file_empty(const QString &path) {
  std::lock_guard<std::mutex> guard(memory_mutex());
  auto found = memory().find(path);
  if (found != memory().end() && !found->second.known) found->second.known = true;
}

UserFileScope::UserFileScope(const QString &path) : path_(path), outer_(innermost) { innermost = this; }

UserFileScope::~UserFileScope() { innermost = outer_; }

void note_user_map(const QIODevice &device, const QSettings::SettingsMap &map) {
  const QString path = device_path(device);
  if (path.isEmpty()) return;
  std::lock_guard<std::mutex> guard(memory_mutex());
  auto found = memory().find(path);
  if (found == memory().end()) return;
  found->second.known = true;
  found->second.map = map;
  found->second.damage_not_copied = false;
}

bool recover_damaged_read(QIODevice &device, QSettings::SettingsMap &map) {
  UserFileScope *scope = innermost;
  if (!scope) return false;
  const QString path = device_path(device);
  if (path.isEmpty() || path != scope->path_) return false;
  QSettings::SettingsMap last;
  {
    std::lock_guard<std::mutex> guard(memory_mutex());
    auto found = memory().find(path);
    if (found == memory().end() || !found->second.known) return false;
    last = found->second.map;
  }
  scope->damaged_ = true;
  const bool copied = copy_aside(path);
  {
    std::lock_guard<std::mutex> guard(memory_mutex());
    auto found = memory().find(path);
    if (found != memory().end()) found->second.damage_not_copied = !copied;
  }
  map = last;
  return true;
}

bool user_write_allowed(const QIODevice &device) {
  const QString path = device_path(device);
  if (path.isEmpty()) return true;
  {
    std::lock_guard<std::mutex> guard(memory_mutex());
    auto found = memory().find(path);
    if (found == memory().end() || !found->second.damage_not_copied) return true;
  }
  // Tried again at every write, so the file is written once a copy can be made.
  if (!copy_aside(path)) return false;
  std::lock_guard<std::mutex> guard(memory_mutex());
  auto found = memory().find(path);
  if (found != memory().end()) found->second.damage_not_copied = false;
  return true;
}

}  // namespace hestrel::zkpref
