// The words of the XML settings file format, in one place for its reader,
// its writer, its limits and the store: element, field and type names.
#ifndef HESTREL_ZKPREF_INTERNAL_XML_VOCABULARY_HPP
#define HESTREL_ZKPREF_INTERNAL_XML_VOCABULARY_HPP

#include <string>
#include <string_view>

#include <QtCore/QString>

#include "zkpref.h"

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

// Indexed by ZKPREF_TYPE: the type names "dt" holds, the names Qt gives the
// four value types. The only place they are written out.
inline constexpr const char *type_names[5] = {"none", "int", "QString", "double", "bool"};

// Indexed by ZKPREF_PLATFORM: the platform names of the "os" attribute.
inline constexpr const char *platform_names[4] = {"none", "windows", "linux", "darwin"};

// The type a read or list of T asks for.
template <typename T>
constexpr ZKPREF_TYPE type_of();
template <>
constexpr ZKPREF_TYPE type_of<int>() {
  return ZKPREF_TYPE_INT;
}
template <>
constexpr ZKPREF_TYPE type_of<QString>() {
  return ZKPREF_TYPE_STRING;
}
template <>
constexpr ZKPREF_TYPE type_of<double>() {
  return ZKPREF_TYPE_DOUBLE;
}
template <>
constexpr ZKPREF_TYPE type_of<bool>() {
  return ZKPREF_TYPE_BOOL;
}

// A type's name as text, made once and shared by every record that holds
// it. Never destroyed: stores may still close from destructors at exit.
inline const QString &type_word(ZKPREF_TYPE type) {
  static const QString *words =
      new QString[5]{QLatin1String(type_names[0]), QLatin1String(type_names[1]), QLatin1String(type_names[2]),
                     QLatin1String(type_names[3]), QLatin1String(type_names[4])};
  return words[type];
}

// What a platform variant adds to its key: ":os=" and the platform's name
// (g/k:os=linux); empty for ZKPREF_PLATFORM_NONE. Every variant key is
// built from these.
inline const QString &variant_suffix(ZKPREF_PLATFORM platform) {
  static const QString *suffixes = new QString[4]{QString(), platform_suffix() + QLatin1String(platform_names[1]),
                                                  platform_suffix() + QLatin1String(platform_names[2]),
                                                  platform_suffix() + QLatin1String(platform_names[3])};
  return suffixes[platform];
}
inline std::string_view variant_suffix_utf8(ZKPREF_PLATFORM platform) {
  static const std::string *suffixes = new std::string[4]{
      std::string(), variant_suffix(ZKPREF_PLATFORM_WINDOWS).toStdString(),
      variant_suffix(ZKPREF_PLATFORM_LINUX).toStdString(), variant_suffix(ZKPREF_PLATFORM_DARWIN).toStdString()};
  return suffixes[platform];
}

}  // namespace hestrel::zkpref::words

#endif
