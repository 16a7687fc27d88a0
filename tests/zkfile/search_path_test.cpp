// Tests of the search path: its set-up on first use, adding, setting and
// clearing, lookups along it, printing, and the template table.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkfile_dirs.h"
#include "zkfile_search.h"
#include "zkfile_tracked.h"

namespace {

using testing::HasSubstr;
using hestrel_test::MessageCapture;
using hestrel_test::take;
using hestrel_test::write_file;

class SearchPathTest : public hestrel_test::TempHomeTest {
 protected:
  static std::string path_text() {
    char *out = nullptr;
    EXPECT_EQ(zkfile_path_get(&out), 0);
    return take(out);
  }
  static std::string printed() {
    char *data = nullptr;
    std::size_t size = 0;
    FILE *stream = open_memstream(&data, &size);
    EXPECT_EQ(zkfile_path_print(stream), 0);
    std::fclose(stream);
    std::string text(data, size);
    std::free(data);
    return text;
  }
};

// The tests of the first use run alone: the path is set up once a process.
const char kEmptyWarning[] = "WARNING ZKFILE: empty string was given as a search path\n";

TEST_F(SearchPathTest, FirstUseSetsUpTheDefaults) {
  HESTREL_RUN_IN_OWN_PROCESS();
  env.unset("TOLVANE_EXEC");
  std::string appdata = home() + "/.pelmoravine";
  EXPECT_FALSE(hestrel_test::is_directory(appdata));
  EXPECT_EQ(printed(),
            "ZKFILE search path:  id = 0\n"
            "item:1  cwd:0 home:0  dir:.\n"
            "item:2  cwd:0 home:0  dir:" +
                appdata +
                "/tolvane\n"
                "item:3  cwd:0 home:0  dir:/../../data\n"
                "item:4  cwd:0 home:0  dir:/../../data/res\n"
                "item:5  cwd:0 home:0  dir:/../../data/xres\n");
  EXPECT_EQ(path_text(), ".:" + appdata + "/tolvane:/../../data:/../../data/res:/../../data/xres");
  EXPECT_TRUE(hestrel_test::is_directory(appdata));
}

TEST_F(SearchPathTest, RacingFirstUsesSetUpOnce) {
  HESTREL_RUN_IN_OWN_PROCESS();
  std::vector<std::string> seen(4);
  std::vector<std::thread> threads;
  for (std::string &text : seen)
    threads.emplace_back([&text] {
      char *out = nullptr;
      if (zkfile_path_get(&out) == 0) text = take(out);
    });
  for (std::thread &thread : threads) thread.join();
  for (const std::string &text : seen) EXPECT_EQ(text, seen[0]);
  EXPECT_EQ(seen[0].rfind(".:", 0), 0u);
  EXPECT_EQ(std::count(seen[0].begin(), seen[0].end(), ':'), 4);  // five items, none twice
  EXPECT_EQ(path_text(), seen[0]);
}

TEST_F(SearchPathTest, ClearAsFirstUseLeavesThePathEmpty) {
  HESTREL_RUN_IN_OWN_PROCESS();
  EXPECT_EQ(zkfile_path_clear(), 0);
  EXPECT_EQ(path_text(), "");
  EXPECT_EQ(printed(), "ZKFILE search path:  id = 0\n");
  EXPECT_TRUE(hestrel_test::is_directory(home() + "/.pelmoravine"));
}

TEST_F(SearchPathTest, AddAppendsNewPartsInOrder) {
  env.set("ZK_PART", "from_env");
  env.unset("ZK_UNSET");
  struct Step {
    const char *text;
    int result;
    std::string path;  // the whole search path afterwards
  };
  // clang-format off
  const Step steps[] = {
      {"a::b:", 0, "a:b"},
      {"b:a", 0, "a:b"},                      // already present: nothing added
      {":::", 0, "a:b"},                      // only empty parts
      {"x\\y", 0, "a:b:x/y"},                 // backslashes are stored as '/'
      {"$ZK_PART/d", 0, "a:b:x/y:from_env/d"},
      {"~/h", 0, "a:b:x/y:from_env/d:" + home() + "/h"},
      {"$ZK_UNSET", 0, "a:b:x/y:from_env/d:" + home() + "/h:"},  // empty item
      {"a/", 0, "a:b:x/y:from_env/d:" + home() + "/h::a/"},       // no normalising
      // A failed user lookup only drops its own piece (with the expansion's
      // warning); the rest of the part is added.
      {"~zk_no_such_user/u", 0, "a:b:x/y:from_env/d:" + home() + "/h::a/:/u"},
  };
  // clang-format on
  ASSERT_EQ(zkfile_path_clear(), 0);
  for (const Step &step : steps) {
    EXPECT_EQ(zkfile_path_add(step.text), step.result) << step.text;
    EXPECT_EQ(path_text(), step.path) << step.text;
  }
}

TEST_F(SearchPathTest, EmptyTextWarns) {
  MessageCapture messages;
  EXPECT_EQ(zkfile_path_add(nullptr), -1);
  EXPECT_EQ(zkfile_path_add(""), -1);
  EXPECT_EQ(messages.text(), std::string(kEmptyWarning) + kEmptyWarning);
  EXPECT_NE(path_text(), "");

  // A set has already emptied the path when it warns.
  EXPECT_EQ(zkfile_path_set(""), -1);
  EXPECT_EQ(path_text(), "");
  EXPECT_EQ(zkfile_path_set("p:q"), 0);
  EXPECT_EQ(path_text(), "p:q");
}

TEST_F(SearchPathTest, AddLeavesTheCallersStrtokScanInPlace) {
  ASSERT_EQ(zkfile_path_clear(), 0);
  char words[] = "one two three";
  ASSERT_STREQ(std::strtok(words, " "), "one");
  EXPECT_EQ(zkfile_path_add("p::q:"), 0);
  EXPECT_STREQ(std::strtok(nullptr, " "), "two");
  EXPECT_STREQ(std::strtok(nullptr, " "), "three");
  EXPECT_EQ(path_text(), "p:q");
}

TEST_F(SearchPathTest, PartsBeyondThePathLimitAreRefusedWhole) {
  ASSERT_EQ(zkfile_path_set("keep"), 0);
  std::string longest(PATH_MAX - 1, 'a');  // fits with its NUL
  env.set("ZK_LONG", std::string(PATH_MAX - 4, 'b'));
  // clang-format off
  const std::string refused[] = {
      std::string(PATH_MAX, 'c'),
      "new:" + std::string(PATH_MAX + 10, 'c'),
      "new:$ZK_LONG/xyz",  // fits only before expansion
  };
  // clang-format on
  for (const std::string &text : refused) {
    MessageCapture messages;
    EXPECT_EQ(zkfile_path_add(text.c_str()), -1);
    EXPECT_THAT(messages.text(), HasSubstr("does not fit the path limit"));
    EXPECT_EQ(path_text(), "keep");
  }
  {
    // A variable name beyond what the expansion takes is not cut either.
    MessageCapture messages;
    EXPECT_EQ(zkfile_path_add(("new:$" + std::string(200, 'V')).c_str()), -1);
    EXPECT_THAT(messages.text(), HasSubstr("could not be expanded"));
    EXPECT_EQ(path_text(), "keep");
  }
  EXPECT_EQ(zkfile_path_add(longest.c_str()), 0);
  EXPECT_EQ(path_text(), "keep:" + longest);
}

TEST_F(SearchPathTest, WorkingAndHomeDirectoriesAreAddedOnceWithTheirFlags) {
  ASSERT_EQ(zkfile_path_set("x"), 0);
  EXPECT_EQ(zkfile_path_add_cwd(), 0);
  EXPECT_EQ(zkfile_path_add_cwd(), 0);
  EXPECT_EQ(zkfile_path_add_home(), 0);
  EXPECT_EQ(zkfile_path_add_home(), 0);
  EXPECT_EQ(printed(),
            "ZKFILE search path:  id = 0\n"
            "item:1  cwd:0 home:0  dir:x\n"
            "item:2  cwd:1 home:0  dir:" +
                work() +
                "\n"
                "item:3  cwd:0 home:1  dir:" +
                home() + "\n");

  // Already present through a plain add: the item keeps its flags.
  ASSERT_EQ(zkfile_path_set((work() + ":" + home()).c_str()), 0);
  EXPECT_EQ(zkfile_path_add_cwd(), 0);
  EXPECT_EQ(zkfile_path_add_home(), 0);
  EXPECT_EQ(printed(),
            "ZKFILE search path:  id = 0\n"
            "item:1  cwd:0 home:0  dir:" +
                work() +
                "\n"
                "item:2  cwd:0 home:0  dir:" +
                home() + "\n");
}

TEST_F(SearchPathTest, UnreadableWorkingDirectoryIsNotAdded) {
  ASSERT_EQ(zkfile_path_set("x"), 0);
  ASSERT_EQ(mkdir("gone", 0755), 0);
  ASSERT_EQ(chdir("gone"), 0);
  ASSERT_EQ(rmdir((work() + "/gone").c_str()), 0);
  MessageCapture messages;
  EXPECT_EQ(zkfile_path_add_cwd(), -1);
  EXPECT_THAT(messages.text(), HasSubstr("FATAL zkfile_dir_current_get: current_path "));
  EXPECT_EQ(zkfile_dir_current_push(), -1);
  EXPECT_EQ(path_text(), "x");
}

TEST_F(SearchPathTest, LookupFindsTheFirstDirectoryWithTheWantedKind) {
  for (const char *dir : {"d1", "d2", "d3", "d1/sub"}) ASSERT_EQ(mkdir(dir, 0755), 0);
  ASSERT_TRUE(write_file("d2/f"));
  ASSERT_TRUE(write_file("d3/f"));
  ASSERT_TRUE(write_file("d3/only3"));
  ASSERT_EQ(symlink((work() + "/d3/f").c_str(), "d1/link"), 0);
  ASSERT_EQ(symlink("nowhere", "d1/dangling"), 0);
  env.unset("ZK_UNSET");
  ASSERT_EQ(zkfile_path_set("$ZK_UNSET:d1:d2/:d3"), 0);
  ASSERT_EQ(path_text(), ":d1:d2/:d3");

  const std::string absolute = work() + "/d3/f";
  struct Case {
    std::string name;
    int type;
    const char *found;  // zkfile_find's path, NULL when not found
  };
  // clang-format off
  const Case cases[] = {
      {"f", 0, "d2//f"},  // always one '/' added, even after a trailing one
      {"f", 1, nullptr},
      {"only3", 0, "d3/only3"},
      {"sub", 1, "d1/sub"},
      {"sub", 0, nullptr},
      {"link", 0, "d1/link"},  // links are followed
      {"dangling", 0, nullptr},
      {"missing", 0, nullptr},
      {"f", 2, nullptr},
      {absolute, 0, absolute.c_str()},
      {absolute, 1, nullptr},
  };
  // clang-format on
  for (const Case &c : cases) {
    EXPECT_EQ(zkfile_exists(c.name.c_str(), c.type), c.found ? 0 : -1) << c.name << " " << c.type;
    char *out = reinterpret_cast<char *>(1);
    EXPECT_EQ(zkfile_find(c.name.c_str(), c.type, &out), c.found ? 0 : -1) << c.name;
    if (c.found) {
      EXPECT_EQ(take(out), c.found) << c.name;
    } else {
      EXPECT_EQ(out, nullptr) << c.name;
    }
  }
}

TEST_F(SearchPathTest, RelativeLookupInAnEmptyPathIsFatal) {
  ASSERT_TRUE(write_file("here"));
  ASSERT_EQ(zkfile_path_clear(), 0);
  MessageCapture messages;
  EXPECT_EQ(zkfile_exists("here", 0), -1);
  char *out = nullptr;
  EXPECT_EQ(zkfile_find("here", 0, &out), -1);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(messages.text(),
            "FATAL ZKFILE: there are no directories in the search path\n"
            "FATAL ZKFILE: there are no directories in the search path\n");
  EXPECT_EQ(zkfile_exists((work() + "/here").c_str(), 0), 0);
}

TEST_F(SearchPathTest, NullArgumentsAreRefused) {
  char *out = reinterpret_cast<char *>(1);
  EXPECT_EQ(zkfile_exists(nullptr, 0), -1);
  EXPECT_EQ(zkfile_find(nullptr, 0, &out), -1);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(zkfile_find(".", 1, nullptr), -1);
  EXPECT_EQ(zkfile_file_exists(nullptr, 0), -1);
  EXPECT_EQ(zkfile_path_get(nullptr), -1);
  EXPECT_EQ(zkfile_path_print(nullptr), -1);
}

TEST_F(SearchPathTest, AbsoluteTest) {
  const struct {
    const char *path;
    int result;
  } cases[] = {{"/x", 0},  {"\\x", 0},  {"C:", 0}, {"z:\\a", 0}, {"x", -1},
               {"1:", -1}, {"./x", -1}, {"", -1},  {nullptr, -1}};
  for (const auto &c : cases) EXPECT_EQ(zkfile_path_is_absolute(c.path), c.result) << (c.path ? c.path : "NULL");
}

TEST(SearchPathConstants, TemplatesAndSeparator) {
  // The customary search paths of the product family, by id.
  const char *const templates[] = {
      "/",
      "",
      "$USERDATA/tolvane:$TOLVANE_EXEC/../../data:$TOLVANE_EXEC/../../data/res:"
      "$TOLVANE_EXEC/../../data/xres",
      "$USERDATA/caldrex:$CALDREX_EXEC/../../data:$CALDREX_EXEC/../../data/res",
      "$USERDATA/sorquint:$KWOR_EXEC/../../data",
      "$DREMLOK_EXEC/../../data:$DREMLOK_EXEC/../../uff:",
      "$USERDATA/qorm:$QORM_EXEC/../../data:",
      "$USERDATA/lumbrast:$LUMBRAST_EXEC:$LUMBRAST_EXEC/../../data",
      "$USERDATA/vornakel:$OSKEL_EXEC/../../data:$VORNAKEL_EXEC/../../data",
      "$USERDATA/mirrendal:$MIRRENDAL_EXEC/../../data:$TOLVANE_EXEC/../../data/mirrendal",
  };
  for (int id = 0; id < 10; ++id) EXPECT_STREQ(zkfile_get_constant(id), templates[id]) << id;
  EXPECT_EQ(zkfile_get_constant(-1), nullptr);
  EXPECT_EQ(zkfile_get_constant(10), nullptr);
  for (int id = -1; id <= 10; ++id) EXPECT_EQ(_zkfile_get_constant(id), zkfile_get_constant(id));
  EXPECT_EQ(zkfile_get_filesep_char(), '/');
  EXPECT_EQ(_zkfile_get_filesep_char(), '/');
}

}  // namespace
