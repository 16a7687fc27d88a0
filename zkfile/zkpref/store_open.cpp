// Opening and closing a store: the shared layers, the user's file under the
// shared file lock, carry-over from earlier releases, moving a damaged file
// aside, and synchronisation under the exclusive file lock.
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include <boost/filesystem.hpp>

#include <QtCore/QDebug>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QReadWriteLock>
#include <QtCore/QSettings>
#include <QtCore/QString>

#include "internal/file_lock.hpp"
#include "internal/leftover_copies.hpp"
#include "internal/machinery_lock.hpp"
#include "internal/release_files.hpp"
#include "internal/store_state.hpp"
#include "internal/user_file_memory.hpp"
#include "internal/variant_flags.hpp"
#include "zkerr.h"
#include "zkfile_release.hpp"
#include "zkpref.hpp"

namespace {

using hestrel::zkpref::format_error;
using hestrel::zkpref::shared_layers;
using hestrel::zkpref::xml_format;

// The explanation that goes with a settings object's status.
QString status_explanation(QSettings::Status status) {
  if (status == QSettings::FormatError) return format_error(ZKPREF_FORMAT_ERROR);
  if (status == QSettings::AccessError) return format_error(ZKPREF_ACCESS_ERROR);
  return QString();
}

ZKpref_Err status_code(const QSettings &settings) {
  switch (settings.status()) {
    case QSettings::FormatError:
      return ZKPREF_FORMAT_ERROR;
    case QSettings::AccessError:
      return ZKPREF_ACCESS_ERROR;
    default:
      return ZKPREF_SUCCESS;
  }
}

// Only regular files are read: opening a FIFO for reading waits for a
// writer that may never come, holding every lock of the opening.
bool is_other_than_regular(const QString &path) {
  struct stat status {};
  return ::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode);
}

// Reads one shared layer. A layer whose path is empty or whose file is
// missing keeps what it had; one that fails to load is dropped with a warning.
void load_layer(const QString &path, std::unique_ptr<QSettings> &layer, const char *which) {
  if (path.isEmpty() || !QFileInfo::exists(path)) return;
  const bool readable = !is_other_than_regular(path);
  std::unique_ptr<QSettings> loaded;
  if (readable) loaded = std::make_unique<QSettings>(path, xml_format());
  if (!readable || loaded->status() != QSettings::NoError) {
    qWarning() << "scan_profile" << which << " setting(" << path << ") failed. "
               << status_explanation(readable ? loaded->status() : QSettings::AccessError);
    layer.reset();
    return;
  }
  layer = std::move(loaded);
  hestrel::zkpref::watch_variants(*layer);
}

// Drops both shared layers, so the next opening reads them again. Called
// under the store lock by whoever brought the count of open stores to 0.
void drop_shared_layers() {
  auto &layers = shared_layers();
  layers.first_level_settings.reset();
  layers.second_level_settings.reset();
  layers.zkpref_initialized = false;
}

// Silences the default handle while earlier releases are searched, and
// gives back printing only when it printed before, also on an exception.
class QuietDefaultHandle {
 public:
  QuietDefaultHandle() {
    zkerr_print_state(-1, &was_printing_);
    zkerr_suppress_print(-1);
  }
  QuietDefaultHandle(const QuietDefaultHandle &) = delete;
  QuietDefaultHandle &operator=(const QuietDefaultHandle &) = delete;
  ~QuietDefaultHandle() {
    if (was_printing_) zkerr_restore_print(-1);
  }

 private:
  int was_printing_ = 0;
};

// The user store's status after opening: a file that does not parse is
// moved aside to its name plus ".corrupt" and the store opens empty.
ZKpref_Err check_user_store(std::unique_ptr<QSettings> &settings, const QString &path,
                            const QString &locked_path) {
  if (settings->status() == QSettings::NoError) return ZKPREF_SUCCESS;
  qWarning() << "initialize_handle" << ": Loading setting(" << path << ") failed. "
             << status_explanation(settings->status());
  ZKpref_Err result = status_code(*settings);
  if (result == ZKPREF_FORMAT_ERROR) {
    // A file that does not parse is moved aside, never deleted: the user
    // can still recover what it held, and the store opens empty.
    ZKprefProtection corrupt_lock(locked_path + QStringLiteral(".corrupt"), 1);
    if (corrupt_lock.lock() == 0) {
      settings.reset();
      const QByteArray from = QFile::encodeName(path);
      const QByteArray to = QFile::encodeName(path + QStringLiteral(".corrupt"));
      if (std::rename(from.constData(), to.constData()) == 0) {
        settings = std::make_unique<QSettings>(path, xml_format());
        result = status_code(*settings);
      }
    }
  }
  return result;
}

// After a sync found the file damaged: with no change of its own pending the
// store wrote nothing, and the damaged file left in place would open empty
// in the next process. Writing one known key again makes the settings
// machinery write every key the store holds. A store holding no key leaves
// the file to the next opening, which moves it aside.
void rewrite_known_keys(const QString &file_name) {
  QSettings again(file_name, xml_format());
  const QStringList keys = again.allKeys();
  if (keys.isEmpty()) return;
  again.setValue(keys.first(), again.value(keys.first()));
  again.sync();
}

// Copies every key record of an earlier release's file unchanged into the
// user store; true when the user store holds a key afterwards.
bool carry_over(const QString &path, QSettings &settings) {
  if (QFileInfo::exists(path) && !is_other_than_regular(path)) {
    QSettings earlier(path, xml_format());
    if (earlier.status() == QSettings::NoError) {
      const QStringList keys = earlier.allKeys();
      for (const QString &key : keys) {
        settings.setValue(key, earlier.value(key));
        hestrel::zkpref::key_written(settings, key);
      }
    }
  }
  return !settings.allKeys().isEmpty();
}

}  // namespace

ZKPREF::ZKPREF(ZKPREF_PRODUCTS product, bool migrate) : product(product) {
  ZKpref_Err result = initialize_handle(migrate);
  if (result != ZKPREF_SUCCESS) {
    settings.reset();
    throw std::runtime_error(format_error(result).toStdString());
  }
}

ZKPREF::~ZKPREF() {
  // A destructor cannot report: a synchronisation that runs out of memory
  // leaves the pending changes to the settings object, which writes them as
  // it goes.
  try {
    syncSettings();
  } catch (...) {
  }
  // Destroying the settings object synchronises once more when changes are
  // pending; on a file that is no longer a regular one that would wait
  // forever, so those changes are given up with the object left undestroyed.
  const QString remembered = settings ? hestrel::zkpref::lock_path(settings->fileName()) : QString();
  if (settings && is_other_than_regular(remembered)) (void)settings.release();
  settings.reset();
  if (!remembered.isEmpty()) hestrel::zkpref::forget_user_file(remembered);
  auto &layers = shared_layers();
  layers.nactivehandles.fetch_sub(1);
  QWriteLocker locker(&hestrel::zkpref::zkpref_mutex());
  if (layers.nactivehandles.load() == 0) drop_shared_layers();
}

ZKpref_Err ZKPREF::initialize_handle(bool migrate) {
  const auto &table = hestrel::zkpref::products();
  if (static_cast<int>(product) < 0 || static_cast<std::size_t>(product) >= table.size())
    return ZKPREF_PRODUCT_UNKNOWN;

  QWriteLocker locker(&hestrel::zkpref::zkpref_mutex());
  osAttribute = ZKPREF_PLATFORM_NONE;

  auto &layers = shared_layers();
  if (!layers.zkpref_initialized || qEnvironmentVariableIsSet("PELMORAVINE_ZKPREF_TEST")) {
    namespace where = pelmoravine::preferences::internal;
    load_layer(where::get_machine_preferences_path(), layers.first_level_settings,
               ": Loading first level fallback ");
    load_layer(where::get_suite_preferences_path(), layers.second_level_settings,
               ": Loading second level fallback ");
    layers.zkpref_initialized = true;
  }

  // The carry-over below asks for the earlier releases' files through the
  // same lookup, so the application-data directory is asked for once.
  hestrel::zkpref::ReleaseFiles files(product);
  const QString path = files.file(pelmoravine::release_name());
  // Opening and synchronisation lock one form of the path, so a reader and a
  // writer in two processes exclude each other whatever form it was built in.
  const QString locked_path = hestrel::zkpref::lock_path(path);
  ZKprefProtection shared_lock(locked_path, 0);
  if (int rc = shared_lock.lock(); rc != 0) return static_cast<ZKpref_Err>(rc);

  // Refused as a folder is, without opening it.
  if (is_other_than_regular(path)) {
    qWarning() << "initialize_handle" << ": Loading setting(" << path << ") failed. "
               << status_explanation(QSettings::AccessError);
    return ZKPREF_ACCESS_ERROR;
  }

  // Known while the store is open, so a later read that finds the file
  // damaged can keep every key the file held.
  hestrel::zkpref::UserFileRegistration registration(locked_path);
  hestrel::zkpref::UserFileScope scope(locked_path);
  settings = std::make_unique<QSettings>(path, xml_format());
  QFile file(path);
  if (!file.exists()) {
    if (migrate) {
      QuietDefaultHandle quiet;
      for (const std::string &release : zkfile_get_past_release_names()) {
        if (files.may_exist(release) && carry_over(files.file(release), *settings)) break;
      }
    } else if (createEmptyPreferenceFile(file) == 1) {
      return ZKPREF_FAILURE;
    }
  }

  layers.nactivehandles.fetch_add(1);
  // No store comes out of a failed opening, so it must not hold the shared
  // layers alive for the rest of the process.
  auto give_back_count = [&layers] {
    if (layers.nactivehandles.fetch_sub(1) == 1) drop_shared_layers();
  };
  ZKpref_Err result = ZKPREF_FAILURE;
  try {
    result = check_user_store(settings, path, locked_path);
    if (result == ZKPREF_SUCCESS && scope.damaged()) {
      // Another store of this process holds the file, and its keys stood in
      // for the damaged bytes, which were copied aside.
      qWarning() << "initialize_handle" << ": Loading setting(" << path << ") failed. "
                 << status_explanation(QSettings::FormatError);
    }
    if (result == ZKPREF_SUCCESS) hestrel::zkpref::note_user_file_empty(locked_path);
  } catch (...) {
    give_back_count();
    throw;
  }
  if (result != ZKPREF_SUCCESS) give_back_count();
  else registration.keep();
  if (settings) hestrel::zkpref::watch_variants(*settings);
  return result;
}

void ZKPREF::loadFromRelease(const std::string &release) {
  carry_over(pelmoravine::preferences::internal::get_zkpref_file(product, QString::fromStdString(release)),
             *settings);
}

int ZKPREF::createEmptyPreferenceFile(QFile &file) {
  const boost::filesystem::path directory(
      pelmoravine::preferences::internal::get_zkpref_directory(pelmoravine::release_name()));
  if (!boost::filesystem::exists(directory)) boost::filesystem::create_directories(directory);
  if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) file.close();
  return file.exists() ? 0 : 1;
}

ZKpref_Err ZKPREF::syncSettings() {
  if (!settings) return ZKPREF_FAILURE;
  const QString locked_path = hestrel::zkpref::lock_path(settings->fileName());
  ZKprefProtection exclusive_lock(locked_path, 1);
  if (int rc = exclusive_lock.lock(); rc != 0) return static_cast<ZKpref_Err>(rc);
  if (is_other_than_regular(locked_path)) return ZKPREF_ACCESS_ERROR;
  // Holding the exclusive lock, no other store is writing this file: copies
  // and an unheld lock beside it belong to syncs that were killed. At most
  // the copy of a sync killed from now on can remain.
  hestrel::zkpref::remove_leftover_copies(locked_path);
  if (int rc = hestrel::zkpref::remove_stale_machinery_lock(locked_path); rc != 0) return static_cast<ZKpref_Err>(rc);

  hestrel::zkpref::UserFileScope scope(locked_path);
  ZKpref_Err result = ZKPREF_SUCCESS;
  if (settings->status() == QSettings::NoError) {
    settings->sync();
    result = status_code(*settings);
  } else {
    // A settings object keeps its first error for life. Objects of one
    // process on one file share its keys and pending changes, and a new one
    // synchronises as it is made, with a status of its own: this sync's.
    QSettings fresh(settings->fileName(), xml_format());
    result = status_code(fresh);
  }
  if (scope.damaged()) {
    rewrite_known_keys(settings->fileName());
    return ZKPREF_FORMAT_ERROR;
  }
  return result;
}
