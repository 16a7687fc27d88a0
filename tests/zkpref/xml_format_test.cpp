// Tests of the XML settings file format: maps written and read through real
// settings objects on real files, compared with hand-written fixtures.
#include <string>
#include <vector>

#include <QtCore/QBuffer>
#include <QtCore/QSettings>
#include <QtCore/QVariantMap>
#include <gtest/gtest.h>

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
      {"example.xml",
       {{"g/k", record(5, "int")}, {"g/k:os=linux", record(6, "int", "note")}}},
      {"ordering.xml", {{"a", record(2, "int")}, {"B", record(1, "int")}}},
      {"key_beside_group.xml",
       {{"x", record("plain", "QString")},
        {"x/y", record(true, "bool")},
        {"x/z/w", record(2.5, "double")},
        {"y", record(3, "int")}}},
      {"attributes.xml",
       {{"g/k", record(7, "int", "kept", {{"zeta", "one"}, {"alpha", 2}})}}},
      {"escaping.xml",
       {{"m", record("<b> & \"x\" 'y'", "QString", "a <b> & c", {{"note", "<&\"'>"}})}}},
      {"utf8.xml",
       {{QString::fromUtf8("grüße/名前"), record(QString::fromUtf8("  Zoë 🙂  "), "QString",
                                                  QString::fromUtf8("Grüße aus 東京"))}}},
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

TEST_F(XmlFormatTest, WriterAloneGivesTheFixtureBytes) {
  for (const FileCase &c : file_cases()) {
    SCOPED_TRACE(c.fixture);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(writeXmlFile(buffer, c.map));
    EXPECT_EQ(data.toStdString(), fixture(c.fixture));
  }
}

struct ReadCase {
  const char *name;
  const char *xml;
  QSettings::SettingsMap expected;
};

TEST(XmlFormatRead, EdgeCasesOfTheReader) {
  const QSettings::SettingsMap one_key = {{"k", record("1", "int", "c")}};
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
      {"a namespace prefix is dropped from names",
       "<ApplicationSettings xmlns:p=\"urn:x\"><p:k p:dt=\"int\">1</p:k></ApplicationSettings>",
       {{"k", record("1", "int")}}},
  };
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

}  // namespace
