// The limits of the XML settings format, checked on a whole map before the
// writer starts, so a map it cannot represent leaves the file as it was.
#include "internal/xml_limits.hpp"

#include <libxml/tree.h>

#include <QtCore/QStringList>
#include <QtCore/QVariantMap>

namespace hestrel::zkpref {

namespace {

// Characters XML 1.0 can carry: tab, LF, CR, U+0020 to U+D7FF, U+E000 to
// U+FFFD and U+10000 up (a surrogate only as half of a pair).
bool xml_characters(const QString &text) {
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text[i].unicode();
    if (c == u'\t' || c == u'\n' || c == u'\r') continue;
    if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) return false;
    if (QChar::isHighSurrogate(c)) {
      if (i + 1 >= n || !QChar::isLowSurrogate(text[i + 1].unicode())) return false;
      ++i;
    } else if (QChar::isLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

// A name without ':' that an XML parser with namespaces accepts.
bool xml_ncname(const QString &name) {
  // Checked first: NUL or a lone surrogate would not survive the UTF-8 form.
  if (name.isEmpty() || !xml_characters(name)) return false;
  const QByteArray utf8 = name.toUtf8();
  return xmlValidateNCName(reinterpret_cast<const xmlChar *>(utf8.constData()), 0) == 0;
}

// The text a field is written as; false when the variant has none.
bool text_form(const QVariant &field, QString *text) {
  if (!field.isValid()) {
    text->clear();
    return true;
  }
  QVariant copy = field;
  if (!copy.convert(QMetaType::fromType<QString>())) return false;
  *text = copy.toString();
  return true;
}

// Element text and attribute values: the writer escapes tab, LF and CR
// wherever a reader would change them.
bool element_text(const QString &text) { return xml_characters(text); }
bool attribute_text(const QString &text) { return xml_characters(text); }

// A comment has no escapes: a reader turns its CR into LF.
bool comment_text(const QString &text) {
  return xml_characters(text) && !text.contains(QLatin1Char('\r')) && !text.contains(QStringLiteral("--")) &&
         !text.endsWith(QLatin1Char('-'));
}

bool path_part(const QString &part) { return xml_ncname(part) && part != u"ApplicationSettings"; }

// The ":os=" suffix is the only ':' a key may hold, and it is written as
// the attribute "os".
bool key_shape(const QString &key, QStringList *path) {
  const QStringList pieces = key.split(QLatin1Char(':'));
  if (pieces.size() > 2) return false;
  if (pieces.size() == 2) {
    const QString &suffix = pieces[1];
    if (!suffix.startsWith(QStringLiteral("os="))) return false;
    if (!platform_can_be_written(suffix.mid(3))) return false;
  }
  *path = pieces.first().split(QLatin1Char('/'));
  for (const QString &part : *path)
    if (!path_part(part)) return false;
  return true;
}

bool record_shape(const QVariant &value) {
  if (value.metaType() != QMetaType::fromType<QVariantMap>()) return false;
  const QVariantMap record = value.toMap();
  QString text;
  for (auto field = record.cbegin(); field != record.cend(); ++field) {
    const QString &name = field.key();
    if (!text_form(field.value(), &text)) return false;
    if (name == u"value") {
      if (!element_text(text)) return false;
    } else if (name == u"comment") {
      if (!comment_can_be_written(text)) return false;
    } else if (!field_name_can_be_written(name) || !attribute_text(text)) {
      return false;
    }
  }
  // A blank value comes back only from an element that carries a type.
  const auto value_field = record.constFind(QStringLiteral("value"));
  if (value_field == record.cend()) return false;
  text_form(value_field.value(), &text);
  if (text.trimmed().isEmpty() && !record.contains(QStringLiteral("dt"))) return false;
  return true;
}

}  // namespace

bool comment_can_be_written(const QString &comment) { return comment.isEmpty() || comment_text(comment); }

bool platform_can_be_written(const QString &platform) {
  return !platform.contains(QLatin1Char('=')) && !platform.contains(QLatin1Char(':')) && attribute_text(platform);
}

bool field_name_can_be_written(const QString &name) {
  return xml_ncname(name) && name != u"os" && name != u"xmlns";
}

qsizetype shared_group_depth(const QStringList &previous, const QStringList &path) {
  if (previous.size() < 2) return 0;
  qsizetype depth = 0;
  // A key never lies wholly inside the open groups: the platform variant of
  // a name that is also a group closes that group and stands beside it.
  while (depth < previous.size() - 1 && depth < path.size() - 1 && previous[depth] == path[depth]) ++depth;
  return depth;
}

bool xml_format_can_hold(const QSettings::SettingsMap &map) {
  for (auto entry = map.cbegin(); entry != map.cend(); ++entry) {
    QStringList path;
    if (!key_shape(entry.key(), &path) || !record_shape(entry.value())) return false;
  }
  return true;
}

}  // namespace hestrel::zkpref
