// Tests of the XML settings file format: maps written and read through real
// settings objects on real files, compared with hand-written fixtures.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QBuffer>
#include <QtCore/QSettings>
#include <QtCore/QVariantMap>

#include "zkpref/internal/xml_format.hpp"
#include "zkpref/support/zkpref_fixtures.hpp"

namespace {

using hestrel::zkpref::readXmlFile;
using hestrel::zkpref::writeXmlFile;
using zkpref_test::read_file;
using zkpref_test::write_file;
using zkpref_test::xmllint_accepts;

// Registered once for the whole test program, as the library does at load.
QSettings::Format xml_format() {
  static const QSettings::Format format =
      QSettings::registerFormat("xml", readXmlFile, writeXmlFile, Qt::CaseSensitive);
  return format;
}

std::string fixture(const std::string &name) {
  return read_file(std::string(HESTREL_TEST_SOURCE_DIR) + "/zkpref/fixtures/" + name);
}

QVariantMap record(const QVariant &value, const QString &dt, const QString &comment = {},
                   const QVariantMap &extra = {}) {
  QVariantMap r = extra;
  r.insert("value", value);
  r.insert("dt", dt);
  if (!comment.isEmpty()) r.insert("comment", comment);
  return r;
}

// What a read gives back: every field as text.
QSettings::SettingsMap as_read(const QSettings::SettingsMap &map) {
  QSettings::SettingsMap out;
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    QVariantMap r;
    const QVariantMap fields = it.value().toMap();
    for (auto f = fields.cbegin(); f != fields.cend(); ++f) r.insert(f.key(), f.value().toString());
    out.insert(it.key(), r);
  }
  return out;
}

std::string dump(const QSettings::SettingsMap &map) {
  std::string s;
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    s += it.key().toStdString() + " {";
    const QVariantMap fields = it.value().toMap();
    for (auto f = fields.cbegin(); f != fields.cend(); ++f)
      s += " " + f.key().toStdString() + "=[" + f.value().toString().toStdString() + "]";
    s += " }\n";
  }
  return s;
}

QSettings::SettingsMap read_bytes(const std::string &bytes, bool *ok) {
  QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QSettings::SettingsMap map;
  *ok = readXmlFile(buffer, map);
  return map;
}

class XmlFormatTest : public zkpref_test::PrefTest {
 protected:
  std::string file(const std::string &name) const { return root() + "/" + name; }

  // Writes every entry through a settings object and synchronises it.
  static QSettings::Status write_settings(const std::string &path, const QSettings::SettingsMap &map) {
    QSettings settings(QString::fromStdString(path), xml_format());
    for (auto it = map.cbegin(); it != map.cend(); ++it) settings.setValue(it.key(), it.value());
    settings.sync();
    return settings.status();
  }

  static QSettings::SettingsMap read_settings(const std::string &path, QSettings::Status *status = nullptr) {
    QSettings settings(QString::fromStdString(path), xml_format());
    QSettings::SettingsMap map;
    for (const QString &key : settings.allKeys()) map.insert(key, settings.value(key));
    if (status) *status = settings.status();
    return map;
  }
};

struct FileCase {
  const char *fixture;
  QSettings::SettingsMap map;
};

std::vector<FileCase> file_cases() {
  return {
      {"empty.xml", {}},
      {"example.xml", {{"g/k", record(5, "int")}, {"g/k:os=linux", record(6, "int", "note")}}},
      {"ordering.xml", {{"a", record(2, "int")}, {"B", record(1, "int")}}},
      {"key_beside_group.xml",
       {{"x", record("plain", "QString")},
        {"x/y", record(true, "bool")},
        {"x/z/w", record(2.5, "double")},
        {"y", record(3, "int")}}},
      {"variant_beside_group.xml",
       {{"x/y", record(1, "int")},
        {"x/z/w", record(2, "int")},
        {"x/z:os=linux", record(3, "int")},
        {"x:os=darwin", record(4, "int")}}},
      {"attributes.xml", {{"g/k", record(7, "int", "kept", {{"zeta", "one"}, {"alpha", 2}})}}},
      {"escaping.xml",
       {{"m", record("<b> & \"x\" 'y' ]]>", "QString", "a <b> & c", {{"note", "<&\"'>"}, {"ws", "a\tb\nc\rd"}})}}},
      {"blank_values.xml",
       {{"g/e", record("", "QString")},
        {"g/s", record("   ", "QString")},
        {"g/t", record("\t\n", "QString")},
        {"n", record(" \tone\n two ", "QString")},
        {"r", record("\r", "QString")},
        {"w", record("\rone\r\ntwo\r", "QString")}}},
      {"utf8.xml",
       {{QString::fromUtf8("grüße/名前"),
         record(QString::fromUtf8("  Zoë 🙂  "), "QString", QString::fromUtf8("Grüße aus 東京"))}}},
  };
}

TEST_F(XmlFormatTest, SettingsWriteTheFixtureBytesAndReadThemBack) {
  for (const FileCase &c : file_cases()) {
    SCOPED_TRACE(c.fixture);
    // A settings object with nothing to set writes no file at all.
    if (!c.map.isEmpty()) {
      const std::string written = file(std::string("written_") + c.fixture);
      EXPECT_EQ(write_settings(written, c.map), QSettings::NoError);
      EXPECT_EQ(read_file(written), fixture(c.fixture));
      EXPECT_TRUE(xmllint_accepts(written));
    }

    const std::string copy = file(std::string("copy_") + c.fixture);
    write_file(copy, fixture(c.fixture));
    QSettings::Status status = QSettings::AccessError;
    const QSettings::SettingsMap back = read_settings(copy, &status);
    EXPECT_EQ(status, QSettings::NoError);
    EXPECT_EQ(dump(back), dump(as_read(c.map)));
    EXPECT_EQ(back, as_read(c.map));
  }
}

// A settings object never writes an empty map, so the writer is called alone.
TEST(XmlFormatWrite, EmptyMapGivesAnEmptyRootAndReadsBackEmpty) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(writeXmlFile(buffer, {}));
  EXPECT_EQ(data.toStdString(), fixture("empty.xml"));
  bool ok = false;
  EXPECT_TRUE(read_bytes(data.toStdString(), &ok).isEmpty());
  EXPECT_TRUE(ok);
}

struct ReadCase {
  const char *name;
  const char *xml;
  QSettings::SettingsMap expected;
};

TEST(XmlFormatRead, EdgeCasesOfTheReader) {
  const QSettings::SettingsMap one_key = {{"k", record("1", "int", "c")}};
  // clang-format off
  const std::vector<ReadCase> cases = {
      {"comment before the root attaches to a first key element",
       "<!--c--><ApplicationSettings><k dt=\"int\">1</k></ApplicationSettings>", one_key},
      {"comment before the root is lost at a first group",
       "<!--c--><ApplicationSettings><g><k dt=\"int\">1</k></g></ApplicationSettings>",
       {{"g/k", record("1", "int")}}},
      {"comment before a group is lost at its first child",
       "<ApplicationSettings><!--c--><g><k dt=\"int\">1</k></g></ApplicationSettings>",
       {{"g/k", record("1", "int")}}},
      {"a later comment replaces a pending one",
       "<ApplicationSettings><!--a--><!--c--><k dt=\"int\">1</k></ApplicationSettings>", one_key},
      {"nested root element adds no path part",
       "<ApplicationSettings><g><ApplicationSettings><k dt=\"int\">1</k></ApplicationSettings></g>"
       "</ApplicationSettings>",
       {{"g/k", record("1", "int")}}},
      {"another root name becomes a prefix",
       "<Settings><g><k dt=\"int\">1</k></g></Settings>", {{"Settings/g/k", record("1", "int")}}},
      {"platform attribute joins the key wherever it stands",
       "<ApplicationSettings><k os=\"linux\" dt=\"int\">6</k></ApplicationSettings>",
       {{"k:os=linux", record("6", "int")}}},
      {"blanks around a value are kept",
       "<ApplicationSettings><k dt=\"QString\">  a b  </k></ApplicationSettings>",
       {{"k", record("  a b  ", "QString")}}},
      {"text directly inside the root names no key",
       "<ApplicationSettings>stray<k dt=\"int\">1</k>more</ApplicationSettings>",
       {{"k", record("1", "int")}}},
      {"an empty typed element is an empty value",
       "<ApplicationSettings><k dt=\"QString\"></k><m dt=\"QString\"/></ApplicationSettings>",
       {{"k", record("", "QString")}, {"m", record("", "QString")}}},
      {"a blank typed element keeps its blanks",
       "<ApplicationSettings><g>\n  <k dt=\"QString\">   </k>\n</g></ApplicationSettings>",
       {{"g/k", record("   ", "QString")}}},
      {"untyped empty or blank elements and indented groups hold no key",
       "<ApplicationSettings>\n  <a></a>\n  <b>  </b>\n  <g>\n    <h>\n    </h>\n  </g>\n</ApplicationSettings>",
       {}},
      {"a typed element with children is no empty value",
       "<ApplicationSettings><g dt=\"QString\">\n  <k dt=\"int\">1</k>\n</g></ApplicationSettings>",
       {{"g/k", record("1", "int")}}},
      {"text split around a CDATA section is one value",
       "<ApplicationSettings><k dt=\"QString\">a<![CDATA[ <b> ]]>c</k></ApplicationSettings>",
       {{"k", record("a <b> c", "QString")}}},
      {"a comment between two texts leaves the last",
       "<ApplicationSettings><k dt=\"QString\">a<!--x-->b</k></ApplicationSettings>",
       {{"k", record("b", "QString")}}},
      {"character references give CR",
       "<ApplicationSettings><k dt=\"QString\">a&#13;&#10;b</k></ApplicationSettings>",
       {{"k", record("a\r\nb", "QString")}}},
      {"a namespace prefix is dropped from names",
       "<ApplicationSettings xmlns:p=\"urn:x\"><p:k p:dt=\"int\">1</p:k></ApplicationSettings>",
       {{"k", record("1", "int")}}},
  };
  // clang-format on
  for (const ReadCase &c : cases) {
    SCOPED_TRACE(c.name);
    zkpref_test::QtMessages messages;
    bool ok = false;
    const QSettings::SettingsMap map = read_bytes(c.xml, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(dump(map), dump(c.expected));
    EXPECT_EQ(messages.text(), "");
  }
}

TEST(XmlFormatRead, CutOffFileFailsWithTheWarning) {
  zkpref_test::QtMessages messages;
  bool ok = true;
  read_bytes("<?xml version=\"1.0\"?>\n<ApplicationSettings>\n    <g>\n        <k dt=\"int\">5", &ok);
  EXPECT_FALSE(ok);
  ASSERT_EQ(messages.lines().size(), 1u);
  EXPECT_EQ(messages.lines()[0], "! Error parsing XML configuration file \"Premature end of document.\"");
}

TEST_F(XmlFormatTest, CutOffFileIsAFormatErrorForTheSettings) {
  const std::string path = file("cut.xml");
  write_file(path, fixture("example.xml").substr(0, 80));
  zkpref_test::QtMessages messages;
  QSettings::Status status = QSettings::NoError;
  EXPECT_TRUE(read_settings(path, &status).isEmpty());
  EXPECT_EQ(status, QSettings::FormatError);
  EXPECT_NE(messages.text().find("! Error parsing XML configuration file"), std::string::npos);
}

// A map the format cannot hold: one entry added to a sound file's keys.
struct RefusedCase {
  const char *name;
  QString key;
  QVariant value;
  bool via_settings;  // false where the settings object would normalise the key first
};

std::vector<RefusedCase> refused_cases() {
  const QVariant plain = record(1, "int");
  const auto with = [](const QString &field, const QVariant &text) {
    QVariantMap r = record(1, "int");
    r.insert(field, text);
    return QVariant(r);
  };
  const QString lone_surrogate(QChar(0xD800));
  return {
      {"colon outside a platform suffix", "g/a:b", plain, true},
      {"a second colon after the suffix", "g/k:os=li:nux", plain, true},
      {"a suffix other than os", "g/k:dt=int", plain, true},
      {"an equals sign in the platform", "g/k:os=a=b", plain, true},
      {"a control character in the platform", QString("g/k:os=a") + QChar(1), plain, true},
      {"an empty key", "", plain, false},
      {"a leading slash", "/g/k", plain, false},
      {"a trailing slash", "g/k/", plain, false},
      {"a doubled slash", "g//k", plain, false},
      {"a part starting with a digit", "g/1k", plain, true},
      {"a blank in a part", "g/k k", plain, true},
      {"a part that is the root name", "g/ApplicationSettings", plain, true},
      {"a root-named key", "ApplicationSettings", plain, true},
      {"a comment holding two dashes", "g/c", with("comment", "a--b"), true},
      {"a comment ending in a dash", "g/c", with("comment", "a-"), true},
      {"a comment holding CR", "g/c", with("comment", "a\rb"), true},
      {"a field name that is no attribute name", "g/c", with("1a", "x"), true},
      {"a field name with a colon", "g/c", with("p:q", "x"), true},
      {"a field named os", "g/c", with("os", "linux"), true},
      {"a field named xmlns", "g/c", with("xmlns", "urn:x"), true},
      {"a field without a text form", "g/c", with("list", QVariantList{1, 2}), true},
      {"a value that is not a record", "g/c", 5, true},
      {"a value without a text form", "g/c", with("value", QVariantList{1, 2}), true},
      {"a record without value", "g/c", QVariantMap{{"dt", "int"}}, true},
      {"a blank value without type", "g/c", QVariantMap{{"value", "  "}}, true},
      {"a control character in a value", "g/c", record(QString("a") + QChar(1), "QString"), true},
      {"U+FFFE in a value", "g/c", record(QString(QChar(0xFFFE)), "QString"), true},
      {"a lone surrogate in a value", "g/c", record(lone_surrogate, "QString"), true},
      {"a control character in a comment", "g/c", with("comment", QString(QChar(0x1F))), true},
      {"a control character in a field", "g/c", with("note", QString(QChar(0x0B))), true},
      {"U+FFFF in a part", QString("g/k") + QChar(0xFFFF), plain, true},
  };
}

TEST_F(XmlFormatTest, WriterRefusesWhatTheFormatCannotHold) {
  bool ok = false;
  const QSettings::SettingsMap sound = read_bytes(fixture("key_beside_group.xml"), &ok);
  ASSERT_TRUE(ok);
  for (const RefusedCase &c : refused_cases()) {
    SCOPED_TRACE(c.name);
    QSettings::SettingsMap map = sound;
    map.insert(c.key, c.value);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(writeXmlFile(buffer, map));
    EXPECT_TRUE(data.isEmpty());
  }
}

TEST_F(XmlFormatTest, RefusedMapLeavesTheFileAsItWas) {
  const std::string original = fixture("key_beside_group.xml");
  int n = 0;
  for (const RefusedCase &c : refused_cases()) {
    if (!c.via_settings) continue;
    SCOPED_TRACE(c.name);
    const std::string path = file("refused_" + std::to_string(n++) + ".xml");
    write_file(path, original);
    zkpref_test::QtMessages messages;
    EXPECT_EQ(write_settings(path, {{c.key, c.value}}), QSettings::AccessError);
    EXPECT_EQ(read_file(path), original);
  }
}

TEST_F(XmlFormatTest, NewKeysJoinTheFileThroughTheSettings) {
  const std::string path = file("grow.xml");
  write_file(path, fixture("example.xml"));
  ASSERT_EQ(write_settings(path, {{"g/k:os=linux", record(6, "int", "note")}}), QSettings::NoError);
  EXPECT_EQ(read_file(path), fixture("example.xml"));
  ASSERT_EQ(write_settings(path, {{"g/e", record("", "QString")}, {"g/k", record(5, "int")}}), QSettings::NoError);
  const QSettings::SettingsMap back = read_settings(path);
  EXPECT_EQ(dump(back), dump(as_read({{"g/e", record("", "QString")},
                                      {"g/k", record(5, "int")},
                                      {"g/k:os=linux", record(6, "int", "note")}})));
  EXPECT_TRUE(xmllint_accepts(path));
}

TEST_F(XmlFormatTest, ValuesComeBackAsTextWithTheirTypeName) {
  const std::string path = file("typed.xml");
  ASSERT_EQ(write_settings(path, {{"i", record(5, "int")}, {"d", record(0.1, "double")}, {"b", record(false, "bool")}}),
            QSettings::NoError);
  bool ok = false;
  const QSettings::SettingsMap back = read_bytes(read_file(path), &ok);
  ASSERT_TRUE(ok);
  const QVariant five = back.value("i").toMap().value("value");
  EXPECT_EQ(five.metaType(), QMetaType::fromType<QString>());
  EXPECT_EQ(five.toString(), "5");
  EXPECT_EQ(back.value("i").toMap().value("dt").toString(), "int");
  EXPECT_EQ(back.value("d").toMap().value("value").toString(), "0.1");
  EXPECT_EQ(back.value("b").toMap().value("value").toString(), "false");
}

TEST(XmlFormatRead, ReaderAddsToTheMapItIsGiven) {
  QByteArray data = "<ApplicationSettings><k dt=\"int\">1</k></ApplicationSettings>";
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QSettings::SettingsMap map = {{"earlier", record("x", "QString")}};
  ASSERT_TRUE(readXmlFile(buffer, map));
  EXPECT_EQ(dump(map), dump({{"earlier", record("x", "QString")}, {"k", record("1", "int")}}));
}

}  // namespace
