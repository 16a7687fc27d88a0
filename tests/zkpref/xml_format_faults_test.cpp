// The XML format's reader and writer agree: every file that opens can be
// saved again, deep groups give a file that grows with depth, no faster, and
// no entity is ever expanded into a value.
#include <string>

#include <gtest/gtest.h>
#include <QtCore/QBuffer>
#include <QtCore/QSettings>
#include <QtCore/QVariantMap>

#include "zkpref.h"
#include "zkpref/internal/key_check.hpp"
#include "zkpref/internal/xml_format.hpp"
#include "zkpref/support/zkpref_fixtures.hpp"

namespace {

using zkpref_test::read_file;
using zkpref_test::write_file;

const char *const kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ApplicationSettings>";
const char *const kFooter = "</ApplicationSettings>\n";

using XmlFormatFaults = zkpref_test::PrefTest;

TEST_F(XmlFormatFaults, AttributesTheWriterCannotGiveBackAreDroppedAtReading) {
  struct Case {
    const char *name;
    std::string body;
    const char *key;  // as read
  };
  const Case cases[] = {
      {"CR in a comment", "<!--a\rb--><k dt=\"int\">1</k>", "k"},
      {"comment attribute holding --", "<k dt=\"int\" comment=\"a--b\">1</k>", "k"},
      {"comment attribute ending in -", "<k dt=\"int\" comment=\"ends-\">1</k>", "k"},
      {"comment attribute holding CR", "<k dt=\"int\" comment=\"a&#13;b\">1</k>", "k"},
      {"platform holding :", "<g><k dt=\"int\" os=\"a:b\">1</k></g>", "g/k"},
      {"platform holding =", "<g><k dt=\"int\" os=\"a=b\">1</k></g>", "g/k"},
      {"control character in an attribute name", "<k dt=\"int\" n\bx=\"v\">1</k>", "k"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    write_file(user_file(), kHeader + c.body + kFooter);
    zkpref_test::QtMessages messages;
    ZKpref handle = 0;
    ASSERT_EQ(zkpref_new(&handle, ZKPREF_TRALVENIC), 0);
    int value = 0;
    EXPECT_EQ(zkpref_get_int(handle, c.key, &value), ZKPREF_SUCCESS);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(zkpref_set_int(handle, "other", 2), ZKPREF_SUCCESS);
    EXPECT_EQ(zkpref_sync(handle), ZKPREF_SUCCESS);
    zkpref_delete(handle);
    const std::string written = read_file(user_file());
    EXPECT_NE(written.find("<other dt=\"int\">2</other>"), std::string::npos) << written;
    EXPECT_NE(written.find(">1</k>"), std::string::npos) << written;
  }
}

TEST(XmlFormatDepth, DeepGroupsGiveAFileLinearInTheirDepth) {
  constexpr int depth = 5000;
  QString key;
  for (int i = 0; i < depth; ++i) key += QStringLiteral("g/");
  key += QStringLiteral("k");
  QSettings::SettingsMap map;
  map.insert(key, QVariantMap{{"dt", "int"}, {"value", "7"}});
  QByteArray written;
  QBuffer out(&written);
  out.open(QIODevice::WriteOnly);
  ASSERT_TRUE(hestrel::zkpref::writeXmlFile(out, map));
  // Each level costs its two tags, two line ends and at most 64 indents.
  EXPECT_LT(written.size(), depth * 16 + 64 * 4 * 64);
  // Up to 64 levels the indentation grows as it always did.
  EXPECT_TRUE(written.contains("\n" + QByteArray(4 * 64, ' ') + "<g>\n<g>"));

  QBuffer in(&written);
  in.open(QIODevice::ReadOnly);
  QSettings::SettingsMap back;
  ASSERT_TRUE(hestrel::zkpref::readXmlFile(in, back));
  EXPECT_EQ(back, map);
}

// The key check speaks through the default error handle: the fixture puts
// the handle back as it found it.
using XmlFormatNames = zkpref_test::PrefTest;

TEST_F(XmlFormatNames, WriterAndKeyCheckJudgeNamesAsXmlDoes) {
  const QChar middle_dot(0xB7), e_acute(0xE9);
  const struct {
    QString part;
    bool valid;
  } cases[] = {
      {"a.b-c_d9", true},
      {"_a", true},
      {QString(e_acute) + "t" + e_acute, true},
      {QString("a") + middle_dot, true},   // a middle dot may follow a letter
      {QString(middle_dot) + "a", false},  // but not start a name
      {"1a", false},
      {"-a", false},
      {".a", false},
      {"a b", false},
      {"a:b", false},
      {"", false},
      {"ApplicationSettings", false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.part.toStdString());
    QSettings::SettingsMap map;
    map.insert("g/" + c.part, QVariantMap{{"dt", "int"}, {"value", 1}});
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(hestrel::zkpref::writeXmlFile(out, map), c.valid);
    testing::internal::CaptureStderr();
    EXPECT_EQ(hestrel::zkpref::validate_key(c.part) == 0, c.valid);
    testing::internal::GetCapturedStderr();
  }
}

TEST(XmlFormatEntities, BombsAndExternalEntitiesAreNeverExpandedIntoAValue) {
  std::string bomb = "<!DOCTYPE r [<!ENTITY e0 \"xxxxxxxxxx\">";
  for (int i = 1; i < 10; ++i) {
    std::string refs;
    for (int j = 0; j < 10; ++j) refs += "&e" + std::to_string(i - 1) + ";";
    bomb += "<!ENTITY e" + std::to_string(i) + " \"" + refs + "\">";
  }
  bomb += "]>";
  const std::string secret = HESTREL_TEST_SOURCE_DIR "/zkpref/fixtures/example.xml";
  const struct {
    const char *name;
    std::string file;
  } cases[] = {
      {"entity bomb",
       "<?xml version=\"1.0\"?>" + bomb + "<ApplicationSettings><k dt=\"QString\">&e9;</k></ApplicationSettings>"},
      {"external entity", "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret +
                              "\">]><ApplicationSettings><k dt=\"QString\">a&x;b</k></ApplicationSettings>"},
  };
  zkpref_test::QtMessages quiet;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    QByteArray bytes = QByteArray::fromStdString(c.file);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QSettings::SettingsMap map;
    hestrel::zkpref::readXmlFile(buffer, map);
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
      const QString value = it.value().toMap().value("value").toString();
      EXPECT_LT(value.size(), 1000);
      EXPECT_FALSE(value.contains("ApplicationSettings"));
    }
  }
}

}  // namespace
