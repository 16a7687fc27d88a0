// pelmoravine::Preferences: values returned directly, "No key: " for a key
// that no file holds, the empty value for another type, silent writes.
#include <stdexcept>
#include <string>

#include "pelmoravine_preferences.hpp"
#include "support/settings_xml.hpp"
#include "support/zkpref_fixtures.hpp"

namespace {

using pelmoravine::Preferences;
using zkpref_test::settings_xml;
using zkpref_test::write_file;

class Facade : public zkpref_test::PrefTest {};

template <typename T>
std::string missing_key_text(const Preferences &prefs, const std::string &key) {
  try {
    prefs.get<T>(key);
  } catch (const std::out_of_range &e) {
    return e.what();
  }
  return "no exception";
}

TEST_F(Facade, ReadsThroughEveryFile) {
  write_file(user_file(), settings_xml({{"name", "QString", "x"}}));
  write_file(site_file(), settings_xml({{"g/site", "int", "3"}}));
  Preferences prefs(ZKPREF_TRALVENIC);
  EXPECT_EQ(missing_key_text<int>(prefs, "nowhere/k"), "No key: nowhere/k");
  EXPECT_EQ(missing_key_text<QString>(prefs, "nowhere/k"), "No key: nowhere/k");
  EXPECT_EQ(missing_key_text<std::string>(prefs, "k"), "No key: k");
  EXPECT_EQ(prefs.get<int>("name"), 0);
  EXPECT_EQ(prefs.get<double>("name"), 0.0);
  EXPECT_FALSE(prefs.get<bool>("name"));
  EXPECT_EQ(prefs.get<int>("g/site"), 3);
  EXPECT_FALSE(prefs.hasKey("g/site"));
  EXPECT_TRUE(prefs.hasKey("name"));
}

TEST_F(Facade, WritesReportNothingAndCloseWrites) {
  {
    Preferences prefs(ZKPREF_TRALVENIC);
    prefs.set("text", std::string("h\xc3\xa9"));
    EXPECT_EQ(prefs.get<QString>("text"), QString::fromUtf8("h\xc3\xa9"));
    zkfile_test::MessageCapture messages;
    prefs.set("text", 5);  // a type clash, told only by the warning
    prefs.set("bad key", 5);
    EXPECT_NE(messages.text().find("Incorrect value of type 'int'"), std::string::npos);
    EXPECT_NE(messages.text().find("'bad key'"), std::string::npos);
    prefs.set("n", 4);
    prefs.set("on", true);
    prefs.set("r", 2.5);
    prefs.set("q", QStringLiteral("w"));
    for (const char *k : {"g/a", "g/b", "g/c/d"}) prefs.set(k, 1);
  }
  Preferences prefs(ZKPREF_TRALVENIC);
  EXPECT_EQ(prefs.get<std::string>("text"), "h\xc3\xa9");
  EXPECT_EQ(prefs.get<int>("n"), 4);
  EXPECT_TRUE(prefs.get<bool>("on"));
  EXPECT_EQ(prefs.get<double>("r"), 2.5);
  EXPECT_EQ(prefs.get<std::string>("q"), "w");
  EXPECT_EQ(prefs.removeKey("g"), 3);
  EXPECT_EQ(prefs.removeKey("n"), 0);
  EXPECT_FALSE(prefs.hasKey("n"));
  EXPECT_EQ(prefs.removeKey("missing"), 0);
  prefs.clear();
  EXPECT_FALSE(prefs.hasKey("text"));
}

TEST_F(Facade, OpeningFailureThrows) {
  EXPECT_THROW(Preferences(static_cast<ZKPREF_PRODUCTS>(-1)), std::runtime_error);
}

}  // namespace
