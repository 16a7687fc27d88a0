// Preferences store for C++ callers: ZKPREF, the store of one product's
// preferences, with its typed reads, writes, groups and lists; the file
// locations and release order; the registered XML settings format.
#ifndef HESTREL_ZKPREF_HPP
#define HESTREL_ZKPREF_HPP

#include "hestrel_export.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include "zkpref.h"

class QFile;

namespace hestrel::zkpref {
struct StoreAccess;
class UserFile;
}  // namespace hestrel::zkpref

// "tmpdir": a key name offered to callers; the library never reads it.
extern HESTREL_API const std::string ZKPREF_TMPDIR_KEY;

// The settings format under which the store reads and writes its files, for
// callers that open a preference file with a QSettings of their own.
HESTREL_API QSettings::Format getQSettingsFormat();

// "user", "machine", "installation", "not found"; "unknown" otherwise.
HESTREL_API std::string zkpref_source_to_string(ZKPrefSource source);

// 1 when release a is newer than b, 0 when both hold the same position in
// the release list, -1 when a is older; a name not in the list ranks below
// every listed release.
HESTREL_API int compare_releases(std::string a, std::string b);

// The per-user base directory of releases newer than "2017-1":
// PELMORAVINE_ZKPREF_SANDBOX made absolute plus "/.pelmoravine" when that is
// set, else the local application-data directory (created when missing).
// Throws std::runtime_error when that directory cannot be had.
HESTREL_API QString zkpref_config_path();

namespace pelmoravine {
namespace preferences {
namespace internal {

// The per-user directory of a release (UTF-8); "2017-1" and older, and names
// not in the release list, lie under the home directory.
HESTREL_API std::string get_zkpref_directory(const std::string &release);
// The per-user preference file of a product in a release. Throws
// std::out_of_range for a product outside 0 to 15.
HESTREL_API QString get_zkpref_file(ZKPREF_PRODUCTS product, const QString &release);
// The installation-wide file; empty for none.
HESTREL_API QString get_suite_preferences_path();
// The machine-wide file; empty for none.
HESTREL_API QString get_machine_preferences_path();

}  // namespace internal
}  // namespace preferences
}  // namespace pelmoravine

// The store of one product: the user's file of the current release, with the
// machine-wide and installation-wide files that every open store shares.
// Reports through ZKpref_Err codes; only the constructor throws.
class HESTREL_API ZKPREF {
 public:
  // Opens the store. With migrate true a product without a file for the
  // current release carries settings over from the newest earlier release
  // that has some; with migrate false an empty file is created. Throws
  // std::runtime_error with the code's explanation when opening fails.
  explicit ZKPREF(ZKPREF_PRODUCTS product, bool migrate = true);
  ZKPREF(const ZKPREF &) = delete;
  ZKPREF &operator=(const ZKPREF &) = delete;
  // Synchronises the file and closes the store.
  virtual ~ZKPREF();

  // Opening, carry-over and synchronisation.
  ZKpref_Err initialize_handle(bool migrate);
  void loadFromRelease(const std::string &release);
  int createEmptyPreferenceFile(QFile &file);
  ZKpref_Err syncSettings();

  ZKpref_Err getInt(const std::string &key, int *value) const;
  ZKpref_Err getDouble(const std::string &key, double *value) const;
  ZKpref_Err getBool(const std::string &key, bool *value) const;
  ZKpref_Err getString(const std::string &key, std::string &value) const;
  ZKpref_Err getInt(const std::string &key, int *value, int def) const;
  ZKpref_Err getDouble(const std::string &key, double *value, double def) const;
  ZKpref_Err getBool(const std::string &key, bool *value, bool def) const;
  ZKpref_Err getString(const std::string &key, std::string &value, const std::string &def) const;
  ZKpref_Err get(const std::string &key, int &value) const;
  ZKpref_Err get(const std::string &key, double &value) const;
  ZKpref_Err get(const std::string &key, std::string &value) const;
  ZKpref_Err get(const std::string &key, bool &value) const;
  // The key's type over every platform's variant in every file; 0 for none.
  ZKPREF_TYPE getType(const std::string &key) const;
  ZKPrefSource getKeySource(const char *key) const;

  // Writes, key tests and removal: the user's file only.
  // 0 stored, 1 type clash with the key's existing type, 10 invalid key.
  ZKpref_Err set(const std::string &key, const QVariant &value, const std::string &comment);
  ZKpref_Err hasKey(const std::string &key) const;
  ZKpref_Err hasKey(const std::string &key, ZKPREF_TYPE type) const;
  int removeKey(const std::string &key, ZKPREF_TYPE type);
  bool remove_key(const char *key);

  // Groups, the platform attribute of writes, lists and the group tree.
  ZKpref_Err beginGroup(const std::string &group);
  void endGroup();
  std::string getGroup() const;
  void beginOsAttribute(ZKPREF_PLATFORM platform);
  void endOsAttribute();
  ZKpref_Err getIntList(const std::string &group, std::map<std::string, int> &list);
  ZKpref_Err getDoubleList(const std::string &group, std::map<std::string, double> &list);
  ZKpref_Err getBoolList(const std::string &group, std::map<std::string, bool> &list);
  ZKpref_Err getStringList(const std::string &group, std::map<std::string, std::string> &list);
  int getSubgroups(std::vector<std::string> &groups, int depth);
  virtual void clearSettings();
  void getSettingsFile(std::string &path) const;

 private:
  // The typed readers behind the members above; the library's own callers
  // reach them through StoreAccess, and a caller outside it cannot name them.
  friend struct hestrel::zkpref::StoreAccess;

  // Typed reads through the user's, the machine-wide and the installation-
  // wide file, each first under the running platform's variant. The code is
  // 0, 3 (other type, or no conversion) or 4 (held nowhere); on error the
  // value is T's empty value.
  template <typename T>
  T get(const char *key, ZKpref_Err *err) const;
  // The user's file decides alone: its value, else the caller's value, with
  // 0, 3, 4 or 2 (only a shared file holds a value of the type).
  template <typename T>
  T get_or_use_value(const char *key, T value, ZKpref_Err *err) const;
  template <typename T>
  ZKpref_Err get_list(const std::string &group, std::map<std::string, T> &list);

  ZKPREF_PRODUCTS product;
  ZKPREF_PLATFORM osAttribute = ZKPREF_PLATFORM_NONE;
  std::unique_ptr<QSettings> settings;
  // What the store knows of its user file between reads and writes; made
  // with settings by the opening.
  std::unique_ptr<hestrel::zkpref::UserFile> user_file;
};

#endif
