// Writes the settings machinery's flat map as a preference file in the XML
// settings format: one element per path part, groups opened once per run.
#include "internal/xml_format.hpp"
#include "internal/xml_limits.hpp"

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

void close_elements(QXmlStreamWriter &xml, qsizetype count) {
  for (qsizetype i = 0; i < count; ++i) xml.writeEndElement();
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
  if (!xml_format_can_hold(map)) return false;

  // Built in memory and handed to the device in one write: the device's
  // own bookkeeping per write costs more than the text.
  QByteArray text;
  QXmlStreamWriter xml(&text);
  xml.setAutoFormatting(true);
  xml.writeStartDocument();
  xml.writeStartElement(QStringLiteral("ApplicationSettings"));

  QStringList previous;
  for (auto entry = map.cbegin(); entry != map.cend(); ++entry) {
    const QStringList pieces = entry.key().split(QLatin1Char(':'));
    const QStringList path = pieces.first().split(QLatin1Char('/'));
    const qsizetype common = shared_group_depth(previous, path);
    close_elements(xml, previous.size() - common);

    const QVariantMap record = entry.value().toMap();
    for (qsizetype i = common; i < path.size() - 1; ++i) xml.writeStartElement(path[i]);

    const QString comment = record.value(QStringLiteral("comment")).toString();
    if (!comment.isEmpty()) xml.writeComment(comment);

    xml.writeStartElement(path.last());
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

  close_elements(xml, previous.size());
  xml.writeEndElement();
  xml.writeEndDocument();
  if (xml.hasError()) return false;
  return hand_over(device, text);
}

}  // namespace hestrel::zkpref
