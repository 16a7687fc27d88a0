// The key check shared by writes and group entry: every "/"-separated part
// of a key or group name must be an XML element name the file can hold.
#ifndef HESTREL_ZKPREF_INTERNAL_KEY_CHECK_HPP
#define HESTREL_ZKPREF_INTERNAL_KEY_CHECK_HPP

#include <QtCore/QString>

namespace hestrel::zkpref {

// 0 when every part is valid; 10 after the invalid-key WARNING on the
// default error handle naming the first part that is not.
int validate_key(const QString &key);

}  // namespace hestrel::zkpref

#endif
