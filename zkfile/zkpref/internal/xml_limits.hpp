// What the XML settings format can hold, checked piece by piece by the
// writer as it writes and by the reader and the store as they take names in.
#ifndef HESTREL_ZKPREF_INTERNAL_XML_LIMITS_HPP
#define HESTREL_ZKPREF_INTERNAL_XML_LIMITS_HPP

#include <QtCore/QString>
#include <QtCore/QStringView>
#include <QtCore/QVariant>

namespace hestrel::zkpref {

// The one key check: a "/"-separated part of a key or group name must be an
// XML element name without ':' and not the root element's name.
bool is_path_part(QStringView part);

// Whether each piece can be written so that a read gives it back unchanged:
// element text (a value), attribute text, a comment, a platform name of the
// ":os=" suffix, and the name of a record field written as an attribute.
bool element_text_can_be_written(QStringView text);
bool attribute_text_can_be_written(QStringView text);
bool comment_can_be_written(QStringView comment);
bool platform_can_be_written(QStringView platform);
bool field_name_can_be_written(QStringView name);

// The text a record field is written as; false when the variant has none.
bool field_text(const QVariant &field, QString *text);

}  // namespace hestrel::zkpref

#endif
