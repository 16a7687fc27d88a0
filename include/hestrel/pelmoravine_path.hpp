// The two answers every directory of the file services rests on: the
// user's home directory and the installation root.
#ifndef HESTREL_PELMORAVINE_PATH_HPP
#define HESTREL_PELMORAVINE_PATH_HPP

#include "hestrel_export.h"

#include <string>

namespace pelmoravine {
namespace path {

// The user's home directory as Qt reports it, in UTF-8. Never throws.
HESTREL_API std::string home();

// The installation root: PELMORAVINE decoded from the local 8-bit encoding,
// in UTF-8; "" when unset. Read anew on every call. Never throws.
HESTREL_API std::string pelmoravine_dir();

}  // namespace path
}  // namespace pelmoravine

#endif
