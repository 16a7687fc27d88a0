// Writes, the key check, key tests and removal on the user's file, with the
// WARNING texts that a refused key and a type clash raise.
#include <filesystem>
#include <functional>
#include <string>

#include <QtCore/QSettings>
#include <QtCore/QStringList>

#include "support/settings_xml.hpp"
#include "support/zkpref_fixtures.hpp"
#include "zkpref.h"
#include "zkpref.hpp"
#include "zkpref/internal/store_access.hpp"

namespace {

using zkpref_test::Record;
using zkpref_test::settings_xml;
using zkpref_test::write_file;

class StoreWrites : public zkpref_test::PrefTest {};

std::string invalid_key_text(const std::string &part) {
  return "validate_key: Invalid character in the zkpref key '" + part +
         "'. See www.w3.org for valid xml element tag rules.";
}

TEST_F(StoreWrites, KeyCheckRefusesEachBadPartByName) {
  ZKPREF store(ZKPREF_TRALVENIC);
  const struct {
    const char *key, *part;
  } refused[] = {{"a//b", ""},
                 {"a/", ""},
                 {"/a", ""},
                 {"", ""},
                 {"g/9lives", "9lives"},
                 {"k=v", "k=v"},
                 {"a b", "a b"},
                 {"-x", "-x"},
                 {".x", ".x"},
                 // The file would read what follows ':' as the platform attribute.
                 {"g/k:os=linux", "k:os=linux"},
                 {"a:b/c", "a:b"},
                 // The file skips this element, so the key could never be read back.
                 {"ApplicationSettings/k", "ApplicationSettings"}};
  for (const auto &r : refused) {
    SCOPED_TRACE(r.key);
    zkfile_test::MessageCapture messages;
    EXPECT_EQ(store.set(r.key, QVariant(1), ""), ZKPREF_INVALID_KEY);
    EXPECT_EQ(messages.text().find(invalid_key_text(r.part)) != std::string::npos, true) << messages.text();
    EXPECT_EQ(store.hasKey(r.key), ZKPREF_KEY_NOT_FOUND);
  }
  zkfile_test::MessageCapture messages;
  EXPECT_EQ(store.set("_a/b-c.d_9/x", QVariant(1), ""), ZKPREF_SUCCESS);
  EXPECT_EQ(messages.text(), "");
  EXPECT_EQ(store.syncSettings(), ZKPREF_SUCCESS);
  EXPECT_TRUE(zkpref_test::xmllint_accepts(user_file()));
}

TEST_F(StoreWrites, TypeClashWithAnyFileWritesNothing) {
  write_file(machine_file(), settings_xml({{"color", "QString", "red"}, {"view/width", "QString", "wide"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  {
    // Inside a group the shared key is the group's.
    ASSERT_EQ(store.beginGroup("view"), ZKPREF_SUCCESS);
    EXPECT_EQ(store.set("width", QVariant(3), ""), ZKPREF_FAILURE);
    store.endGroup();
    EXPECT_EQ(store.set("width", QVariant(3), ""), ZKPREF_SUCCESS);
  }
  {
    zkfile_test::MessageCapture messages;
    EXPECT_EQ(store.set("color", QVariant(3), ""), ZKPREF_FAILURE);
    EXPECT_NE(messages.text().find("set: Incorrect value of type 'int' is being set for existing 'QString' type "
                                   "key('color')\n"),
              std::string::npos)
        << messages.text();
  }
  EXPECT_EQ(store.hasKey("color"), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(store.set("color", QVariant(QStringLiteral("blue")), ""), ZKPREF_SUCCESS);
  ZKpref_Err err;
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<QString>(store, "color", &err), "blue");
  EXPECT_EQ(store.getKeySource("color"), ZKPREF_SOURCE_USER);

  // A variant of another platform binds the key's type as well.
  store.beginOsAttribute(ZKPREF_PLATFORM_LINUX);
  EXPECT_EQ(store.set("size", QVariant(1), ""), ZKPREF_SUCCESS);
  store.beginOsAttribute(ZKPREF_PLATFORM_DARWIN);
  zkfile_test::MessageCapture messages;
  EXPECT_EQ(store.set("size", QVariant(QStringLiteral("x")), ""), ZKPREF_FAILURE);
  EXPECT_EQ(store.set("size", QVariant(), ""), ZKPREF_FAILURE);
  // And the plain key's, while the variant is not yet synchronised.
  store.endOsAttribute();
  EXPECT_EQ(store.set("size", QVariant(QStringLiteral("x")), ""), ZKPREF_FAILURE);
  EXPECT_EQ(store.set("size", QVariant(2), ""), ZKPREF_SUCCESS);
}

// A value or comment the file cannot hold would stop every later sync and
// lose every key at closing: it is refused at the write, by name.
TEST_F(StoreWrites, WhatTheFileCannotHoldIsRefusedAndTheStoreStaysWritable) {
  const struct {
    const char *what;
    std::function<ZKpref_Err(ZKPREF &, ZKpref)> set;
    const char *part;
  } refused[] = {
      {"control character through C",
       [](ZKPREF &, ZKpref h) { return static_cast<ZKpref_Err>(zkpref_set_string(h, "bad", "a\001b")); }, "value"},
      {"a type with no text form",
       [](ZKPREF &s, ZKpref) {
         return s.set("bad", QVariant(QStringList{"a", "b"}), "");
       },
       "value"},
      {"lone surrogate", [](ZKPREF &s, ZKpref) { return s.set("bad", QVariant(QString(QChar(char16_t(0xD800)))), ""); },
       "value"},
      {"comment holding --", [](ZKPREF &s, ZKpref) { return s.set("bad", QVariant(1), "a--b"); }, "comment"},
      {"comment with a control character", [](ZKPREF &s, ZKpref) { return s.set("bad", QVariant(1), "\x02"); },
       "comment"},
  };
  for (const auto &r : refused) {
    SCOPED_TRACE(r.what);
    std::filesystem::remove(user_file());
    ZKpref handle = 0;
    ASSERT_EQ(zkpref_new(&handle, ZKPREF_TRALVENIC), 0);
    ZKPREF &store = *reinterpret_cast<ZKPREF *>(handle);
    ASSERT_EQ(zkpref_set_int(handle, "before", 1), ZKPREF_SUCCESS);
    {
      zkfile_test::MessageCapture messages;
      EXPECT_EQ(r.set(store, handle), ZKPREF_FAILURE);
      EXPECT_NE(messages.text().find(std::string("set: The ") + r.part +
                                     " of key('bad') cannot be written to a preference file\n"),
                std::string::npos)
          << messages.text();
    }
    EXPECT_EQ(store.hasKey("bad"), ZKPREF_KEY_NOT_FOUND);
    ASSERT_EQ(zkpref_set_int(handle, "after", 2), ZKPREF_SUCCESS);
    EXPECT_EQ(zkpref_sync(handle), ZKPREF_SUCCESS);
    zkpref_delete(handle);
    QSettings plain(QString::fromStdString(user_file()), getQSettingsFormat());
    EXPECT_EQ(plain.value("before").toMap().value("value").toString(), "1");
    EXPECT_EQ(plain.value("after").toMap().value("value").toString(), "2");
  }
  // One text form in a list is what the file holds, as any other type.
  ZKPREF store(ZKPREF_TRALVENIC);
  EXPECT_EQ(store.set("list", QVariant(QStringList{"a"}), ""), ZKPREF_SUCCESS);
  EXPECT_EQ(store.set("tab", QVariant(QStringLiteral("a\tb\r\n")), "ok - fine"), ZKPREF_SUCCESS);
  EXPECT_EQ(store.syncSettings(), ZKPREF_SUCCESS);
}

TEST_F(StoreWrites, RecordKeepsCommentsAndForeignAttributes) {
  write_file(user_file(),
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ApplicationSettings><!--note-->"
             "<k dt=\"int\" unit=\"px\">1</k></ApplicationSettings>\n");
  {
    ZKPREF store(ZKPREF_TRALVENIC);
    EXPECT_EQ(store.set("k", QVariant(2), ""), ZKPREF_SUCCESS);
  }
  QSettings plain(QString::fromStdString(user_file()), getQSettingsFormat());
  QVariantMap record = plain.value("k").toMap();
  EXPECT_EQ(record.value("comment").toString(), "note");
  EXPECT_EQ(record.value("unit").toString(), "px");
  EXPECT_EQ(record.value("value").toString(), "2");
  {
    ZKPREF store(ZKPREF_TRALVENIC);
    EXPECT_EQ(store.set("k", QVariant(3), "new note"), ZKPREF_SUCCESS);
  }
  plain.sync();
  record = plain.value("k").toMap();
  EXPECT_EQ(record.value("comment").toString(), "new note");
  EXPECT_EQ(record.value("unit").toString(), "px");
}

TEST_F(StoreWrites, EachFormKeepsItsOwnRecordsAttributes) {
  // The type is found at the first platform's variant; each write keeps
  // the attributes of the record it replaces, and of no other.
  const char *const variants =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ApplicationSettings>"
      "<k dt=\"int\" os=\"windows\" unit=\"w\">1</k><k dt=\"int\" os=\"darwin\" unit=\"d\">1</k>"
      "<k dt=\"int\" unit=\"p\">1</k></ApplicationSettings>\n";
  const char *const plain_only =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ApplicationSettings>"
      "<k dt=\"int\" unit=\"p\">1</k></ApplicationSettings>\n";
  const struct {
    const char *file;
    ZKPREF_PLATFORM platform;  // NONE: the plain key
    const char *stored, *unit;
  } cases[] = {
      {variants, ZKPREF_PLATFORM_WINDOWS, "k:os=windows", "w"},  {variants, ZKPREF_PLATFORM_DARWIN, "k:os=darwin", "d"},
      {variants, ZKPREF_PLATFORM_LINUX, "k:os=linux", ""},       {variants, ZKPREF_PLATFORM_NONE, "k", "p"},
      {plain_only, ZKPREF_PLATFORM_WINDOWS, "k:os=windows", ""}, {plain_only, ZKPREF_PLATFORM_NONE, "k", "p"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.stored);
    write_file(user_file(), c.file);
    {
      ZKPREF store(ZKPREF_TRALVENIC);
      if (c.platform != ZKPREF_PLATFORM_NONE) store.beginOsAttribute(c.platform);
      EXPECT_EQ(store.set("k", QVariant(7), ""), ZKPREF_SUCCESS);
      EXPECT_EQ(store.set("k", QVariant(QStringLiteral("x")), ""), ZKPREF_FAILURE);
      // A second write finds the record the first one made.
      EXPECT_EQ(store.set("k", QVariant(8), ""), ZKPREF_SUCCESS);
    }
    QSettings plain(QString::fromStdString(user_file()), getQSettingsFormat());
    const QVariantMap record = plain.value(c.stored).toMap();
    EXPECT_EQ(record.value("value").toString(), "8");
    EXPECT_EQ(record.value("unit").toString(), c.unit);
  }
}

TEST_F(StoreWrites, PlatformAttributeChoosesTheStorageKey) {
  ZKPREF store(ZKPREF_TRALVENIC);
  store.beginOsAttribute(ZKPREF_PLATFORM_WINDOWS);
  EXPECT_EQ(store.set("k", QVariant(1), ""), ZKPREF_SUCCESS);
  store.endOsAttribute();
  EXPECT_EQ(store.set("k", QVariant(2), ""), ZKPREF_SUCCESS);
  store.beginOsAttribute(ZKPREF_PLATFORM_NONE);  // the running platform
  EXPECT_EQ(store.set("k", QVariant(3), ""), ZKPREF_SUCCESS);
  store.endOsAttribute();
  EXPECT_EQ(store.syncSettings(), ZKPREF_SUCCESS);
  QSettings plain(QString::fromStdString(user_file()), getQSettingsFormat());
  EXPECT_EQ(plain.value("k:os=windows").toMap().value("value").toString(), "1");
  EXPECT_EQ(plain.value("k").toMap().value("value").toString(), "2");
  EXPECT_EQ(plain.value("k:os=linux").toMap().value("value").toString(), "3");
  ZKpref_Err err;
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "k", &err), 3);
}

TEST_F(StoreWrites, KeyTestsLookAtTheUserFileOnly) {
  write_file(user_file(), settings_xml({{"p:os=linux", "QString", "x"}, {"p", "int", "1"}, {"q", "int", "2"}}));
  write_file(machine_file(), settings_xml({{"m", "int", "1"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  EXPECT_EQ(store.hasKey("q"), ZKPREF_SUCCESS);
  EXPECT_EQ(store.hasKey("m"), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(store.hasKey("q", ZKPREF_TYPE_NONE), ZKPREF_FAILURE);
  EXPECT_EQ(store.hasKey("q", ZKPREF_TYPE_INT), ZKPREF_SUCCESS);
  EXPECT_EQ(store.hasKey("q", ZKPREF_TYPE_DOUBLE), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(store.hasKey("m", ZKPREF_TYPE_INT), ZKPREF_KEY_NOT_FOUND);
  // Only the variant is tested when it is there.
  EXPECT_EQ(store.hasKey("p", ZKPREF_TYPE_INT), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(store.hasKey("p", ZKPREF_TYPE_STRING), ZKPREF_SUCCESS);
  EXPECT_EQ(store.hasKey("q", static_cast<ZKPREF_TYPE>(9)), ZKPREF_KEY_NOT_FOUND);
}

TEST_F(StoreWrites, RemovalCountsWhatLayBelowAndKeepsVariants) {
  write_file(user_file(), settings_xml({{"k", "int", "1"},
                                        {"k/a", "int", "2"},
                                        {"k/b/c", "int", "3"},
                                        {"k:os=linux", "int", "4"},
                                        {"t", "int", "5"}}));
  write_file(machine_file(), settings_xml({{"t", "int", "9"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  EXPECT_EQ(store.removeKey("k", ZKPREF_TYPE_NONE), 2);
  EXPECT_EQ(store.hasKey("k/a"), ZKPREF_KEY_NOT_FOUND);
  ZKpref_Err err;
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "k", &err), 4);  // the variant stayed
  EXPECT_EQ(store.removeKey("t", ZKPREF_TYPE_STRING), 0);
  EXPECT_EQ(store.removeKey("t", ZKPREF_TYPE_INT), 1);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "t", &err), 9);  // now the machine-wide file answers
  EXPECT_EQ(store.removeKey("t", ZKPREF_TYPE_INT), 0);

  EXPECT_EQ(store.set("g/x", QVariant(1), ""), ZKPREF_SUCCESS);
  EXPECT_EQ(store.set("g/y", QVariant(1), ""), ZKPREF_SUCCESS);
  ASSERT_EQ(store.beginGroup("g"), ZKPREF_SUCCESS);
  EXPECT_EQ(store.removeKey("", ZKPREF_TYPE_NONE), 2);
  store.endGroup();
  EXPECT_EQ(store.hasKey("k"), ZKPREF_SUCCESS);
}

TEST_F(StoreWrites, RemoveKeyTakesTheVariantFirst) {
  write_file(user_file(), settings_xml({{"k", "int", "1"}, {"k:os=linux", "QString", "x"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  EXPECT_TRUE(store.remove_key("k"));
  ZKpref_Err err;
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "k", &err), 1);
  EXPECT_TRUE(store.remove_key("k"));
  EXPECT_FALSE(store.remove_key("k"));
  EXPECT_FALSE(store.remove_key(nullptr));
}

}  // namespace
