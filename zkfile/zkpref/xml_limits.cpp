// The limits of the XML settings format, piece by piece: a map outside them
// is refused by the writer before the file is touched, so no key is lost.
#include "zkpref/internal/xml_limits.hpp"

#include <libxml/tree.h>

#include <QtCore/QByteArray>

#include "zkpref/internal/xml_vocabulary.hpp"

namespace hestrel::zkpref {

namespace {

// Characters XML 1.0 can carry: tab, LF, CR, U+0020 to U+D7FF, U+E000 to
// U+FFFD and U+10000 up (a surrogate only as half of a pair).
bool xml_characters(QStringView text) {
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text[i].unicode();
    if (c >= 0x20 && c < 0xD800) continue;
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

bool ascii_name_start(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_'; }
bool ascii_name_char(char16_t c) { return ascii_name_start(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.'; }

// A name without ':' that an XML parser with namespaces accepts. Plain ASCII
// names, nearly all of them, are judged here; others by libxml2.
bool xml_ncname(QStringView name) {
  if (name.isEmpty()) return false;
  bool ascii = true;
  for (qsizetype i = 0; i < name.size() && ascii; ++i) {
    const char16_t c = name[i].unicode();
    if (c >= 0x80) {
      ascii = false;
    } else if (!(i == 0 ? ascii_name_start(c) : ascii_name_char(c))) {
      return false;
    }
  }
  if (ascii) return true;
  // Checked first: NUL or a lone surrogate would not survive the UTF-8 form.
  if (!xml_characters(name)) return false;
  const QByteArray utf8 = name.toUtf8();
  return xmlValidateNCName(reinterpret_cast<const xmlChar *>(utf8.constData()), 0) == 0;
}

}  // namespace

bool is_path_part(QStringView part) { return xml_ncname(part) && part != words::root_element(); }

// The stream writer escapes tab, LF and CR wherever a reader would change
// them, in element text and in attribute values.
bool element_text_can_be_written(QStringView text) { return xml_characters(text); }
bool attribute_text_can_be_written(QStringView text) { return xml_characters(text); }

// A comment has no escapes: a reader turns its CR into LF.
bool comment_can_be_written(QStringView comment) {
  return comment.isEmpty() ||
         (xml_characters(comment) && !comment.contains(u'\r') && !comment.contains(u"--") && !comment.endsWith(u'-'));
}

bool platform_can_be_written(QStringView platform) {
  return !platform.contains(u'=') && !platform.contains(u':') && attribute_text_can_be_written(platform);
}

bool field_name_can_be_written(QStringView name) {
  return xml_ncname(name) && name != words::platform_attribute() && name != u"xmlns";
}

bool field_text(const QVariant &field, QString *text) {
  const QMetaType type = field.metaType();
  if (type == QMetaType::fromType<QString>()) {
    *text = *static_cast<const QString *>(field.constData());
    return true;
  }
  if (!field.isValid()) {
    text->clear();
    return true;
  }
  if (type == QMetaType::fromType<int>() || type == QMetaType::fromType<double>() ||
      type == QMetaType::fromType<bool>()) {
    *text = field.toString();
    return true;
  }
  QVariant copy = field;
  if (!copy.convert(QMetaType::fromType<QString>())) return false;
  *text = copy.toString();
  return true;
}

}  // namespace hestrel::zkpref
