// Writes the settings machinery's flat map as a preference file in the XML
// settings format, in one pass that also checks the format's limits.
#include "zkpref/internal/leftover_copies.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/user_file_call.hpp"
#include "zkpref/internal/variant_flags.hpp"
#include "zkpref/internal/xml_format.hpp"
#include "zkpref/internal/xml_limits.hpp"
#include "zkpref/internal/xml_vocabulary.hpp"

#include <unistd.h>

#include <vector>

#include <QtCore/QFileDevice>
#include <QtCore/QVariantMap>
#include <QtCore/QXmlStreamWriter>

namespace hestrel::zkpref {

namespace {

// Tags deeper than this many levels go unindented: the stream writer
// indents a tag by its level times the indent, so indenting every level
// makes a file of deep groups grow with the square of its depth.
constexpr qsizetype indented_levels = 64;
constexpr int indent_width = 4;

// The stream writer takes names and text as strings; these borrow the map's
// own characters, alive for the whole write, instead of copying them.
QString borrowed(QStringView text) { return QString::fromRawData(text.data(), text.size()); }

// A key taken apart in place: its path parts and, for a platform variant,
// the platform. False for a key outside the format's limits.
struct KeyParts {
  std::vector<QStringView> path;
  QStringView platform;
  bool variant = false;
};

bool split_key(QStringView key, KeyParts &parts) {
  parts.path.clear();
  parts.variant = false;
  QStringView path = key;
  // The ":os=" suffix is the only ':' a key may hold.
  const qsizetype colon = key.indexOf(u':');
  if (colon >= 0) {
    const QStringView suffix = key.mid(colon);
    const QString &marker = words::platform_suffix();
    if (!suffix.startsWith(marker)) return false;
    parts.platform = suffix.mid(marker.size());
    if (!platform_can_be_written(parts.platform)) return false;
    parts.variant = true;
    path = key.left(colon);
  }
  qsizetype start = 0;
  for (;;) {
    const qsizetype slash = path.indexOf(u'/', start);
    const QStringView part = path.mid(start, (slash < 0 ? path.size() : slash) - start);
    if (!is_path_part(part)) return false;
    parts.path.push_back(part);
    if (slash < 0) return true;
    start = slash + 1;
  }
}

// How many of the previous key's group parts stay open for the next path;
// the previous key element itself is never shared. A key never lies wholly
// inside the open groups: the platform variant of a name that is also a
// group closes that group and stands beside it.
std::size_t shared_group_depth(const std::vector<QStringView> &previous, const std::vector<QStringView> &path) {
  if (previous.size() < 2) return 0;
  std::size_t depth = 0;
  while (depth < previous.size() - 1 && depth < path.size() - 1 && previous[depth] == path[depth]) ++depth;
  return depth;
}

class Writer {
 public:
  explicit Writer(QByteArray *text) : xml_(text) {
    xml_.setAutoFormatting(true);
    xml_.writeStartDocument();
    xml_.writeStartElement(words::root_element());
  }

  // Writes one key; false, with the output then worthless, when the key or
  // its record lies outside the format's limits.
  bool write(QStringView key, const QVariant &value) {
    if (!split_key(key, parts_)) return false;
    if (value.metaType() != QMetaType::fromType<QVariantMap>()) return false;
    const QVariantMap &record = *static_cast<const QVariantMap *>(value.constData());

    // Each field's text is made once, and checked before it is written.
    QString text, comment;
    const auto value_entry = record.constFind(words::value_field());
    if (value_entry == record.cend() || !field_text(value_entry.value(), &text) || !element_text_can_be_written(text))
      return false;
    // A blank value comes back only from an element that carries a type.
    if (text.trimmed().isEmpty() && !record.contains(words::type_field())) return false;
    const auto comment_entry = record.constFind(words::comment_field());
    if (comment_entry != record.cend() &&
        (!field_text(comment_entry.value(), &comment) || !comment_can_be_written(comment)))
      return false;

    const std::size_t common = shared_group_depth(previous_, parts_.path);
    close_elements(previous_.size() - common);
    for (std::size_t i = common; i + 1 < parts_.path.size(); ++i) open_element(parts_.path[i]);
    if (!comment.isEmpty()) {
      indent_for(depth_);
      xml_.writeComment(comment);
    }
    open_element(parts_.path.back());
    QString attribute;
    for (auto field = record.cbegin(); field != record.cend(); ++field) {
      if (field == value_entry || field == comment_entry) continue;
      if (!field_name_can_be_written(field.key()) || !field_text(field.value(), &attribute) ||
          !attribute_text_can_be_written(attribute))
        return false;
      xml_.writeAttribute(field.key(), attribute);
    }
    if (parts_.variant) {
      xml_.writeAttribute(words::platform_attribute(), borrowed(parts_.platform));
      seen_.any = true;
      if (parts_.platform == QLatin1StringView(platforms[running_platform])) seen_.running = true;
    }
    write_text(text);
    previous_.swap(parts_.path);
    return true;
  }

  bool finish() {
    close_elements(previous_.size());
    indent_for(0);
    xml_.writeEndElement();
    xml_.writeEndDocument();
    return !xml_.hasError();
  }

  VariantsSeen seen() const { return seen_; }

 private:
  // The stream writer indents each tag when it writes it, by the level of
  // the tag it writes; level counts the root.
  void indent_for(std::size_t level) { xml_.setAutoFormattingIndent(level <= indented_levels ? indent_width : 0); }

  void open_element(QStringView name) {
    indent_for(depth_);
    xml_.writeStartElement(borrowed(name));
    ++depth_;
  }

  void close_elements(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      --depth_;
      indent_for(depth_);
      xml_.writeEndElement();
    }
  }

  // The stream writer leaves a CR in element text as it is, and a reader
  // turns a bare CR into LF; as a character reference it comes back as CR.
  void write_text(const QString &text) {
    qsizetype start = 0;
    for (;;) {
      const qsizetype cr = text.indexOf(u'\r', start);
      const QStringView run = QStringView(text).mid(start, (cr < 0 ? text.size() : cr) - start);
      if (start == 0 || !run.isEmpty()) xml_.writeCharacters(start == 0 && cr < 0 ? text : borrowed(run));
      if (cr < 0) return;
      xml_.writeEntityReference(QStringLiteral("#13"));
      start = cr + 1;
    }
  }

  QXmlStreamWriter xml_;
  std::size_t depth_ = 1;  // elements open, the root included
  std::vector<QStringView> previous_;
  KeyParts parts_;
  VariantsSeen seen_;
};

// Every byte has reached the file only once a buffering device is flushed
// (until then a full disk or a size limit goes unnoticed) and the file's
// descriptor synchronised. The settings machinery renames its copy into
// place right after this returns true; its own synchronisation on commit
// ignores a failure, so a copy whose bytes may not be on disk must be
// refused here.
bool hand_over(QIODevice &device, const QByteArray &text) {
  if (device.write(text) != text.size()) return false;
  auto *file = qobject_cast<QFileDevice *>(&device);
  if (!file) return true;
  if (!file->flush() || file->error() != QFileDevice::NoError) return false;
  return file->handle() < 0 || ::fdatasync(file->handle()) == 0;
}

}  // namespace

bool format_settings(const QSettings::SettingsMap &map, QByteArray &text, VariantsSeen &seen) {
  text.clear();
  Writer writer(&text);
  for (auto entry = map.cbegin(); entry != map.cend(); ++entry)
    if (!writer.write(entry.key(), entry.value())) return false;
  if (!writer.finish()) return false;
  seen = writer.seen();
  return true;
}

bool writeXmlFile(QIODevice &device, const QSettings::SettingsMap &map) {
  UserFileCall *call = user_file_call_for(device);
  // The machinery writes even after its read of the file failed, with the
  // file's keys missing from its map (pinned in settings_machinery_test.cpp):
  // never over a store's user file.
  if (call && (call->read == UserFileCall::Read::damaged || call->read == UserFileCall::Read::unreadable)) return false;
  // A store's sync records its copy first thing, so that a kill from here on
  // leaves nothing the next sync cannot remove.
  if (call && call->copies) {
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    if (!file || !call->copies->note(file->handle())) return false;
  }
  // Built in memory and handed over only once the whole map was written:
  // a map the format cannot hold is refused before the device sees a byte,
  // and the device's own bookkeeping per write costs more than the text.
  QByteArray text;
  VariantsSeen seen;
  if (!format_settings(map, text, seen)) return false;
  if (!hand_over(device, text)) return false;
  if (call) {
    call->wrote = true;
    call->held_keys = !map.isEmpty();
  }
  // Whether or not the machinery then commits, the map it goes on holding
  // is the one just written.
  variants_in_map(device, seen);
  return true;
}

}  // namespace hestrel::zkpref
