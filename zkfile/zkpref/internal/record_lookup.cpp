// The lookup order over the user's, the machine-wide and the installation-
// wide layer, and the conversion of a key record to the type a read asks.
#include "zkpref/internal/record_lookup.hpp"

#include <cstring>
#include <limits>
#include <string>

#include <QtCore/QMap>

#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/variant_flags.hpp"
#include "zkpref/internal/xml_vocabulary.hpp"

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

// Hands the settings machinery the key and its platform variant as they
// come, which it normalises anyway: reads build no text of their own
// unless the key is long, and the variant only when a layer may hold one.
// ASCII keys go as Latin-1, which the machinery widens more cheaply than
// it decodes UTF-8. Against building both forms as strings, the median of
// bench/zkpref_benchmark over four runs of 10 random-order repetitions was
// 148 to 171 ns instead of 168 to 241 ns for one user key, and 267 to
// 290 ns instead of 303 to 518 ns for an installation-wide key (run-to-run
// variation up to 30 % on a shared machine; every run gained).
class VariantKey {
 public:
  explicit VariantKey(std::string_view key) : key_(key) {
    unsigned char high = 0;
    for (const char c : key) high |= static_cast<unsigned char>(c);
    ascii_ = high < 0x80;
  }
  VariantKey(const VariantKey &) = delete;
  VariantKey &operator=(const VariantKey &) = delete;

  QAnyStringView plain() const { return view(key_.data(), key_.size()); }
  QAnyStringView variant() {
    const std::string_view suffix = words::variant_suffix_utf8(running_platform);
    const std::size_t size = key_.size() + suffix.size();
    if (!variant_) {
      char *out = size <= sizeof small_ ? small_ : (large_.resize(size), large_.data());
      // Keys are short: a plain loop beats the library's copy set-up here.
      std::size_t i = 0;
      for (const char c : key_) out[i++] = c;
      for (const char c : suffix) out[i++] = c;
      variant_ = out;
    }
    return view(variant_, size);
  }

 private:
  QAnyStringView view(const char *data, std::size_t size) const {
    const auto n = static_cast<qsizetype>(size);
    if (ascii_) return QLatin1StringView(data, n);
    return QUtf8StringView(data, n);
  }
  std::string_view key_;
  const char *variant_ = nullptr;
  bool ascii_ = true;
  char small_[192];
  std::string large_;
};

}  // namespace

Answer lookup_user(const QSettings &user, std::string_view key) {
  Answer answer;
  VariantKey forms(key);
  if (!may_hold_running_variant(user) || !answer_from(user, forms.variant(), ZKPREF_SOURCE_USER, answer))
    answer_from(user, forms.plain(), ZKPREF_SOURCE_USER, answer);
  return answer;
}

namespace {

// Steps 3 to 6 for one form of the shared key and its variant. Each layer
// is asked for the variant only when it may hold one at all.
template <typename Variant>
Answer ask_shared(const QSettings *machine, const QSettings *site, QAnyStringView plain, Variant variant) {
  Answer answer;
  auto ask = [&](const QSettings &layer, ZKPrefSource source) {
    return (may_hold_running_variant(layer) && answer_from(layer, variant(), source, answer)) ||
           answer_from(layer, plain, source, answer);
  };
  if (machine && ask(*machine, ZKPREF_SOURCE_MACHINE)) return answer;
  if (site && ask(*site, ZKPREF_SOURCE_INSTALLATION)) return answer;
  return Answer();
}

}  // namespace

Answer lookup_shared(const QSettings &user, std::string_view key) {
  SharedLayers &layers = shared_layers();
  const QSettings *machine = layers.first_level_settings.get();
  const QSettings *site = layers.second_level_settings.get();
  if (!machine && !site) return Answer();
  const QString group = user.group();
  if (group.isEmpty()) {
    // Outside any group the shared key is the caller's key as it came.
    VariantKey forms(key);
    return ask_shared(machine, site, forms.plain(), [&forms] { return forms.variant(); });
  }
  const QString plain = group + QLatin1Char('/') + QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
  QString variant;
  return ask_shared(machine, site, plain, [&]() -> QAnyStringView {
    if (variant.isEmpty()) variant = plain + running_platform_suffix();
    return variant;
  });
}

Answer lookup(const QSettings &user, std::string_view key) {
  Answer answer = lookup_user(user, key);
  if (answer.found()) return answer;
  return lookup_shared(user, key);
}

ZKPREF_TYPE key_type(const QSettings &user, const QString &user_key, int form, QVariant *kept) {
  SharedLayers &layers = shared_layers();
  const QSettings *machine = layers.first_level_settings.get();
  const QSettings *site = layers.second_level_settings.get();
  // Inside a group the shared layers need a key of their own: made only
  // when the user's layer does not answer.
  QString plain;
  bool plain_made = false;
  auto shared = [&]() -> const QString & {
    if (!plain_made) plain = shared_key(user, user_key), plain_made = true;
    return plain;
  };

  const bool user_variants = may_hold_any_variant(user);
  const bool machine_variants = machine && may_hold_any_variant(*machine);
  const bool site_variants = site && may_hold_any_variant(*site);
  // A form the user's file cannot hold is known absent without asking.
  bool kept_known = !kept || (form != ZKPREF_PLATFORM_NONE && !user_variants);
  if (kept && kept_known) *kept = QVariant();

  // The record that answers: the kept one itself when the user's form
  // answers, so it is not copied.
  QVariant entry;
  const QVariant *answer = &entry;
  auto ask_user = [&](const QString &key, int key_form) {
    if (!kept || key_form != form) return entry_of(user, key, entry);
    kept_known = true;
    if (!entry_of(user, key, *kept)) return false;
    answer = kept;
    return true;
  };
  bool found = false;
  for (int p = ZKPREF_PLATFORM_WINDOWS;
       p <= ZKPREF_PLATFORM_DARWIN && !found && (user_variants || machine_variants || site_variants); ++p) {
    const QString &suffix = words::variant_suffix(static_cast<ZKPREF_PLATFORM>(p));
    found = (user_variants && ask_user(user_key + suffix, p)) ||
            (machine_variants && entry_of(*machine, shared() + suffix, entry)) ||
            (site_variants && entry_of(*site, shared() + suffix, entry));
  }
  if (!found)
    found = ask_user(user_key, ZKPREF_PLATFORM_NONE) || (machine && entry_of(*machine, shared(), entry)) ||
            (site && entry_of(*site, shared(), entry));
  if (!kept_known) {
    const QString key = user_key + words::variant_suffix(static_cast<ZKPREF_PLATFORM>(form));
    entry_of(user, key, *kept);
  }
  return found ? record_type(*answer) : ZKPREF_TYPE_NONE;
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

// Decimal text of at most nine digits, with or without a minus, as the
// store writes integers: read in place. Any other text goes to Qt.
bool short_decimal(QStringView text, int &out) {
  const bool negative = !text.isEmpty() && text.front() == u'-';
  const QStringView digits = negative ? text.mid(1) : text;
  if (digits.isEmpty() || digits.size() > 9) return false;
  int value = 0;
  for (const QChar c : digits) {
    const char16_t u = c.unicode();
    if (u < u'0' || u > u'9') return false;
    value = value * 10 + (u - u'0');
  }
  out = negative ? -value : value;
  return true;
}

// Qt's conversion of text to int narrows a 64-bit result without a word
// ("99999999999" would read as 1215752191); 64-bit values likewise.
template <>
bool convert_value<int>(const QVariant &value, int &out) {
  bool ok = false;
  int result = 0;
  switch (value.metaType().id()) {
    case QMetaType::QString: {
      const QString &text = *static_cast<const QString *>(value.constData());
      ok = short_decimal(text, result);
      if (!ok) result = text.toInt(&ok);
      break;
    }
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

// The record's "dt" and "value" fields, looked at in place (every read
// passes here); null for a field that is missing or an entry that is no
// record. Records hold two or three fields, so one walk beats two searches.
void record_fields(const QVariant &entry, const QVariant *&dt, const QVariant *&value) {
  dt = value = nullptr;
  if (entry.metaType() != QMetaType::fromType<QVariantMap>()) return;
  const QVariantMap &record = *static_cast<const QVariantMap *>(entry.constData());
  for (auto it = record.cbegin(); it != record.cend(); ++it) {
    const QString &name = it.key();
    if (name == words::type_field())
      dt = &it.value();
    else if (name == words::value_field())
      value = &it.value();
  }
}

bool is_type_name(const QVariant &dt, const char *name) {
  if (dt.metaType() == QMetaType::fromType<QString>())
    return *static_cast<const QString *>(dt.constData()) == QLatin1StringView(name);
  return dt.toString() == QLatin1String(name);
}

}  // namespace

ZKPREF_TYPE record_type(const QVariant &entry) {
  const QVariant *dt = nullptr, *value = nullptr;
  record_fields(entry, dt, value);
  const QString name = dt ? dt->toString() : QString();
  for (ZKPREF_TYPE type : {ZKPREF_TYPE_INT, ZKPREF_TYPE_STRING, ZKPREF_TYPE_DOUBLE})
    if (name == QLatin1StringView(words::type_names[type])) return type;
  return ZKPREF_TYPE_BOOL;
}

template <typename T>
bool read_record(const QVariant &entry, T &out) {
  const QVariant *dt = nullptr, *value = nullptr;
  record_fields(entry, dt, value);
  if (!dt || !is_type_name(*dt, words::type_names[words::type_of<T>()])) return false;
  return value && convert_value<T>(*value, out);
}

template bool read_record<int>(const QVariant &, int &);
template bool read_record<QString>(const QVariant &, QString &);
template bool read_record<double>(const QVariant &, double &);
template bool read_record<bool>(const QVariant &, bool &);

}  // namespace hestrel::zkpref
