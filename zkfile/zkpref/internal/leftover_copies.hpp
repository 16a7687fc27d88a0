// What a killed synchronisation leaves beside a preference file: the
// settings machinery's temporary copy where the file system has no unnamed
// temporary files.
#ifndef HESTREL_ZKPREF_INTERNAL_LEFTOVER_COPIES_HPP
#define HESTREL_ZKPREF_INTERNAL_LEFTOVER_COPIES_HPP

#include <QtCore/QString>

namespace hestrel::zkpref {

// True for a name the settings machinery gives its temporary copy of the
// file named file_name: that name, a dot and six ASCII letters.
bool is_leftover_copy_name(const QString &name, const QString &file_name);

// Removes the regular files beside path named as its temporary copies.
// Only for a caller holding the file's exclusive lock.
void remove_leftover_copies(const QString &path);

}  // namespace hestrel::zkpref

#endif
