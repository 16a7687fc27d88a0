// Fuzz target for the XML settings format: any bytes read as a file give a
// map or false, every map read from a file is written again and reads back
// the same, and any map the writer accepts reads back as it was written.
// An input whose first byte is even is a file; one whose first byte is odd
// describes a map: records split at 0x1E, fields at 0x1F (key, value,
// comment, then name and text pairs; a value opening with 0x02 has no
// type), 0xFF h l standing for code unit hl.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <libxml/parser.h>

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QSettings>
#include <QtCore/QVariantMap>

#include "zkpref/internal/xml_format.hpp"

using hestrel::zkpref::readXmlFile;
using hestrel::zkpref::writeXmlFile;

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

bool read_map(const QByteArray &bytes, QSettings::SettingsMap *map) {
  QByteArray data = bytes;
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  return readXmlFile(buffer, *map);
}

// Values come back as text, and an empty comment is no comment.
QSettings::SettingsMap as_read(const QSettings::SettingsMap &map) {
  QSettings::SettingsMap out;
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    const QVariantMap fields = it.value().toMap();
    QVariantMap record;
    for (auto f = fields.cbegin(); f != fields.cend(); ++f) {
      const QString text = f.value().toString();
      if (f.key() == u"comment" && text.isEmpty()) continue;
      record.insert(f.key(), text);
    }
    out.insert(it.key(), record);
  }
  return out;
}

// Writes map; when the writer accepts it, the bytes must be well-formed and
// must read back to the same map. A map the reader made must be accepted:
// otherwise a file that opens could never be saved again.
void check_round_trip(const QSettings::SettingsMap &map, bool made_by_reader) {
  QByteArray written;
  QBuffer out(&written);
  out.open(QIODevice::WriteOnly);
  if (!writeXmlFile(out, map)) {
    if (made_by_reader) std::abort();
    if (!written.isEmpty()) std::abort();  // refused maps write nothing
    return;
  }
  // Without XML_PARSE_HUGE libxml2 refuses more than 256 nested elements,
  // which the format allows.
  xmlDocPtr doc = xmlReadMemory(written.constData(), static_cast<int>(written.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  if (!doc) std::abort();
  xmlFreeDoc(doc);
  QSettings::SettingsMap back;
  if (!read_map(written, &back)) std::abort();
  if (as_read(back) != as_read(map)) std::abort();
}

QString decode(const QByteArray &bytes) {
  QString text;
  QByteArray run;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 0xFF && i + 2 < bytes.size()) {
      text += QString::fromUtf8(run);
      run.clear();
      const auto hi = static_cast<unsigned char>(bytes[i + 1]);
      const auto lo = static_cast<unsigned char>(bytes[i + 2]);
      text += QChar(static_cast<char16_t>((hi << 8) | lo));
      i += 2;
    } else {
      run += static_cast<char>(b);
    }
  }
  return text + QString::fromUtf8(run);
}

QSettings::SettingsMap described_map(const QByteArray &description) {
  QSettings::SettingsMap map;
  for (const QByteArray &line : description.split('\x1e')) {
    const QList<QByteArray> fields = line.split('\x1f');
    QVariantMap record;
    if (fields.size() > 1) {
      // A value opening with 0x02 goes without a type name.
      const bool untyped = fields[1].startsWith('\x02');
      record.insert("value", decode(untyped ? fields[1].mid(1) : fields[1]));
      if (!untyped) record.insert("dt", "QString");
    }
    if (fields.size() > 2) record.insert("comment", decode(fields[2]));
    for (qsizetype i = 3; i + 1 < fields.size(); i += 2) record.insert(decode(fields[i]), decode(fields[i + 1]));
    map.insert(decode(fields[0]), record);
  }
  return map;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static const bool silenced = [] {
    qInstallMessageHandler(quiet);
    return true;
  }();
  (void)silenced;
  if (size == 0 || size > (1u << 16)) return 0;
  const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

  if ((data[0] & 1) == 0) {
    QSettings::SettingsMap map;
    if (read_map(bytes, &map)) check_round_trip(map, true);
  } else {
    check_round_trip(described_map(bytes.mid(1)), false);
  }
  return 0;
}
