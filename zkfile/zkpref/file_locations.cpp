// Where the preference files live: the per-user directory and file of a
// release, the machine-wide and installation-wide files, and release order.
#include <dirent.h>

#include <cerrno>
#include <string>
#include <unordered_map>
#include <vector>

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QString>
#include <QtCore/QtGlobal>

#include "zkfile_dirs.hpp"
#include "zkfile_release.hpp"
#include "zkpref.hpp"
#include "zkpref/internal/release_files.hpp"
#include "zkpref/internal/store_state.hpp"

namespace {

const char *const sandbox_variable = "PELMORAVINE_ZKPREF_SANDBOX";
const char *const base_word = ".pelmoravine";

// One "/" between the two, none added when the first already ends in one.
std::string join(const std::string &base, const std::string &leaf) {
  if (leaf.empty()) return base;
  if (base.empty()) return leaf;
  return base.back() == '/' ? base + leaf : base + '/' + leaf;
}

// The sandbox made absolute; an empty value is the working directory
// itself, as any relative value is resolved against it.
std::string sandbox_base() {
  QString value = qEnvironmentVariable(sandbox_variable);
  if (value.isEmpty()) value = QStringLiteral(".");
  return join(QFileInfo(value).absoluteFilePath().toStdString(), base_word);
}

// Release "2019-3" named the files of products 9 to 15 differently.
const hestrel::zkpref::ProductTable &stems_of_2019_3() {
  // clang-format off
  static const hestrel::zkpref::ProductTable table = {
      {ZKPREF_GOLVENT, "Tirrabel"}, {ZKPREF_QORM, "Golvent"},    {ZKPREF_ORBRETTE, "Qorm"},
      {ZKPREF_LUMBRAST, "Orbrette"}, {ZKPREF_SCRIPTS, "Lumbrast"}, {ZKPREF_SHARED, "Scripts"},
      {ZKPREF_PHINTOR, "Shared"}};
  // clang-format on
  return table;
}

// Releases up to "2017-1" kept their files under the home directory; the
// application-data override came later and does not move them.
bool home_based(const std::string &release);

std::string older_base() {
  return qEnvironmentVariableIsSet(sandbox_variable) ? sandbox_base() : join(QDir::homePath().toStdString(), base_word);
}

QString file_in(const std::string &directory, ZKPREF_PRODUCTS product, const std::string &release);

}  // namespace

int compare_releases(std::string a, std::string b) {
  const std::vector<std::string> &releases = zkfile_get_past_release_names();
  if (releases.empty()) return 0;
  // The list never changes, so each name's position is found by one lookup
  // (the first entry wins, as a scan would find it); unlisted names rank
  // below every listed one.
  static const std::unordered_map<std::string, std::size_t> positions = [&releases] {
    std::unordered_map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < releases.size(); ++i) index.emplace(releases[i], i);
    return index;
  }();
  auto position = [&releases](const std::string &name) {
    auto it = positions.find(name);
    return it == positions.end() ? releases.size() : it->second;
  };
  std::size_t pa = position(a), pb = position(b);
  return pa < pb ? 1 : pa == pb ? 0 : -1;
}

QString zkpref_config_path() {
  if (qEnvironmentVariableIsSet(sandbox_variable)) return QString::fromStdString(sandbox_base());
  return QString::fromStdString(zkfile_get_directory_path(DIR_LOCAL_APPDATA));
}

namespace pelmoravine {
namespace preferences {
namespace internal {

std::string get_zkpref_directory(const std::string &release) {
  return join(home_based(release) ? older_base() : zkpref_config_path().toStdString(), release);
}

QString get_zkpref_file(ZKPREF_PRODUCTS product, const QString &release) {
  const std::string name = release.toStdString();
  return file_in(get_zkpref_directory(name), product, name);
}

QString get_suite_preferences_path() {
  return qEnvironmentVariable("PELMORAVINE_SITE_PREFERENCE",
                              qEnvironmentVariable("PELMORAVINE") + QStringLiteral("/config/suitepref.xml"));
}

QString get_machine_preferences_path() {
#if defined(__APPLE__)
  const QString fallback = QStringLiteral("/Library/Application Support/Pelmoravine/suitepref.xml");
#else
  const QString fallback = QStringLiteral("/etc/opt/pelmoravine/suitepref.xml");
#endif
  return qEnvironmentVariable("PELMORAVINE_MACHINE_PREFERENCE", fallback);
}

}  // namespace internal
}  // namespace preferences
}  // namespace pelmoravine

namespace {

bool home_based(const std::string &release) { return compare_releases(release, "2017-1") < 1; }

QString file_in(const std::string &directory, ZKPREF_PRODUCTS product, const std::string &release) {
  const std::string *stem = nullptr;
  if (compare_releases(release, "2019-3") == 0) {
    auto renamed = stems_of_2019_3().find(product);
    if (renamed != stems_of_2019_3().end()) stem = &renamed->second;
  }
  if (!stem) stem = &hestrel::zkpref::products().at(product);
  return QString::fromStdString(directory) + QLatin1Char('/') + QString::fromStdString(*stem) + QStringLiteral(".xml");
}

}  // namespace

namespace hestrel::zkpref {

ReleaseFiles::Base &ReleaseFiles::base_of(const std::string &release) {
  const bool older = home_based(release);
  Base &base = older ? older_ : newer_;
  if (!base.path) base.path = older ? older_base() : zkpref_config_path().toStdString();
  return base;
}

QString ReleaseFiles::file(const std::string &release) {
  return file_in(join(*base_of(release).path, release), product_, release);
}

bool ReleaseFiles::may_exist(const std::string &release) {
  Base &base = base_of(release);
  if (!base.entries && !base.unlistable) {
    DIR *dir = base.path->empty() ? nullptr : ::opendir(base.path->c_str());
    if (dir) {
      base.entries.emplace();
      while (const struct dirent *entry = ::readdir(dir)) base.entries->insert(entry->d_name);
      ::closedir(dir);
    } else if (!base.path->empty() && errno == ENOENT) {
      base.entries.emplace();
    } else {
      base.unlistable = true;  // then every file is asked for itself
    }
  }
  if (base.unlistable || release.empty()) return true;
  // Only the first part of a release name is an entry of the base folder.
  return base.entries->count(release.substr(0, release.find('/'))) != 0;
}

}  // namespace hestrel::zkpref
