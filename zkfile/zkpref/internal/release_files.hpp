// The per-user files of one product across the releases, as one opening asks
// for them: each base directory is looked up once, not once per release.
#ifndef HESTREL_ZKPREF_INTERNAL_RELEASE_FILES_HPP
#define HESTREL_ZKPREF_INTERNAL_RELEASE_FILES_HPP

#include <optional>
#include <string>

#include <QtCore/QString>

#include "zkpref.h"

namespace hestrel::zkpref {

// Gives what get_zkpref_file(product, release) gives for every release, but
// asks the environment and the application-data lookup (which creates its
// directory) only at the first release that needs each base. Throws what
// that lookup throws. Lives for one opening, so environment changes between
// openings still take effect.
class ReleaseFiles {
 public:
  explicit ReleaseFiles(ZKPREF_PRODUCTS product) : product_(product) {}
  QString file(const std::string &release);

 private:
  ZKPREF_PRODUCTS product_;
  std::optional<std::string> newer_base_;  // releases after "2017-1"
  std::optional<std::string> older_base_;  // "2017-1", older and unlisted
};

}  // namespace hestrel::zkpref

#endif
