// The XML settings file format: the reader and writer that the settings
// machinery calls for every preference file.
#ifndef HESTREL_ZKPREF_INTERNAL_XML_FORMAT_HPP
#define HESTREL_ZKPREF_INTERNAL_XML_FORMAT_HPP

#include <QtCore/QIODevice>
#include <QtCore/QSettings>

namespace hestrel::zkpref {

// Inserts the file's keys into map (never clears it). False after an XML
// error, with a Qt warning.
bool readXmlFile(QIODevice &device, QSettings::SettingsMap &map);

// Writes the whole map. False when the device refuses data, and also for a
// map the format cannot hold, before anything is written.
bool writeXmlFile(QIODevice &device, const QSettings::SettingsMap &map);

}  // namespace hestrel::zkpref

#endif
