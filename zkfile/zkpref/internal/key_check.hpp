// The key check shared by writes and group entry: every "/"-separated part
// of a key or group name must be an XML element name the file can hold.
#ifndef HESTREL_ZKPREF_INTERNAL_KEY_CHECK_HPP
#define HESTREL_ZKPREF_INTERNAL_KEY_CHECK_HPP

#include <QtCore/QString>
#include <QtCore/QStringView>

namespace hestrel::zkpref {

// The one split of a key into its "/"-separated parts, empty ones included:
// calls part for each in order, in place, until one call returns false.
// True when every call returned true.
template <typename Part>
bool each_key_part(QStringView key, Part part) {
  for (qsizetype start = 0;;) {
    const qsizetype slash = key.indexOf(u'/', start);
    if (!part(key.mid(start, (slash < 0 ? key.size() : slash) - start))) return false;
    if (slash < 0) return true;
    start = slash + 1;
  }
}

// 0 when every part is valid; 10 after the invalid-key WARNING on the
// default error handle naming the first part that is not.
int validate_key(const QString &key);

}  // namespace hestrel::zkpref

#endif
