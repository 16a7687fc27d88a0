// The words of the XML settings file format, in one place for its reader,
// its writer, its limits and the store: element, field and type names.
#ifndef HESTREL_ZKPREF_INTERNAL_XML_VOCABULARY_HPP
#define HESTREL_ZKPREF_INTERNAL_XML_VOCABULARY_HPP

#include <QtCore/QString>

namespace hestrel::zkpref::words {

// Made once and shared, so comparing and looking up never builds a string.
inline const QString &root_element() {
  static const QString word = QStringLiteral("ApplicationSettings");
  return word;
}
inline const QString &type_field() {
  static const QString word = QStringLiteral("dt");
  return word;
}
inline const QString &value_field() {
  static const QString word = QStringLiteral("value");
  return word;
}
inline const QString &comment_field() {
  static const QString word = QStringLiteral("comment");
  return word;
}
// The attribute that carries a platform variant's platform, and the key
// suffix it stands for: g/k:os=linux is element k with os="linux".
inline const QString &platform_attribute() {
  static const QString word = QStringLiteral("os");
  return word;
}
inline const QString &platform_suffix() {
  static const QString word = QStringLiteral(":os=");
  return word;
}

// Indexed by ZKPREF_TYPE: the type names "dt" holds.
inline constexpr const char *type_names[5] = {"none", "int", "QString", "double", "bool"};

}  // namespace hestrel::zkpref::words

#endif
