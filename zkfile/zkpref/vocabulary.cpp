// The preference store's shared vocabulary and its load-time set-up: the
// product stems, the registered XML settings format and the recursive lock.
#include <string>

#include <QtCore/QReadWriteLock>
#include <QtCore/QSettings>
#include <QtCore/QString>

#include "zkpref.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/xml_format.hpp"
#include "zkpref/internal/xml_vocabulary.hpp"

// Defined first in this unit, so it is built before, and destroyed after,
// everything the load-time set-up below makes.
const std::string ZKPREF_TMPDIR_KEY = "tmpdir";

namespace hestrel::zkpref {

const char *const zkpref_type_strings[5] = {words::type_names[0], words::type_names[1], words::type_names[2],
                                            words::type_names[3], words::type_names[4]};
const char *const platforms[4] = {words::platform_names[0], words::platform_names[1], words::platform_names[2],
                                  words::platform_names[3]};

namespace {

QSettings::Format registered_format = QSettings::InvalidFormat;

}  // namespace

const ProductTable &products() {
  static const ProductTable table = {
      {ZKPREF_TRALVENIC, "Tralvenic"}, {ZKPREF_VORNAKEL, "Vornakel"}, {ZKPREF_MIRRENDAL, "Mirrendal"},
      {ZKPREF_YORVET, "Yorvet"},       {ZKPREF_DULCRIN, "Dulcrin"},   {ZKPREF_DREMLOK, "Dremlok"},
      {ZKPREF_HOBRANT, "Hobrant"},     {ZKPREF_SORQUINT, "Sorquint"}, {ZKPREF_CALDREX, "Caldrex"},
      {ZKPREF_GOLVENT, "Golvent"},     {ZKPREF_QORM, "Qorm"},         {ZKPREF_ORBRETTE, "Orbrette"},
      {ZKPREF_LUMBRAST, "Lumbrast"},   {ZKPREF_SCRIPTS, "Scripts"},   {ZKPREF_SHARED, "Shared"},
      {ZKPREF_PHINTOR, "Phintor"}};
  return table;
}

const QString &running_platform_suffix() { return words::variant_suffix(running_platform); }

QSettings::Format xml_format() { return registered_format; }

QString format_error(int code) {
  switch (code) {
    case ZKPREF_ACCESS_ERROR:
      return QStringLiteral("Access error in using settings file. This might be due to permissions or a full disk.");
    case ZKPREF_FORMAT_ERROR:
      return QStringLiteral("Format error in using settings file. This might not be in proper ") +
             QStringLiteral(".xml") + QStringLiteral(" format.");
    case ZKPREF_PRODUCT_UNKNOWN:
      return QStringLiteral("The product is not recognized by the library.");
    case ZKPREF_LOCK_ERROR:
      return QStringLiteral("Failure to set lock on given settings file.");
    default:
      return QString();
  }
}

// Stores and the shared layers may still be closed from other objects'
// destructors at exit, so this is never destroyed.
SharedLayers &shared_layers() {
  static SharedLayers *layers = new SharedLayers;
  return *layers;
}

QReadWriteLock &zkpref_mutex() {
  static QReadWriteLock lock(QReadWriteLock::Recursive);
  return lock;
}

namespace {

// Runs when the library is loaded, before any caller can reach the store.
// The tables are built in this order, so they are destroyed at exit in the
// reverse one: the lock first, the key constant last.
struct LoadTimeSetup {
  LoadTimeSetup() {
    products();
    registered_format = QSettings::registerFormat(QStringLiteral("xml"), readXmlFile, writeXmlFile, Qt::CaseSensitive);
    zkpref_mutex();
  }
};
const LoadTimeSetup load_time_setup;

}  // namespace
}  // namespace hestrel::zkpref

QSettings::Format getQSettingsFormat() { return hestrel::zkpref::xml_format(); }

std::string zkpref_source_to_string(ZKPrefSource source) {
  switch (static_cast<int>(source)) {
    case ZKPREF_SOURCE_USER:
      return "user";
    case ZKPREF_SOURCE_MACHINE:
      return "machine";
    case ZKPREF_SOURCE_INSTALLATION:
      return "installation";
    case ZKPREF_SOURCE_NOT_FOUND:
      return "not found";
    default:
      return "unknown";
  }
}
