// Writes, the key check, key tests and removal: all on the user's own file;
// the shared files are consulted only for the type a key already has.
#include <cstring>
#include <string>

#include <QtCore/QMap>
#include <QtCore/QStringList>

#include "zkerr.h"
#include "zkpref.hpp"
#include "zkpref/internal/group_scope.hpp"
#include "zkpref/internal/key_check.hpp"
#include "zkpref/internal/record_lookup.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/variant_flags.hpp"
#include "zkpref/internal/xml_limits.hpp"
#include "zkpref/internal/xml_vocabulary.hpp"

using namespace hestrel::zkpref;

namespace hestrel::zkpref {

int validate_key(const QString &key) {
  // The file format reads what follows a ':' as the platform attribute and
  // skips every root-named element, so such parts could never be read back
  // and would stop the file from being written at all.
  const bool valid = each_key_part(key, [](QStringView part) {
    if (is_path_part(part)) return true;
    const QByteArray name = part.toUtf8();
    zkerr_throw(-1, ZKERR_WARNING,
                "%s: Invalid character in the zkpref key '%s'. See www.w3.org for valid xml element tag rules.",
                "validate_key", name.constData());
    return false;
  });
  return valid ? 0 : ZKPREF_INVALID_KEY;
}

}  // namespace hestrel::zkpref

namespace {

QString key_text(const std::string &key) { return QString::fromUtf8(key.c_str()); }

// The running platform's variant when the user's file holds it, else the
// plain key when it holds that; empty when it holds neither.
bool pick_user_key(const QSettings &user, const QString &key, QString &picked) {
  const QString variant = key + running_platform_suffix();
  if (user.contains(variant)) {
    picked = variant;
    return true;
  }
  if (user.contains(key)) {
    picked = key;
    return true;
  }
  return false;
}

bool record_has_type(const QSettings &user, const QString &key, ZKPREF_TYPE type) {
  const QString dt = user.value(key).toMap().value(words::type_field()).toString();
  return dt == QLatin1String(zkpref_type_strings[type]);
}

// The four type names the store writes are shared by every record; any
// other type's name is made for its record.
QString type_text(const char *name) {
  for (ZKPREF_TYPE type : {ZKPREF_TYPE_INT, ZKPREF_TYPE_STRING, ZKPREF_TYPE_DOUBLE, ZKPREF_TYPE_BOOL})
    if (std::strcmp(words::type_names[type], name) == 0) return words::type_word(type);
  return QString::fromLatin1(name);
}

// Attributes the file carried for the key, and an earlier comment, stay.
// A record holding only what this write replaces, as nearly every record
// does, is made afresh rather than copied and then overwritten.
QVariantMap written_record(QVariant &entry, const QString &dt, const QVariant &value, const std::string &comment) {
  bool fresh = true;
  if (entry.metaType() == QMetaType::fromType<QVariantMap>()) {
    const QVariantMap &old = *static_cast<const QVariantMap *>(entry.constData());
    for (auto it = old.keyBegin(); it != old.keyEnd() && fresh; ++it)
      fresh = *it == words::type_field() || *it == words::value_field() ||
              (!comment.empty() && *it == words::comment_field());
  }
  QVariantMap record = fresh ? QVariantMap() : entry.toMap();
  entry.clear();
  record.insert(words::type_field(), dt);
  record.insert(words::value_field(), value);
  if (!comment.empty()) record.insert(words::comment_field(), key_text(comment));
  return record;
}

bool known_type(ZKPREF_TYPE type) { return type >= ZKPREF_TYPE_NONE && type <= ZKPREF_TYPE_BOOL; }

// The writer refuses a whole map for one record it cannot write, and every
// later sync with it; so what the writer would refuse (the same checks) is
// refused here, by name, and the rest of the store stays writable. Null when
// the value and comment can be written, else the part that cannot.
const char *unwritable_part(const QVariant &value, const std::string &comment) {
  // Numbers and truth values have text forms of digits and letters only.
  const QMetaType type = value.metaType();
  const bool plain_text_form = type == QMetaType::fromType<int>() || type == QMetaType::fromType<double>() ||
                               type == QMetaType::fromType<bool>();
  QString text;
  if (!plain_text_form && (!field_text(value, &text) || !element_text_can_be_written(text))) return "value";
  if (!comment.empty() && !comment_can_be_written(key_text(comment))) return "comment";
  return nullptr;
}

}  // namespace

ZKpref_Err ZKPREF::set(const std::string &key, const QVariant &value, const std::string &comment) {
  const QString text = key_text(key);
  if (validate_key(text) != 0) return ZKPREF_INVALID_KEY;
  // A value without a type has no name for "dt" and no text to keep.
  if (!value.isValid() || !settings) return ZKPREF_FAILURE;

  const char *new_type = value.typeName();
  if (const char *part = unwritable_part(value, comment)) {
    zkerr_throw(-1, ZKERR_WARNING, "%s: The %s of key('%s') cannot be written to a preference file\n", "set", part,
                key.c_str());
    return ZKPREF_FAILURE;
  }
  QString storage = text;
  const bool variant = osAttribute > ZKPREF_PLATFORM_NONE && osAttribute <= ZKPREF_PLATFORM_DARWIN;
  if (variant) storage += words::variant_suffix(osAttribute);

  // The user's record this write replaces is asked once, by the same walk
  // that finds the key's type wherever that walk asks it. Against a lookup
  // of its own, setting and synchronising 1000 keys (bench/zkpref_benchmark,
  // median of 10 random-order repetitions) took 2.8 to 3.7 ms instead of
  // 4.2 to 5.0 ms in three runs, with run-to-run variation up to 27 %.
  QVariant entry;
  const ZKPREF_TYPE existing = key_type(*settings, text, variant ? osAttribute : ZKPREF_PLATFORM_NONE, &entry);
  if (existing != ZKPREF_TYPE_NONE && std::strcmp(zkpref_type_strings[existing], new_type) != 0) {
    zkerr_throw(-1, ZKERR_WARNING, "%s: Incorrect value of type '%s' is being set for existing '%s' type key('%s')\n",
                "set", new_type, zkpref_type_strings[existing], key.c_str());
    return ZKPREF_FAILURE;
  }

  QVariantMap record = written_record(entry, type_text(new_type), value, comment);
  settings->setValue(storage, record);
  if (variant) variant_written(*settings, osAttribute == running_platform);
  return ZKPREF_SUCCESS;
}

ZKpref_Err ZKPREF::hasKey(const std::string &key) const {
  QString picked;
  return settings && pick_user_key(*settings, key_text(key), picked) ? ZKPREF_SUCCESS : ZKPREF_KEY_NOT_FOUND;
}

ZKpref_Err ZKPREF::hasKey(const std::string &key, ZKPREF_TYPE type) const {
  if (type == ZKPREF_TYPE_NONE) return ZKPREF_FAILURE;
  QString picked;
  if (!known_type(type) || !settings || !pick_user_key(*settings, key_text(key), picked)) return ZKPREF_KEY_NOT_FOUND;
  return record_has_type(*settings, picked, type) ? ZKPREF_SUCCESS : ZKPREF_KEY_NOT_FOUND;
}

int ZKPREF::removeKey(const std::string &key, ZKPREF_TYPE type) {
  if (!known_type(type) || !settings) return 0;
  const QString text = key_text(key);
  if (type == ZKPREF_TYPE_NONE) {
    // Its platform variants are siblings, not children: they stay.
    int below = 0;
    {
      GroupScope in_group(*settings, text);
      below = static_cast<int>(settings->allKeys().size());
    }
    settings->remove(text);
    return below;
  }
  QString picked;
  if (!pick_user_key(*settings, text, picked) || !record_has_type(*settings, picked, type)) return 0;
  settings->remove(picked);
  return 1;
}

bool ZKPREF::remove_key(const char *key) {
  QString picked;
  if (!key || !settings || !pick_user_key(*settings, QString::fromUtf8(key), picked)) return false;
  settings->remove(picked);
  return true;
}
