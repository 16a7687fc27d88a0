// What the XML settings format can hold: the writer refuses any other map
// before it writes a byte, so a file never loses or changes a key.
#ifndef HESTREL_ZKPREF_INTERNAL_XML_LIMITS_HPP
#define HESTREL_ZKPREF_INTERNAL_XML_LIMITS_HPP

#include <QtCore/QSettings>
#include <QtCore/QStringList>

namespace hestrel::zkpref {

// True when every key and record of map survives a write and a read: the
// keys come back the same and every record field with the same text.
bool xml_format_can_hold(const QSettings::SettingsMap &map);

// Whether a comment, a platform name of the ":os=" suffix and a field name
// can be written so that a read gives them back unchanged.
bool comment_can_be_written(const QString &comment);
bool platform_can_be_written(const QString &platform);
// Whether a record field of this name can be written as an attribute.
bool field_name_can_be_written(const QString &name);

// How many of the previous key's group parts the writer keeps open for the
// next path; the previous key element itself is never shared.
qsizetype shared_group_depth(const QStringList &previous, const QStringList &path);

}  // namespace hestrel::zkpref

#endif
