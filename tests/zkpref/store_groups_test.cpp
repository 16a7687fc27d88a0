// Groups, the platform attribute, the typed lists of a group, the group tree,
// clearing the user's file and its path.
#include <map>
#include <string>
#include <vector>

#include "support/settings_xml.hpp"
#include "support/zkpref_fixtures.hpp"
#include "zkpref.hpp"
#include "zkpref/internal/store_access.hpp"

namespace {

using zkpref_test::settings_xml;
using zkpref_test::write_file;

class StoreGroups : public zkpref_test::PrefTest {};

TEST_F(StoreGroups, LevelsAndRefusedNames) {
  ZKPREF store(ZKPREF_TRALVENIC);
  EXPECT_EQ(store.getGroup(), "");
  EXPECT_EQ(store.beginGroup("x"), ZKPREF_SUCCESS);
  EXPECT_EQ(store.beginGroup(""), ZKPREF_SUCCESS);  // a level that adds nothing
  EXPECT_EQ(store.getGroup(), "x");
  EXPECT_EQ(store.beginGroup("a/b"), ZKPREF_SUCCESS);
  EXPECT_EQ(store.getGroup(), "x/a/b");
  for (const char *refused : {"a//b", "/a", "a/", "1a", "a:b", "ApplicationSettings"}) {
    zkfile_test::MessageCapture messages;
    EXPECT_EQ(store.beginGroup(refused), ZKPREF_INVALID_KEY) << refused;
    EXPECT_NE(messages.text().find("validate_key: Invalid character in the zkpref key"), std::string::npos);
    EXPECT_EQ(store.getGroup(), "x/a/b");
  }
  store.endGroup();
  EXPECT_EQ(store.getGroup(), "x");
  store.endGroup();
  EXPECT_EQ(store.getGroup(), "x");
  store.endGroup();
  EXPECT_EQ(store.getGroup(), "");
}

TEST_F(StoreGroups, IntListGathersEveryFileInKeyOrder) {
  write_file(user_file(), settings_xml({{"g/n", "int", "1"},
                                        {"g/n:os=linux", "int", "2"},
                                        {"g/sub/m", "int", "3"},
                                        {"g/t", "QString", "x"},
                                        {"g/w:os=darwin", "int", "4"}}));
  write_file(machine_file(), settings_xml({{"g/p", "int", "5"}, {"g/n", "int", "9"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  std::map<std::string, int> list;
  EXPECT_EQ(store.getIntList("g", list), ZKPREF_SUCCESS);
  EXPECT_EQ(list, (std::map<std::string, int>{{"n", 2}, {"p", 5}, {"sub/m", 3}}));
  EXPECT_EQ(store.getGroup(), "");

  std::map<std::string, int> kept = {{"n", 100}};
  EXPECT_EQ(store.getIntList("g", kept), ZKPREF_SUCCESS);
  EXPECT_EQ(kept.at("n"), 100);  // an entry already there is never replaced

  // Inside a group, the shared files are asked below the full group path.
  ASSERT_EQ(store.beginGroup("g"), ZKPREF_SUCCESS);
  std::map<std::string, int> nested;
  EXPECT_EQ(store.getIntList("", nested), ZKPREF_SUCCESS);
  EXPECT_EQ(nested.count("p"), 1u);
  store.endGroup();
}

TEST_F(StoreGroups, ListResultsForUnconvertedAndMissingValues) {
  write_file(user_file(), settings_xml({{"a/bad", "int", "x"},
                                        {"b/bad", "int", "x"},
                                        {"b/good", "int", "1"},
                                        {"c/on", "bool", "true"},
                                        {"c/l", "QStringList", "q"},
                                        {"d/l", "QStringList", "q"},
                                        {"e/t", "QString", "x"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  std::map<std::string, int> ints;
  EXPECT_EQ(store.getIntList("a", ints), ZKPREF_KEY_NOT_FOUND);
  EXPECT_TRUE(ints.empty());
  EXPECT_EQ(store.getIntList("b", ints), ZKPREF_TYPE_MISMATCH);
  EXPECT_EQ(ints, (std::map<std::string, int>{{"good", 1}}));
  std::map<std::string, bool> bools;
  EXPECT_EQ(store.getBoolList("c", bools), ZKPREF_TYPE_MISMATCH);
  EXPECT_EQ(bools, (std::map<std::string, bool>{{"on", true}}));
  bools.clear();
  EXPECT_EQ(store.getBoolList("d", bools), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(store.getIntList("empty", ints), ZKPREF_KEY_NOT_FOUND);
  {
    zkfile_test::MessageCapture messages;
    EXPECT_EQ(store.getIntList("a//b", ints), ZKPREF_INVALID_KEY);
  }
  EXPECT_EQ(store.getGroup(), "");

  // The string list judges only what it found itself.
  std::map<std::string, int> prefilled = {{"z", 1}};
  EXPECT_EQ(store.getIntList("e", prefilled), ZKPREF_SUCCESS);
  std::map<std::string, std::string> texts = {{"z", "old"}};
  EXPECT_EQ(store.getStringList("a", texts), ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(store.getStringList("e", texts), ZKPREF_SUCCESS);
  EXPECT_EQ(texts, (std::map<std::string, std::string>{{"t", "x"}, {"z", "old"}}));
  std::map<std::string, double> reals;
  EXPECT_EQ(store.getDoubleList("e", reals), ZKPREF_KEY_NOT_FOUND);
}

TEST_F(StoreGroups, SubgroupsBreadthFirstWithTheirLevelCount) {
  write_file(user_file(), settings_xml({{"a/b/c/k", "int", "1"}, {"d/k", "int", "1"}, {"top", "int", "1"}}));
  write_file(machine_file(), settings_xml({{"shared/k", "int", "1"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  const struct {
    int depth, levels;
    std::vector<std::string> groups;
  } cases[] = {{0, 3, {"a", "d", "a/b", "a/b/c"}}, {2, 2, {"a", "d", "a/b"}}, {1, 1, {"a", "d"}}, {-1, 1, {"a", "d"}}};
  for (const auto &c : cases) {
    std::vector<std::string> groups;
    EXPECT_EQ(store.getSubgroups(groups, c.depth), c.levels) << c.depth;
    EXPECT_EQ(groups, c.groups) << c.depth;
  }
  ASSERT_EQ(store.beginGroup("a/b/c"), ZKPREF_SUCCESS);
  std::vector<std::string> none;
  EXPECT_EQ(store.getSubgroups(none, 0), 1);
  EXPECT_TRUE(none.empty());
  store.endGroup();
}

TEST_F(StoreGroups, ClearingLeavesTheSharedFiles) {
  write_file(user_file(), settings_xml({{"g/mine", "int", "1"}}));
  write_file(site_file(), settings_xml({{"theirs", "int", "2"}}));
  ZKPREF store(ZKPREF_TRALVENIC);
  ASSERT_EQ(store.beginGroup("g"), ZKPREF_SUCCESS);
  store.clearSettings();
  store.endGroup();
  ZKpref_Err err;
  hestrel::zkpref::StoreAccess::get<int>(store, "g/mine", &err);
  EXPECT_EQ(err, ZKPREF_KEY_NOT_FOUND);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(store, "theirs", &err), 2);
  std::string path = "old";
  store.getSettingsFile(path);
  EXPECT_EQ(std::filesystem::path(path), std::filesystem::canonical(user_file()));
}

}  // namespace
