// Reads a preference file in the XML settings format into the settings
// machinery's flat map: element names joined by "/" make the keys.
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/user_file_call.hpp"
#include "zkpref/internal/variant_flags.hpp"
#include "zkpref/internal/xml_format.hpp"
#include "zkpref/internal/xml_limits.hpp"
#include "zkpref/internal/xml_vocabulary.hpp"

#include <vector>

#include <QtCore/QDebug>
#include <QtCore/QFileDevice>
#include <QtCore/QStringList>
#include <QtCore/QVariantMap>
#include <QtCore/QXmlStreamReader>

#include "zkpref.h"

namespace hestrel::zkpref {

namespace {

// The type names the store writes, shared instead of copied for every key.
QString type_name(QStringView text) {
  for (ZKPREF_TYPE type : {ZKPREF_TYPE_INT, ZKPREF_TYPE_STRING, ZKPREF_TYPE_DOUBLE, ZKPREF_TYPE_BOOL})
    if (text == words::type_word(type)) return words::type_word(type);
  return text.toString();
}

bool is_blank(QStringView text) { return text.trimmed().isEmpty(); }

// An element on the path, with what is needed to tell a key whose value is
// empty or blank from a group's indentation.
struct OpenElement {
  QString name;               // with ":os=" and the platform, when it has one
  qsizetype name_length = 0;  // of the element's own name, before any ":os="
  qsizetype path_length = 0;  // of the key path before this element
  bool typed = false;         // carries a "dt" attribute
  bool has_children = false;
  bool has_text = false;  // non-blank text stood directly inside
  QString blank_text;     // the blank text that stood directly inside
};

// Files list their keys in order, so most entries go at the map's end. The
// key is a copy of its own, so the path keeps its buffer for the next key.
void insert_entry(QSettings::SettingsMap &map, const QString &path, const QVariantMap &record) {
  const QString key(path.constData(), path.size());
  if (map.isEmpty() || (--map.cend()).key() < key)
    map.insert(map.cend(), key, record);
  else
    map.insert(key, record);
}

}  // namespace

namespace {

bool read_document(const QByteArray &bytes, QSettings::SettingsMap &map, VariantsSeen &seen) {
  const QString &root_name = words::root_element();
  const QString &dt_field = words::type_field();
  const QString &value_field = words::value_field();
  const QString &comment_field = words::comment_field();
  QXmlStreamReader xml(bytes);
  xml.setNamespaceProcessing(true);

  std::vector<OpenElement> stack;
  QString path;  // the names on the stack joined by "/"
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
        if (xml.name() == root_name) break;
        element.name = xml.name().toString();
        element.name_length = element.name.size();
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QXmlStreamAttribute &attribute : attributes) {
          if (attribute.name() == words::platform_attribute()) {
            // A platform name the writer could not give back would stop every
            // later write of the file: the key stays, without its platform.
            const QStringView platform = attribute.value();
            if (platform_can_be_written(platform)) {
              element.name += words::platform_suffix();
              element.name += platform;
              seen.any = true;
              if (platform == QLatin1StringView(platforms[running_platform])) seen.running = true;
            }
          } else if (attribute.name() == comment_field && !comment_can_be_written(attribute.value())) {
            // As above: a comment the writer could not write is dropped.
          } else if (!field_name_can_be_written(attribute.name())) {
            // The stream reader lets control characters through in attribute
            // names, which no writer can give back: such an attribute goes.
          } else {
            if (attribute.name() == dt_field) {
              element.typed = true;
              record.insert(dt_field, type_name(attribute.value()));
            } else {
              record.insert(attribute.name().toString(), attribute.value().toString());
            }
          }
        }
        if (!pending_comment.isEmpty()) {
          if (comment_can_be_written(pending_comment)) record.insert(comment_field, pending_comment);
          pending_comment.clear();
        }
        element.path_length = path.size();
        if (!stack.empty()) path += QLatin1Char('/');
        path += element.name;
        stack.push_back(std::move(element));
        break;
      }

      case QXmlStreamReader::EndElement: {
        const QStringView name = xml.name();
        if (name == root_name || stack.empty()) break;
        const OpenElement &top = stack.back();
        // A typed element holding nothing but blanks is a key whose text
        // value is empty or blank, kept as it stands.
        if (top.typed && !top.has_children && !top.has_text) {
          record.insert(value_field, top.blank_text);
          insert_entry(map, path, record);
        }
        if (QStringView(top.name).left(top.name_length) != name)
          qWarning() << "! Error, this endElement was" << name.toString() << ", not" << top.name;
        path.truncate(top.path_length);
        stack.pop_back();
        break;
      }

      case QXmlStreamReader::Characters: {
        // Text directly inside the root names no key.
        if (stack.empty()) break;
        const QStringView text = xml.text();
        OpenElement &top = stack.back();
        text_run += text;
        if (is_blank(text_run)) {
          // Only a leaf's blanks can be a value; a group's are indentation.
          if (!top.has_children && top.typed) top.blank_text += text;
          break;
        }
        top.has_text = true;
        record.insert(value_field, text_run);
        insert_entry(map, path, record);
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

}  // namespace

bool parse_settings(const QByteArray &bytes, QSettings::SettingsMap &map, VariantsSeen &seen) {
  seen = VariantsSeen{};
  return read_document(bytes, map, seen);
}

namespace {

// The bytes of a store's user file as the store read them under its lock,
// when the device is open on that very file; null otherwise.
FileContent *content_for(UserFileCall *call, const QIODevice &device) {
  if (!call || !call->content || !call->content->regular) return nullptr;
  const auto *file = qobject_cast<const QFileDevice *>(&device);
  if (!file || identity_of(file->handle()) != call->content->identity) return nullptr;
  return call->content;
}

// The user file's bytes, taken from the store or read from the device. A
// device that cannot be read says nothing about the file's bytes.
bool user_file_map(UserFileCall &call, QIODevice &device, QSettings::SettingsMap &map, VariantsSeen &seen) {
  if (FileContent *content = content_for(&call, device)) {
    if (!content->parsed) {
      content->parsed = parse_settings(content->bytes, content->map, content->seen);
      if (!content->parsed) content->map.clear();
    }
    if (!content->parsed) {
      call.read = UserFileCall::Read::damaged;
      return false;
    }
    map = content->map;
    seen = content->seen;
  } else {
    const QByteArray bytes = device.readAll();
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    if (file && file->error() != QFileDevice::NoError) {
      call.read = UserFileCall::Read::unreadable;
      return false;
    }
    if (!parse_settings(bytes, map, seen)) {
      call.read = UserFileCall::Read::damaged;
      return false;
    }
  }
  call.read = UserFileCall::Read::parsed;
  call.held_keys = !map.isEmpty();
  return true;
}

}  // namespace

bool readXmlFile(QIODevice &device, QSettings::SettingsMap &map) {
  VariantsSeen seen;
  bool read = false;
  if (UserFileCall *call = user_file_call_for(device)) {
    read = user_file_map(*call, device, map, seen);
  } else {
    read = parse_settings(device.readAll(), map, seen);
  }
  // Also after a failure: the machinery keeps the keys read up to it.
  variants_in_map(device, seen);
  return read;
}

}  // namespace hestrel::zkpref
