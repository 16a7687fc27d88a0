// A plain settings writer of another program: opens a preference file with
// the store's registered format and Qt's own settings object, sets one
// integer key record and synchronises. Exit status 0 when the sync reported
// no error. Arguments: file, key, value.
#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include "zkpref.hpp"

int main(int argc, char **argv) {
  if (argc != 4) return 2;
  QSettings settings(QString::fromLocal8Bit(argv[1]), getQSettingsFormat());
  QVariantMap record;
  record.insert(QStringLiteral("dt"), QStringLiteral("int"));
  record.insert(QStringLiteral("value"), QString::fromLocal8Bit(argv[3]).toInt());
  settings.setValue(QString::fromLocal8Bit(argv[2]), record);
  settings.sync();
  return settings.status() == QSettings::NoError ? 0 : 1;
}
