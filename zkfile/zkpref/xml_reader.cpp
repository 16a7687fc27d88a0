// Reads a preference file in the XML settings format into the settings
// machinery's flat map: element names joined by "/" make the keys.
#include "internal/xml_format.hpp"

#include <vector>

#include <QtCore/QDebug>
#include <QtCore/QStringList>
#include <QtCore/QVariantMap>
#include <QtCore/QXmlStreamReader>

namespace hestrel::zkpref {

namespace {

const QString root_name = QStringLiteral("ApplicationSettings");

bool is_blank(QStringView text) { return text.trimmed().isEmpty(); }

// An element on the path, with what is needed to tell a key whose value is
// empty or blank from a group's indentation.
struct OpenElement {
  QString name;             // with ":os=" and the platform, when it has one
  bool typed = false;       // carries a "dt" attribute
  bool has_children = false;
  bool has_text = false;    // non-blank text stood directly inside
  QString blank_text;       // the blank text that stood directly inside
};

QString key_of(const std::vector<OpenElement> &stack) {
  QStringList names;
  for (const OpenElement &element : stack) names.push_back(element.name);
  return names.join(QLatin1Char('/'));
}

}  // namespace

bool readXmlFile(QIODevice &device, QSettings::SettingsMap &map) {
  QXmlStreamReader xml(&device);
  xml.setNamespaceProcessing(true);

  std::vector<OpenElement> stack;
  QString pending_comment;
  QVariantMap record;
  // Text the stream reader hands over in pieces (around a CDATA section)
  // with nothing else between them is one text.
  QString text_run;

  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token != QXmlStreamReader::Characters) text_run.clear();
    switch (token) {
      case QXmlStreamReader::Comment:
        pending_comment = xml.text().toString();
        break;

      case QXmlStreamReader::StartElement: {
        record.clear();
        if (!stack.empty()) stack.back().has_children = true;
        OpenElement element;
        element.name = xml.name().toString();
        if (element.name == root_name) break;
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
          if (attribute.name() == u"os") {
            element.name += QStringLiteral(":os=") + attribute.value().toString();
          } else {
            if (attribute.name() == u"dt") element.typed = true;
            record.insert(attribute.name().toString(), attribute.value().toString());
          }
        }
        if (!pending_comment.isEmpty()) {
          record.insert(QStringLiteral("comment"), pending_comment);
          pending_comment.clear();
        }
        stack.push_back(element);
        break;
      }

      case QXmlStreamReader::EndElement: {
        const QString name = xml.name().toString();
        if (name == root_name || stack.empty()) break;
        const OpenElement &top = stack.back();
        // A typed element holding nothing but blanks is a key whose text
        // value is empty or blank, kept as it stands.
        if (top.typed && !top.has_children && !top.has_text) {
          record.insert(QStringLiteral("value"), top.blank_text);
          map.insert(key_of(stack), record);
        }
        if (top.name.section(QLatin1Char(':'), 0, 0) != name)
          qWarning() << "! Error, this endElement was" << name << ", not" << top.name;
        stack.pop_back();
        break;
      }

      case QXmlStreamReader::Characters: {
        // Text directly inside the root names no key.
        if (stack.empty()) break;
        const QStringView text = xml.text();
        text_run += text;
        if (is_blank(text_run)) {
          stack.back().blank_text += text;
          break;
        }
        stack.back().has_text = true;
        record.insert(QStringLiteral("value"), text_run);
        map.insert(key_of(stack), record);
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
