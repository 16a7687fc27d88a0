// The file services' shared reporting route, error handle and path limit,
// for every source of the file services.
#ifndef HESTREL_ZKFILE_INTERNAL_REPORT_HPP
#define HESTREL_ZKFILE_INTERNAL_REPORT_HPP

#include <climits>
#include <cstddef>
#include <string>

#include "hestrel_export.h"

// The handle every message of the file services is raised on: -1, the
// default handler. Never changed.
extern "C" HESTREL_API int errHand_zkfile;

// Formats the arguments and raises the finished text as a WARNING on
// errHand_zkfile, as the argument of "%s". Messages of any length are raised
// whole (the handler itself bounds the printed text).
extern "C" HESTREL_API void failure(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

namespace hestrel::zkfile {

// The path limit of the file services' fixed buffers: a text needs fewer than
// path_limit characters (room for its NUL) to fit.
constexpr std::size_t path_limit = PATH_MAX;

inline bool fits_path_limit(std::size_t length) { return length < path_limit; }

// dir + '/' + name, with no '/' added when dir is empty or already ends
// with one (an empty dir gives the name alone).
std::string join(const std::string &dir, const std::string &name);

}  // namespace hestrel::zkfile

#endif
