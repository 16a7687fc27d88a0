// The XML settings file format: two conversions between a file's bytes and
// the settings machinery's flat map, and the two callbacks that the settings
// machinery calls for every preference file.
#ifndef HESTREL_ZKPREF_INTERNAL_XML_FORMAT_HPP
#define HESTREL_ZKPREF_INTERNAL_XML_FORMAT_HPP

#include <QtCore/QByteArray>
#include <QtCore/QIODevice>
#include <QtCore/QSettings>

#include "zkpref/internal/variant_flags.hpp"

namespace hestrel::zkpref {

// Bytes to map: inserts the document's keys into map (never clears it) and
// says in seen which platform variants it met. False after an XML error,
// with a Qt warning; map then holds the keys read up to the error.
bool parse_settings(const QByteArray &bytes, QSettings::SettingsMap &map, VariantsSeen &seen);

// Map to bytes: the whole document. False, with bytes worthless, for a map
// the format cannot hold.
bool format_settings(const QSettings::SettingsMap &map, QByteArray &bytes, VariantsSeen &seen);

// The callbacks registered with the settings machinery. They read or write
// the device and convert; what more they do for a store's user file they
// learn from the one context a store sets around its calls of the settings
// machinery on that file (UserFileCall, internal/user_file_call.hpp): the
// bytes the store already read under its lock, where to record a temporary
// copy, and what to report back. Every other file is simply read or written.
bool readXmlFile(QIODevice &device, QSettings::SettingsMap &map);
// Every byte is on disk (the device's descriptor synchronised) before true.
bool writeXmlFile(QIODevice &device, const QSettings::SettingsMap &map);

}  // namespace hestrel::zkpref

#endif
