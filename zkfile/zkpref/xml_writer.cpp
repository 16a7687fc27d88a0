// Writes the settings machinery's flat map as a preference file in the XML
// settings format: one element per path part, groups opened once per run.
#include "internal/xml_format.hpp"
#include "internal/xml_limits.hpp"
#include "internal/user_file_memory.hpp"

#include <QtCore/QFileDevice>
#include <QtCore/QStringList>
#include <QtCore/QVariantMap>
#include <QtCore/QXmlStreamWriter>

namespace hestrel::zkpref {

namespace {

// The stream writer leaves a CR in element text as it is, and a reader turns
// a bare CR into LF; as a character reference it comes back as CR.
void write_text(QXmlStreamWriter &xml, const QString &text) {
  const QStringList runs = text.split(QLatin1Char('\r'));
  xml.writeCharacters(runs.first());
  for (qsizetype i = 1; i < runs.size(); ++i) {
    xml.writeEntityReference(QStringLiteral("#13"));
    if (!runs[i].isEmpty()) xml.writeCharacters(runs[i]);
  }
}

// Tags deeper than this many levels go unindented: the stream writer
// indents a tag by its level times the indent, so indenting every level
// makes a file of deep groups grow with the square of its depth.
constexpr qsizetype indented_levels = 64;
constexpr int indent_width = 4;

// The stream writer indents each tag when it writes it, by the level of the
// tag it writes; level counts the root.
void indent_for(QXmlStreamWriter &xml, qsizetype level) {
  xml.setAutoFormattingIndent(level <= indented_levels ? indent_width : 0);
}

// depth counts the elements open, the root included.
void close_elements(QXmlStreamWriter &xml, qsizetype &depth, qsizetype count) {
  for (qsizetype i = 0; i < count; ++i) {
    --depth;
    indent_for(xml, depth);
    xml.writeEndElement();
  }
}

void open_element(QXmlStreamWriter &xml, qsizetype &depth, const QString &name) {
  indent_for(xml, depth);
  xml.writeStartElement(name);
  ++depth;
}

// Every byte has reached the file only once a buffering device is flushed:
// until then a full disk or a size limit goes unnoticed.
bool hand_over(QIODevice &device, const QByteArray &text) {
  if (device.write(text) != text.size()) return false;
  auto *file = qobject_cast<QFileDevice *>(&device);
  return !file || (file->flush() && file->error() == QFileDevice::NoError);
}

}  // namespace

bool writeXmlFile(QIODevice &device, const QSettings::SettingsMap &map) {
  // Refused before the first byte: the settings machinery then reports an
  // access error and leaves the file on disk untouched.
  if (!xml_format_can_hold(map) || !user_write_allowed(device)) return false;

  // Built in memory and handed to the device in one write: the device's
  // own bookkeeping per write costs more than the text.
  QByteArray text;
  QXmlStreamWriter xml(&text);
  xml.setAutoFormatting(true);
  xml.writeStartDocument();
  xml.writeStartElement(QStringLiteral("ApplicationSettings"));
  qsizetype depth = 1;

  QStringList previous;
  for (auto entry = map.cbegin(); entry != map.cend(); ++entry) {
    const QStringList pieces = entry.key().split(QLatin1Char(':'));
    const QStringList path = pieces.first().split(QLatin1Char('/'));
    const qsizetype common = shared_group_depth(previous, path);
    close_elements(xml, depth, previous.size() - common);

    const QVariantMap record = entry.value().toMap();
    for (qsizetype i = common; i < path.size() - 1; ++i) open_element(xml, depth, path[i]);

    const QString comment = record.value(QStringLiteral("comment")).toString();
    if (!comment.isEmpty()) {
      indent_for(xml, depth);
      xml.writeComment(comment);
    }

    open_element(xml, depth, path.last());
    for (auto field = record.cbegin(); field != record.cend(); ++field) {
      if (field.key() == u"comment" || field.key() == u"value") continue;
      xml.writeAttribute(field.key(), field.value().toString());
    }
    if (pieces.size() > 1) {
      const QStringList attribute = pieces[1].split(QLatin1Char('='));
      xml.writeAttribute(attribute.value(0), attribute.value(1));
    }
    write_text(xml, record.value(QStringLiteral("value")).toString());
    previous = path;
  }

  close_elements(xml, depth, previous.size());
  indent_for(xml, 0);
  xml.writeEndElement();
  xml.writeEndDocument();
  if (xml.hasError()) return false;
  if (!hand_over(device, text)) return false;
  note_user_map(device, map);
  return true;
}

}  // namespace hestrel::zkpref
