// The per-user files of one product across the releases, as one opening asks
// for them: each base directory is looked up once, not once per release.
#ifndef HESTREL_ZKPREF_INTERNAL_RELEASE_FILES_HPP
#define HESTREL_ZKPREF_INTERNAL_RELEASE_FILES_HPP

#include <optional>
#include <set>
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
  // False only when the release's directory is known to be absent, so its
  // file cannot exist either: each base directory is listed once instead of
  // asking for every release's file.
  bool may_exist(const std::string &release);

 private:
  struct Base {
    std::optional<std::string> path;
    std::optional<std::set<std::string>> entries;  // empty set: no such folder
    bool unlistable = false;
  };
  Base &base_of(const std::string &release);

  ZKPREF_PRODUCTS product_;
  Base newer_;  // releases after "2017-1"
  Base older_;  // "2017-1", older and unlisted
};

}  // namespace hestrel::zkpref

#endif
