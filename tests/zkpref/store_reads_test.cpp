// Typed reads of the store: one table of the lookup order over the user's,
// machine-wide and installation-wide files, defaults, types and sources.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "support/settings_xml.hpp"
#include "support/zkpref_fixtures.hpp"
#include "zkpref.hpp"
#include "zkpref/internal/store_access.hpp"

namespace {

using zkpref_test::Record;
using zkpref_test::settings_xml;
using zkpref_test::write_file;

class StoreReads : public zkpref_test::PrefTest {
 protected:
  // Writes the three files of one case; an empty list leaves that file out.
  void files(const std::vector<Record> &user, const std::vector<Record> &machine, const std::vector<Record> &site) {
    std::filesystem::remove(user_file());
    std::filesystem::remove(machine_file());
    std::filesystem::remove(site_file());
    if (!user.empty()) write_file(user_file(), settings_xml(user));
    if (!machine.empty()) write_file(machine_file(), settings_xml(machine));
    if (!site.empty()) write_file(site_file(), settings_xml(site));
  }
};

struct LookupCase {
  const char *what;
  std::vector<Record> user, machine, site;
  const char *group;
  const char *key;
  ZKpref_Err code;
  int value;
  ZKPrefSource source;
};

TEST_F(StoreReads, LookupOrderOverTheThreeFiles) {
  // clang-format off
  const std::vector<LookupCase> cases = {
      {"the user's platform variant hides the user's plain key",
       {{"size", "int", "1"}, {"size:os=linux", "int", "2"}}, {}, {}, "", "size", ZKPREF_SUCCESS, 2,
       ZKPREF_SOURCE_USER},
      {"the user's plain key hides a machine-wide variant",
       {{"size", "int", "1"}}, {{"size:os=linux", "int", "3"}}, {}, "", "size", ZKPREF_SUCCESS, 1,
       ZKPREF_SOURCE_USER},
      {"machine-wide variant first", {}, {{"size", "int", "4"}, {"size:os=linux", "int", "3"}},
       {{"size", "int", "5"}}, "", "size", ZKPREF_SUCCESS, 3, ZKPREF_SOURCE_MACHINE},
      {"machine-wide plain key before the installation", {}, {{"size", "int", "4"}},
       {{"size:os=linux", "int", "5"}}, "", "size", ZKPREF_SUCCESS, 4, ZKPREF_SOURCE_MACHINE},
      {"installation-wide file last", {}, {}, {{"size", "int", "5"}}, "", "size", ZKPREF_SUCCESS, 5,
       ZKPREF_SOURCE_INSTALLATION},
      {"another platform's variant is no answer", {{"size:os=darwin", "int", "7"}}, {{"size", "int", "4"}}, {},
       "", "size", ZKPREF_SUCCESS, 4, ZKPREF_SOURCE_MACHINE},
      {"the user's group goes in front of shared keys", {}, {{"view/width", "int", "5"}}, {}, "view", "width",
       ZKPREF_SUCCESS, 5, ZKPREF_SOURCE_MACHINE},
      {"without the group the shared key is not found", {}, {{"view/width", "int", "5"}}, {}, "", "width",
       ZKPREF_KEY_NOT_FOUND, 0, ZKPREF_SOURCE_NOT_FOUND},
      {"a wrong type stops the lookup", {{"size", "QString", "x"}}, {{"size", "int", "4"}}, {}, "", "size",
       ZKPREF_TYPE_MISMATCH, 0, ZKPREF_SOURCE_USER},
      {"a value that does not convert stops it too", {}, {{"size", "int", "abc"}}, {{"size", "int", "5"}}, "",
       "size", ZKPREF_TYPE_MISMATCH, 0, ZKPREF_SOURCE_MACHINE},
      {"an integer beyond 32 bits does not convert", {{"size", "int", "99999999999"}}, {}, {}, "", "size",
       ZKPREF_TYPE_MISMATCH, 0, ZKPREF_SOURCE_USER},
      {"the largest 32-bit integer does", {{"size", "int", "2147483647"}}, {}, {}, "", "size", ZKPREF_SUCCESS,
       2147483647, ZKPREF_SOURCE_USER},
      {"a minus and leading zeros", {{"size", "int", "-0000012"}}, {}, {}, "", "size", ZKPREF_SUCCESS, -12,
       ZKPREF_SOURCE_USER},
      {"a plus sign", {{"size", "int", "+3"}}, {}, {}, "", "size", ZKPREF_SUCCESS, 3, ZKPREF_SOURCE_USER},
      {"a lone minus does not convert", {{"size", "int", "-"}}, {}, {}, "", "size", ZKPREF_TYPE_MISMATCH, 0,
       ZKPREF_SOURCE_USER},
      {"nor a digit of another script", {{"size", "int", "\xd9\xa3"}}, {}, {}, "", "size", ZKPREF_TYPE_MISMATCH, 0,
       ZKPREF_SOURCE_USER},
      {"held nowhere", {{"other", "int", "1"}}, {}, {}, "", "size", ZKPREF_KEY_NOT_FOUND, 0,
       ZKPREF_SOURCE_NOT_FOUND},
  };
  // clang-format on
  for (const LookupCase &c : cases) {
    SCOPED_TRACE(c.what);
    files(c.user, c.machine, c.site);
    ZKPREF store(ZKPREF_TRALVENIC);
    if (*c.group) {
      ASSERT_EQ(store.beginGroup(c.group), ZKPREF_SUCCESS);
    }
    ZKpref_Err err = ZKPREF_UNUSED_CODE;
    EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, c.key, &err), c.value);
    EXPECT_EQ(err, c.code);
    EXPECT_EQ(store.getKeySource(c.key), c.source);
  }
}

TEST_F(StoreReads, DefaultIsDeliveredUnlessTheUserFileDecides) {
  struct Case {
    const char *what;
    std::vector<Record> user, site;
    int value;
    ZKpref_Err code;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"held nowhere", {}, {}, 7, ZKPREF_KEY_NOT_FOUND},
      {"a shared value of the type is reported, not delivered", {}, {{"k", "int", "3"}}, 7,
       ZKPREF_SHARED_VALUE_IGNORED},
      {"a shared value of another type", {}, {{"k", "QString", "3"}}, 7, ZKPREF_SUCCESS},
      {"a shared value that does not convert", {}, {{"k", "int", "x"}}, 7, ZKPREF_SUCCESS},
      {"the user's value", {{"k", "int", "9"}}, {{"k", "int", "3"}}, 9, ZKPREF_SUCCESS},
      {"the user's value of another type", {{"k", "double", "9.5"}}, {}, 7, ZKPREF_TYPE_MISMATCH},
  };
  // clang-format on
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    files(c.user, {}, c.site);
    ZKPREF store(ZKPREF_TRALVENIC);
    ZKpref_Err err = ZKPREF_UNUSED_CODE;
    EXPECT_EQ(hestrel::zkpref::StoreAccess::get_or_use_value<int>(store, "k", 7, &err), c.value);
    EXPECT_EQ(err, c.code);
    int out = -1;
    EXPECT_EQ(store.getInt("k", &out, 7), c.code);
    EXPECT_EQ(out, c.value);
  }
}

TEST_F(StoreReads, NamedReadersWriteTheirOutputOnEveryCall) {
  files({{"d", "double", "2.5"}, {"b", "bool", "true"}, {"s", "QString", "h\xc3\xa9"}, {"i", "int", " -7 "}}, {}, {});
  ZKPREF store(ZKPREF_TRALVENIC);
  double d = -1;
  bool b = false;
  int i = -1;
  std::string s = "old";
  EXPECT_EQ(store.get("d", d), ZKPREF_SUCCESS);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(store.get("b", b), ZKPREF_SUCCESS);
  EXPECT_TRUE(b);
  EXPECT_EQ(store.get("i", i), ZKPREF_SUCCESS);
  EXPECT_EQ(i, -7);
  EXPECT_EQ(store.get("s", s), ZKPREF_SUCCESS);
  EXPECT_EQ(s, "h\xc3\xa9");

  EXPECT_EQ(store.getDouble("s", &d), ZKPREF_TYPE_MISMATCH);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(store.getBool("missing", &b), ZKPREF_KEY_NOT_FOUND);
  EXPECT_FALSE(b);
  EXPECT_EQ(store.getString("missing", s), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(s, "");
  EXPECT_EQ(store.getDouble("missing", &d, 2.5), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(store.getString("missing", s, "fallback"), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(s, "fallback");
  EXPECT_EQ(store.getString("s", s, "fallback"), ZKPREF_SUCCESS);
  EXPECT_EQ(s, "h\xc3\xa9");
  // A standard string counts up to its first NUL.
  EXPECT_EQ(store.get(std::string("d\0x", 3), d), ZKPREF_SUCCESS);
}

TEST_F(StoreReads, TypeLooksAtEveryPlatformBeforeThePlainKey) {
  files({{"k:os=darwin", "int", "1"},
         {"b", "bool", "true"},
         {"l", "QStringList", "a"},
         {"n", "", "1"},
         {"p", "double", "1"}},
        {{"k:os=windows", "QString", "x"}, {"p:os=linux", "QString", "y"}}, {});
  ZKPREF store(ZKPREF_TRALVENIC);
  EXPECT_EQ(store.getType("k"), ZKPREF_TYPE_STRING);  // windows comes first
  EXPECT_EQ(store.getType("p"), ZKPREF_TYPE_STRING);  // any variant before the plain key
  EXPECT_EQ(store.getType("b"), ZKPREF_TYPE_BOOL);
  EXPECT_EQ(store.getType("l"), ZKPREF_TYPE_BOOL);
  EXPECT_EQ(store.getType("n"), ZKPREF_TYPE_BOOL);
  EXPECT_EQ(store.getType("missing"), ZKPREF_TYPE_NONE);
}

TEST_F(StoreReads, WithoutSharedFilesOnlyTheUserAnswers) {
  files({{"a", "int", "1"}}, {}, {});
  ZKPREF store(ZKPREF_TRALVENIC);
  ZKpref_Err err;
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "a", &err), 1);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<QString>(store, "b", &err), QString());
  EXPECT_EQ(err, ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, nullptr, &err), 0);
  EXPECT_EQ(err, ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(store.getKeySource(nullptr), ZKPREF_SOURCE_NOT_FOUND);
}

}  // namespace

namespace {

TEST_F(StoreReads, NonAsciiAndLongKeysReadBack) {
  files({}, {}, {});
  ZKPREF store(ZKPREF_TRALVENIC);
  const std::string umlaut =
      "gr\xc3\xb6\xc3\x9f"
      "e/h\xc3\xb6he";
  const std::string long_key = "g/" + std::string(300, 'k');
  ASSERT_EQ(store.set(umlaut, QVariant(3), ""), ZKPREF_SUCCESS);
  ASSERT_EQ(store.set(long_key, QVariant(4), ""), ZKPREF_SUCCESS);
  store.beginOsAttribute(ZKPREF_PLATFORM_NONE);
  ASSERT_EQ(store.set(umlaut, QVariant(5), ""), ZKPREF_SUCCESS);
  store.endOsAttribute();
  ASSERT_EQ(store.syncSettings(), ZKPREF_SUCCESS);
  ZKPREF again(ZKPREF_TRALVENIC);
  ZKpref_Err err;
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(again, umlaut.c_str(), &err), 5);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(again, long_key.c_str(), &err), 4);
  EXPECT_EQ(err, ZKPREF_SUCCESS);
  EXPECT_EQ(again.removeKey(umlaut, ZKPREF_TYPE_INT), 1);  // the variant first
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(again, umlaut.c_str(), &err), 3);
}

}  // namespace

namespace {

// Runs body in a child process of its own; true when it ended with 0.
bool in_child(const std::function<int()> &body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int write_variant(const char *group, const char *key, int value, ZKPREF_PLATFORM platform = ZKPREF_PLATFORM_LINUX) {
  try {
    ZKPREF other(ZKPREF_TRALVENIC);
    if (*group && other.beginGroup(group) != ZKPREF_SUCCESS) return 1;
    other.beginOsAttribute(platform);
    if (other.set(key, QVariant(value), "") != ZKPREF_SUCCESS) return 1;
    return other.syncSettings() == ZKPREF_SUCCESS ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

// Reads and type queries of a key held nowhere, so that a store has asked
// its files for variants before they arrive.
void learn(const ZKPREF &store) {
  ZKpref_Err err;
  for (int i = 0; i < 64; ++i) {
    hestrel::zkpref::StoreAccess::get<int>(store, "absent", &err);
    store.getType("absent");
  }
}

// Variants that arrive after a store has read its files without any: the
// reads must see them at once, whoever wrote them.
TEST_F(StoreReads, VariantsWrittenInThisProcessAnswerAtOnce) {
  files({{"size", "int", "1"}, {"width", "int", "1"}, {"tall", "int", "1"}}, {{"size", "int", "4"}}, {});
  ZKPREF store(ZKPREF_TRALVENIC);
  ZKPREF twin(ZKPREF_TRALVENIC);
  ZKpref_Err err;
  for (const char *key : {"size", "width", "tall"})
    ASSERT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, key, &err), 1) << key;
  ASSERT_EQ(store.getType("kind"), ZKPREF_TYPE_NONE);
  learn(store);
  learn(twin);

  // Written by this store and not yet synchronised; another platform's
  // variant is still no answer.
  store.beginOsAttribute(ZKPREF_PLATFORM_LINUX);
  ASSERT_EQ(store.set("size", QVariant(2), ""), ZKPREF_SUCCESS);
  store.beginOsAttribute(ZKPREF_PLATFORM_DARWIN);
  ASSERT_EQ(store.set("tall", QVariant(8), ""), ZKPREF_SUCCESS);
  store.endOsAttribute();
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "size", &err), 2);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "tall", &err), 1);

  // Written by another store of the same file in this process.
  twin.beginOsAttribute(ZKPREF_PLATFORM_LINUX);
  ASSERT_EQ(twin.set("width", QVariant(3), ""), ZKPREF_SUCCESS);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "width", &err), 3);
  EXPECT_EQ(err, ZKPREF_SUCCESS);
}

TEST_F(StoreReads, VariantsOfAnyPlatformWrittenInThisProcessHaveTheirType) {
  files({{"size", "int", "1"}}, {}, {});
  ZKPREF store(ZKPREF_TRALVENIC);
  ZKPREF twin(ZKPREF_TRALVENIC);
  ASSERT_EQ(store.getType("kind"), ZKPREF_TYPE_NONE);
  learn(store);
  twin.beginOsAttribute(ZKPREF_PLATFORM_WINDOWS);
  ASSERT_EQ(twin.set("kind", QVariant(QStringLiteral("x")), ""), ZKPREF_SUCCESS);
  EXPECT_EQ(store.getType("kind"), ZKPREF_TYPE_STRING);
}

TEST_F(StoreReads, VariantsWrittenByAnotherProcessAnswerAfterTheSync) {
  files({{"depth", "int", "1"}, {"view/w", "int", "1"}}, {}, {});
  ZKPREF store(ZKPREF_TRALVENIC);
  ZKpref_Err err;
  ASSERT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "depth", &err), 1);
  learn(store);
  ASSERT_TRUE(in_child([] { return write_variant("", "depth", 5); }));
  ASSERT_TRUE(in_child([] { return write_variant("view", "w", 6); }));
  ASSERT_TRUE(in_child([] { return write_variant("", "hue", 7, ZKPREF_PLATFORM_DARWIN); }));
  // Also inside a group that is open here when the sync reads them in.
  ASSERT_EQ(store.beginGroup("view"), ZKPREF_SUCCESS);
  ASSERT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "w", &err), 1);
  ASSERT_EQ(store.syncSettings(), ZKPREF_SUCCESS);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "w", &err), 6);
  EXPECT_EQ(store.getKeySource("w"), ZKPREF_SOURCE_USER);
  store.endGroup();
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "depth", &err), 5);
  EXPECT_EQ(err, ZKPREF_SUCCESS);
  EXPECT_EQ(store.getType("hue"), ZKPREF_TYPE_INT);
}

// Later stores of the same files, in this process: the settings machinery
// takes the files' keys up again without reading them when they did not
// change, and reads them again when another process changed them.
TEST_F(StoreReads, VariantsAnswerInLaterStoresOfTheSameFiles) {
  files({{"size", "int", "1"}, {"width", "int", "1"}}, {}, {});
  ZKpref_Err err;
  {
    ZKPREF store(ZKPREF_TRALVENIC);
    learn(store);
    ASSERT_TRUE(in_child([] { return write_variant("", "width", 5); }));
  }
  for (int round = 0; round < 3; ++round) {
    ZKPREF store(ZKPREF_TRALVENIC);
    EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "width", &err), 5) << round;
    EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "size", &err), 1) << round;
    learn(store);
  }
}

// A variant carried over from an earlier release answers like one read from
// the store's own file.
TEST_F(StoreReads, CarriedOverVariantsAnswer) {
  files({}, {}, {});
  write_file(user_file("Tralvenic", "2025-3"), settings_xml({{"size", "int", "1"}, {"size:os=linux", "int", "2"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  ZKpref_Err err;
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "size", &err), 2);
  EXPECT_EQ(err, ZKPREF_SUCCESS);
}

}  // namespace
