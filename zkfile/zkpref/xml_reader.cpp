// Reads a preference file in the XML settings format into the settings
// machinery's flat map: element names joined by "/" make the keys.
#include "internal/xml_format.hpp"

#include <QtCore/QDebug>
#include <QtCore/QStringList>
#include <QtCore/QVariantMap>
#include <QtCore/QXmlStreamReader>

namespace hestrel::zkpref {

namespace {

const QString root_name = QStringLiteral("ApplicationSettings");

bool is_blank(QStringView text) { return text.trimmed().isEmpty(); }

}  // namespace

bool readXmlFile(QIODevice &device, QSettings::SettingsMap &map) {
  QXmlStreamReader xml(&device);
  xml.setNamespaceProcessing(true);

  QStringList stack;
  QString pending_comment;
  QVariantMap record;

  while (!xml.atEnd()) {
    switch (xml.readNext()) {
      case QXmlStreamReader::Comment:
        pending_comment = xml.text().toString();
        break;

      case QXmlStreamReader::StartElement: {
        record.clear();
        QString name = xml.name().toString();
        if (name == root_name) break;
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
          if (attribute.name() == u"os")
            name += QStringLiteral(":os=") + attribute.value().toString();
          else
            record.insert(attribute.name().toString(), attribute.value().toString());
        }
        if (!pending_comment.isEmpty()) {
          record.insert(QStringLiteral("comment"), pending_comment);
          pending_comment.clear();
        }
        stack.push_back(name);
        break;
      }

      case QXmlStreamReader::EndElement: {
        const QString name = xml.name().toString();
        if (name == root_name || stack.isEmpty()) break;
        const QString top = stack.last();
        if (top.section(QLatin1Char(':'), 0, 0) != name)
          qWarning() << "! Error, this endElement was" << name << ", not" << top;
        stack.removeLast();
        break;
      }

      case QXmlStreamReader::Characters: {
        const QStringView text = xml.text();
        if (is_blank(text)) break;
        record.insert(QStringLiteral("value"), text.toString());
        map.insert(stack.join(QLatin1Char('/')), record);
        break;
      }

      default:
        if (xml.hasError()) {
          qWarning() << "! Error parsing XML configuration file" << xml.errorString();
          return false;
        }
        break;
    }
  }
  return true;
}

}  // namespace hestrel::zkpref
