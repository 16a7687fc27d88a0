// Typed reads of a store: the read with an error code, the read that falls
// back to the caller's value, the named readers, the type and source query.
#include <string>
#include <utility>

#include <QtCore/QMap>

#include "zkpref.hpp"
#include "zkpref/internal/record_lookup.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/variant_flags.hpp"

using namespace hestrel::zkpref;

namespace {

// A standard string is used up to its first NUL, as a C caller's text is.
QString key_text(const std::string &key) { return QString::fromUtf8(key.c_str()); }

// What a read gives, in the caller's own type.
template <typename T>
T to_caller(T value) {
  return value;
}
std::string to_caller(const QString &value) { return value.toStdString(); }

// Every named reader: run the read and write its result, success or not,
// to the caller's place when there is one; hand back the read's code.
template <typename Out, typename Read>
ZKpref_Err deliver(Out *out, Read read) {
  ZKpref_Err err = ZKPREF_SUCCESS;
  auto result = read(&err);
  if (out) *out = to_caller(std::move(result));
  return err;
}

}  // namespace

template <typename T>
T ZKPREF::get(const char *key, ZKpref_Err *err) const {
  ZKpref_Err code = ZKPREF_SUCCESS;
  T result{};
  if (!key || !settings) {
    code = ZKPREF_KEY_NOT_FOUND;
  } else {
    const Answer answer = lookup(*settings, key);
    if (!answer.found())
      code = ZKPREF_KEY_NOT_FOUND;
    else if (!read_record(answer.entry, result))
      code = ZKPREF_TYPE_MISMATCH;
  }
  if (err) *err = code;
  return result;
}

template <typename T>
T ZKPREF::get_or_use_value(const char *key, T value, ZKpref_Err *err) const {
  ZKpref_Err code = ZKPREF_SUCCESS;
  T result = value;
  if (!key || !settings) {
    code = ZKPREF_KEY_NOT_FOUND;
  } else {
    const Answer mine = lookup_user(*settings, key);
    if (mine.found()) {
      T stored{};
      if (read_record(mine.entry, stored))
        result = stored;
      else
        code = ZKPREF_TYPE_MISMATCH;
    } else {
      // The shared layers only tell the caller that its value hid one of
      // theirs; their value is not delivered.
      const Answer shared = lookup_shared(*settings, key);
      T ignored{};
      if (!shared.found())
        code = ZKPREF_KEY_NOT_FOUND;
      else if (read_record(shared.entry, ignored))
        code = ZKPREF_SHARED_VALUE_IGNORED;
    }
  }
  if (err) *err = code;
  return result;
}

template int ZKPREF::get<int>(const char *, ZKpref_Err *) const;
template bool ZKPREF::get<bool>(const char *, ZKpref_Err *) const;
template double ZKPREF::get<double>(const char *, ZKpref_Err *) const;
template QString ZKPREF::get<QString>(const char *, ZKpref_Err *) const;
template int ZKPREF::get_or_use_value<int>(const char *, int, ZKpref_Err *) const;
template bool ZKPREF::get_or_use_value<bool>(const char *, bool, ZKpref_Err *) const;
template double ZKPREF::get_or_use_value<double>(const char *, double, ZKpref_Err *) const;
template QString ZKPREF::get_or_use_value<QString>(const char *, QString, ZKpref_Err *) const;

ZKpref_Err ZKPREF::getInt(const std::string &key, int *value) const {
  return deliver(value, [&](ZKpref_Err *err) { return get<int>(key.c_str(), err); });
}
ZKpref_Err ZKPREF::getDouble(const std::string &key, double *value) const {
  return deliver(value, [&](ZKpref_Err *err) { return get<double>(key.c_str(), err); });
}
ZKpref_Err ZKPREF::getBool(const std::string &key, bool *value) const {
  return deliver(value, [&](ZKpref_Err *err) { return get<bool>(key.c_str(), err); });
}
ZKpref_Err ZKPREF::getString(const std::string &key, std::string &value) const {
  return deliver(&value, [&](ZKpref_Err *err) { return get<QString>(key.c_str(), err); });
}
ZKpref_Err ZKPREF::getInt(const std::string &key, int *value, int def) const {
  return deliver(value, [&](ZKpref_Err *err) { return get_or_use_value<int>(key.c_str(), def, err); });
}
ZKpref_Err ZKPREF::getDouble(const std::string &key, double *value, double def) const {
  return deliver(value, [&](ZKpref_Err *err) { return get_or_use_value<double>(key.c_str(), def, err); });
}
ZKpref_Err ZKPREF::getBool(const std::string &key, bool *value, bool def) const {
  return deliver(value, [&](ZKpref_Err *err) { return get_or_use_value<bool>(key.c_str(), def, err); });
}
ZKpref_Err ZKPREF::getString(const std::string &key, std::string &value, const std::string &def) const {
  return deliver(&value, [&](ZKpref_Err *err) { return get_or_use_value<QString>(key.c_str(), key_text(def), err); });
}

ZKpref_Err ZKPREF::get(const std::string &key, int &value) const { return getInt(key, &value); }
ZKpref_Err ZKPREF::get(const std::string &key, double &value) const { return getDouble(key, &value); }
ZKpref_Err ZKPREF::get(const std::string &key, std::string &value) const { return getString(key, value); }
ZKpref_Err ZKPREF::get(const std::string &key, bool &value) const { return getBool(key, &value); }

ZKPREF_TYPE ZKPREF::getType(const std::string &key) const {
  if (!settings) return ZKPREF_TYPE_NONE;
  return key_type(*settings, key_text(key), ZKPREF_PLATFORM_NONE, nullptr);
}

ZKPrefSource ZKPREF::getKeySource(const char *key) const {
  if (!key || !settings) return ZKPREF_SOURCE_NOT_FOUND;
  return lookup(*settings, key).source;
}
