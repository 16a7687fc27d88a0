// Opening and closing a store: the shared layers, the count of open stores,
// carry-over from earlier releases; the user's file itself is handled by
// UserFile (internal/user_file.hpp).
#include <sys/stat.h>

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

#include "zkerr.h"
#include "zkfile_release.hpp"
#include "zkpref.hpp"
#include "zkpref/internal/file_lock.hpp"
#include "zkpref/internal/release_files.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/user_file.hpp"
#include "zkpref/internal/variant_flags.hpp"

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
  if (user_file) user_file->close(settings);
  settings.reset();
  auto &layers = shared_layers();
  layers.nactivehandles.fetch_sub(1);
  QWriteLocker locker(&hestrel::zkpref::zkpref_mutex());
  if (layers.nactivehandles.load() == 0) drop_shared_layers();
}

ZKpref_Err ZKPREF::initialize_handle(bool migrate) {
  const auto &table = hestrel::zkpref::products();
  if (static_cast<int>(product) < 0 || static_cast<std::size_t>(product) >= table.size()) return ZKPREF_PRODUCT_UNKNOWN;

  QWriteLocker locker(&hestrel::zkpref::zkpref_mutex());
  osAttribute = ZKPREF_PLATFORM_NONE;

  auto &layers = shared_layers();
  if (!layers.zkpref_initialized || qEnvironmentVariableIsSet("PELMORAVINE_ZKPREF_TEST")) {
    namespace where = pelmoravine::preferences::internal;
    load_layer(where::get_machine_preferences_path(), layers.first_level_settings, ": Loading first level fallback ");
    load_layer(where::get_suite_preferences_path(), layers.second_level_settings, ": Loading second level fallback ");
    layers.zkpref_initialized = true;
  }

  // The carry-over below asks for the earlier releases' files through the
  // same lookup, so the application-data directory is asked for once.
  hestrel::zkpref::ReleaseFiles files(product);
  const QString path = files.file(pelmoravine::release_name());
  // Opening and synchronisation lock one form of the path, so a reader and a
  // writer in two processes exclude each other whatever form it was built in.
  user_file = std::make_unique<hestrel::zkpref::UserFile>(path);
  ZKprefProtection shared_lock(user_file->locked_path(), 0);
  if (int rc = shared_lock.lock(); rc != 0) return static_cast<ZKpref_Err>(rc);

  if (ZKpref_Err rc = user_file->open(settings); rc != ZKPREF_SUCCESS) return rc;
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
    result = user_file->finish_opening(settings);
  } catch (...) {
    give_back_count();
    throw;
  }
  if (result != ZKPREF_SUCCESS) give_back_count();
  if (settings) hestrel::zkpref::watch_variants(*settings);
  return result;
}

void ZKPREF::loadFromRelease(const std::string &release) {
  carry_over(pelmoravine::preferences::internal::get_zkpref_file(product, QString::fromStdString(release)), *settings);
}

int ZKPREF::createEmptyPreferenceFile(QFile &file) {
  const boost::filesystem::path directory(
      pelmoravine::preferences::internal::get_zkpref_directory(pelmoravine::release_name()));
  if (!boost::filesystem::exists(directory)) boost::filesystem::create_directories(directory);
  if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) file.close();
  return file.exists() ? 0 : 1;
}

ZKpref_Err ZKPREF::syncSettings() {
  if (!settings || !user_file) return ZKPREF_FAILURE;
  return user_file->sync(*settings);
}
