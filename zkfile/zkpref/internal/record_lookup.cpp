// The lookup order over the user's, the machine-wide and the installation-
// wide layer, and the conversion of a key record to the type a read asks.
#include "zkpref/internal/record_lookup.hpp"

#include <cstring>
#include <limits>
#include <string>

#include <QtCore/QMap>

#include "zkpref/internal/store_state.hpp"

namespace hestrel::zkpref {

bool entry_of(const QSettings &layer, QAnyStringView key, QVariant &entry) {
  // Every entry of a preference file is a record; an entry without any
  // value at all counts as absent, which spares a second search per miss.
  entry = layer.value(key);
  return entry.isValid();
}

QString shared_key(const QSettings &user, const QString &key) {
  const QString group = user.group();
  return group.isEmpty() ? key : group + QLatin1Char('/') + key;
}

namespace {

bool answer_from(const QSettings &layer, QAnyStringView key, ZKPrefSource source, Answer &answer) {
  if (!entry_of(layer, key, answer.entry)) return false;
  answer.source = source;
  return true;
}

std::string_view running_suffix_utf8() {
  static const std::string suffix = std::string(":os=") + platforms[running_platform];
  return suffix;
}

// Hands the settings machinery the key and its platform variant as UTF-8,
// which it normalises anyway: reads of the user's file build no text of
// their own unless the key is long.
class VariantKey {
 public:
  explicit VariantKey(std::string_view key) : size_(key.size() + running_suffix_utf8().size()) {
    char *out = size_ <= sizeof small_ ? small_ : (large_.resize(size_), large_.data());
    std::memcpy(out, key.data(), key.size());
    std::memcpy(out + key.size(), running_suffix_utf8().data(), running_suffix_utf8().size());
    data_ = out;
  }
  QUtf8StringView view() const { return QUtf8StringView(data_, static_cast<qsizetype>(size_)); }

 private:
  char small_[192];
  std::string large_;
  std::size_t size_;
  const char *data_ = nullptr;
};

}  // namespace

Answer lookup_user(const QSettings &user, std::string_view key) {
  Answer answer;
  const VariantKey variant(key);
  if (answer_from(user, variant.view(), ZKPREF_SOURCE_USER, answer)) return answer;
  if (answer_from(user, QUtf8StringView(key.data(), static_cast<qsizetype>(key.size())), ZKPREF_SOURCE_USER, answer))
    return answer;
  return Answer();
}

Answer lookup_shared(const QSettings &user, std::string_view key) {
  Answer answer;
  SharedLayers &layers = shared_layers();
  const QSettings *machine = layers.first_level_settings.get();
  const QSettings *site = layers.second_level_settings.get();
  if (!machine && !site) return answer;
  const QString plain =
      shared_key(user, QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())));
  const QString variant = plain + running_platform_suffix();
  if (machine && (answer_from(*machine, variant, ZKPREF_SOURCE_MACHINE, answer) ||
                  answer_from(*machine, plain, ZKPREF_SOURCE_MACHINE, answer)))
    return answer;
  if (site && (answer_from(*site, variant, ZKPREF_SOURCE_INSTALLATION, answer) ||
               answer_from(*site, plain, ZKPREF_SOURCE_INSTALLATION, answer)))
    return answer;
  return Answer();
}

Answer lookup(const QSettings &user, std::string_view key) {
  Answer answer = lookup_user(user, key);
  return answer.found() ? answer : lookup_shared(user, key);
}

template <>
const char *type_name<int>() {
  return "int";
}
template <>
const char *type_name<QString>() {
  return "QString";
}
template <>
const char *type_name<double>() {
  return "double";
}
template <>
const char *type_name<bool>() {
  return "bool";
}

namespace {

template <typename T>
bool qt_convert(const QVariant &value, T &out) {
  QVariant copy = value;
  if (!copy.isValid() || !copy.convert(QMetaType::fromType<T>())) return false;
  out = copy.value<T>();
  return true;
}

template <typename T>
bool convert_value(const QVariant &value, T &out) {
  return qt_convert(value, out);
}

// Qt's conversion of text to int narrows a 64-bit result without a word
// ("99999999999" would read as 1215752191); 64-bit values likewise.
template <>
bool convert_value<int>(const QVariant &value, int &out) {
  bool ok = false;
  int result = 0;
  switch (value.metaType().id()) {
    case QMetaType::QString:
      result = value.toString().toInt(&ok);
      break;
    case QMetaType::LongLong: {
      const qlonglong wide = value.toLongLong();
      ok = wide >= std::numeric_limits<int>::min() && wide <= std::numeric_limits<int>::max();
      result = static_cast<int>(wide);
      break;
    }
    case QMetaType::ULongLong: {
      const qulonglong wide = value.toULongLong();
      ok = wide <= static_cast<qulonglong>(std::numeric_limits<int>::max());
      result = static_cast<int>(wide);
      break;
    }
    default:
      return qt_convert(value, out);
  }
  if (ok) out = result;
  return ok;
}

// The record's field, or null when the entry is no record or lacks it;
// looked at in place, since every read passes here.
const QVariant *field(const QVariant &entry, const QString &name) {
  if (entry.metaType() != QMetaType::fromType<QVariantMap>()) return nullptr;
  const QVariantMap &record = *static_cast<const QVariantMap *>(entry.constData());
  const auto it = record.constFind(name);
  return it == record.constEnd() ? nullptr : &*it;
}

bool has_type_name(const QVariant &entry, const char *name) {
  static const QString dt = QStringLiteral("dt");
  const QVariant *type = field(entry, dt);
  if (!type) return false;
  if (type->metaType() == QMetaType::fromType<QString>())
    return *static_cast<const QString *>(type->constData()) == QLatin1String(name);
  return type->toString() == QLatin1String(name);
}

}  // namespace

template <typename T>
bool read_record(const QVariant &entry, T &out) {
  static const QString value_name = QStringLiteral("value");
  if (!has_type_name(entry, type_name<T>())) return false;
  const QVariant *value = field(entry, value_name);
  return value && convert_value<T>(*value, out);
}

template bool read_record<int>(const QVariant &, int &);
template bool read_record<QString>(const QVariant &, QString &);
template bool read_record<double>(const QVariant &, double &);
template bool read_record<bool>(const QVariant &, bool &);

}  // namespace hestrel::zkpref
