// Groups and the platform attribute of a store, the typed lists of a group,
// the group tree, clearing the user's file and naming it.
#include <map>
#include <string>
#include <vector>

#include <QtCore/QSet>
#include <QtCore/QStringList>

#include "zkpref.hpp"
#include "zkpref/internal/group_scope.hpp"
#include "zkpref/internal/key_check.hpp"
#include "zkpref/internal/record_lookup.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/xml_vocabulary.hpp"

using namespace hestrel::zkpref;

ZKpref_Err ZKPREF::beginGroup(const std::string &group) {
  if (!settings) return ZKPREF_INVALID_KEY;
  const QString name = QString::fromUtf8(group.c_str());
  // The empty name is a level of its own that adds nothing to the path.
  if (!name.isEmpty() && validate_key(name) != 0) return ZKPREF_INVALID_KEY;
  settings->beginGroup(name);
  return ZKPREF_SUCCESS;
}

void ZKPREF::endGroup() {
  if (settings) settings->endGroup();
}

std::string ZKPREF::getGroup() const { return settings ? settings->group().toStdString() : std::string(); }

void ZKPREF::beginOsAttribute(ZKPREF_PLATFORM platform) {
  if (platform == ZKPREF_PLATFORM_NONE)
    osAttribute = running_platform;
  else if (platform > ZKPREF_PLATFORM_NONE && platform <= ZKPREF_PLATFORM_DARWIN)
    osAttribute = platform;
  // Any other number names no platform: the attribute stays as it was.
}

void ZKPREF::endOsAttribute() { osAttribute = ZKPREF_PLATFORM_NONE; }

namespace {

// Every key below the user's current group in each layer that has it,
// relative to that group, first occurrence kept.
QStringList gather_keys(QSettings &user) {
  QStringList keys = user.allKeys();
  const QString full = user.group();
  SharedLayers &layers = shared_layers();
  for (QSettings *layer : {layers.first_level_settings.get(), layers.second_level_settings.get()}) {
    if (!layer) continue;
    GroupScope in_group(*layer, full);
    keys += layer->allKeys();
  }
  keys.removeDuplicates();
  return keys;
}

}  // namespace

template <typename T>
ZKpref_Err ZKPREF::get_list(const std::string &group, std::map<std::string, T> &list) {
  const ZKpref_Err entered = beginGroup(group);
  if (entered != ZKPREF_SUCCESS) return entered;
  GroupScope in_group(*settings);
  const QStringList keys = gather_keys(*settings);
  if (keys.isEmpty()) return ZKPREF_KEY_NOT_FOUND;
  bool unconverted = false;
  for (const QString &key : keys) {
    // A platform variant lists under its plain name.
    const QString name = key.section(QLatin1Char(':'), 0, 0);
    const std::string utf8 = name.toStdString();
    if (getType(utf8) != words::type_of<T>()) continue;
    ZKpref_Err err;
    const T value = get<T>(utf8.c_str(), &err);
    if (err == ZKPREF_TYPE_MISMATCH)
      unconverted = true;
    else if (err == ZKPREF_SUCCESS)
      list.emplace(utf8, value);  // never replaces an entry already there
  }
  if (list.empty()) return ZKPREF_KEY_NOT_FOUND;
  return unconverted ? ZKPREF_TYPE_MISMATCH : ZKPREF_SUCCESS;
}

template ZKpref_Err ZKPREF::get_list<int>(const std::string &, std::map<std::string, int> &);
template ZKpref_Err ZKPREF::get_list<QString>(const std::string &, std::map<std::string, QString> &);
template ZKpref_Err ZKPREF::get_list<double>(const std::string &, std::map<std::string, double> &);
template ZKpref_Err ZKPREF::get_list<bool>(const std::string &, std::map<std::string, bool> &);

ZKpref_Err ZKPREF::getIntList(const std::string &group, std::map<std::string, int> &list) {
  return get_list<int>(group, list);
}

ZKpref_Err ZKPREF::getDoubleList(const std::string &group, std::map<std::string, double> &list) {
  return get_list<double>(group, list);
}

ZKpref_Err ZKPREF::getBoolList(const std::string &group, std::map<std::string, bool> &list) {
  return get_list<bool>(group, list);
}

ZKpref_Err ZKPREF::getStringList(const std::string &group, std::map<std::string, std::string> &list) {
  std::map<std::string, QString> own;
  const ZKpref_Err result = get_list<QString>(group, own);
  for (const auto &entry : own) list.emplace(entry.first, entry.second.toStdString());
  return result;
}

int ZKPREF::getSubgroups(std::vector<std::string> &groups, int depth) {
  if (!settings) return 0;
  if (depth < 0) depth = 1;
  for (const QString &child : settings->childGroups()) groups.push_back(child.toStdString());
  int levels = 1;
  // The vector is the work list: each pass walks the range the previous
  // pass appended (the first walks everything there before it).
  std::size_t begin = 0, end = groups.size();
  while ((depth == 0 || levels < depth) && begin < end) {
    const std::size_t before = groups.size();
    for (std::size_t i = begin; i < end; ++i) {
      const std::string parent = groups[i];
      GroupScope in_group(*settings, QString::fromStdString(parent));
      for (const QString &child : settings->childGroups()) groups.push_back(parent + "/" + child.toStdString());
    }
    if (groups.size() > before) ++levels;
    begin = end;
    end = groups.size();
  }
  return levels;
}

void ZKPREF::clearSettings() {
  if (settings) settings->clear();
}

void ZKPREF::getSettingsFile(std::string &path) const {
  path = settings ? settings->fileName().toStdString() : std::string();
}
