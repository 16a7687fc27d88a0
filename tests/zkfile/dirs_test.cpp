// The per-user and installation directories, by C-callable query and by
// DirectoryName.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "pelmoravine_path.hpp"
#include "zkfile/internal/report.hpp"
#include "zkfile_dirs.h"
#include "zkfile_dirs.hpp"

namespace {

using hestrel_test::is_directory;
using hestrel_test::MessageCapture;
using hestrel_test::mode_of;
using hestrel_test::take;
using DirsTest = hestrel_test::TempHomeTest;

using Query = int (*)(char **);

// Runs a query; "<status>:<text or NULL>".
std::string ask(Query query) {
  char *out = reinterpret_cast<char *>(1);
  const int status = query(&out);
  const std::string text = out ? take(out) : "NULL";
  return std::to_string(status) + ":" + text;
}

TEST(JoinRule, SlashOnlyWhereNeeded) {
  struct Case {
    const char *dir, *name, *joined;
  } const cases[] = {{"", "x", "x"}, {"/", "x", "/x"}, {"a", "x", "a/x"}, {"a/", "x", "a/x"}, {"a//", "x", "a//x"}};
  for (const auto &c : cases) EXPECT_EQ(hestrel::zkfile::join(c.dir, c.name), c.joined) << c.dir;
}

TEST_F(DirsTest, AppdataIsCreatedUnderHomeWithItsModeByEveryName) {
  umask(077);
  const std::string expected = "0:" + home() + "/.pelmoravine";
  for (Query query :
       {zkfile_pelmoravine_appdata_dir, zkfile_pelmoravine_local_appdata_dir, zkfile_pelmoravine_userdata_dir}) {
    EXPECT_EQ(ask(query), expected);
  }
  EXPECT_EQ(mode_of(home() + "/.pelmoravine"), 0755);
  // An existing directory keeps its mode.
  ASSERT_EQ(chmod((home() + "/.pelmoravine").c_str(), 0700), 0);
  EXPECT_EQ(ask(zkfile_pelmoravine_appdata_dir), expected);
  EXPECT_EQ(mode_of(home() + "/.pelmoravine"), 0700);
}

TEST_F(DirsTest, OverrideIsTakenVerbatim) {
  ASSERT_TRUE(hestrel_test::write_file("a_file"));
  struct Case {
    const char *value;
    const char *made;  // directory that must exist afterwards, "" for none
  } const cases[] = {
      {"rel/deep/", "rel/deep"},
      {"", ""},        // the working directory itself
      {"a_file", ""},  // an existing entry of any kind is delivered unchanged
  };
  for (const auto &c : cases) {
    env.set("PELMORAVINE_APPDATA_OVERRIDE", c.value);
    EXPECT_EQ(ask(zkfile_pelmoravine_appdata_dir), std::string("0:") + c.value);
    if (*c.made) {
      EXPECT_EQ(mode_of(c.made), 0755) << c.made;
    }
  }
  EXPECT_EQ(mode_of("rel"), 0755);  // 0777 less the mask 022
  EXPECT_FALSE(is_directory(home() + "/.pelmoravine"));
}

TEST_F(DirsTest, UncreatableAppdataFailsEveryDependentDirectory) {
  ASSERT_TRUE(hestrel_test::write_file("a_file"));
  env.set("PELMORAVINE_APPDATA_OVERRIDE", "a_file/appdata");
  MessageCapture messages;
  EXPECT_EQ(ask(zkfile_pelmoravine_appdata_dir), "-1:NULL");
  EXPECT_EQ(ask(zkfile_get_appdata_release_dir), "-1:NULL");
  EXPECT_EQ(ask(zkfile_get_pelmoravine_temp), "-1:NULL");
  const std::string text = messages.text();
  EXPECT_NE(text.find("zkfile_mkdir: zkfile_mkdir_recursive failed: " + work() + "/a_file/appdata : "),
            std::string::npos);
  EXPECT_NE(text.find("WARNING zkfile_get_pelmoravine_temp: Unable to get local appdata directory\n"),
            std::string::npos);
  for (DirectoryName which : {DIR_APPDATA, DIR_LOCAL_APPDATA, DIR_USERDATA, DIR_TEMP}) {
    EXPECT_THROW(zkfile_get_directory_path(which), std::runtime_error);
  }
}

TEST_F(DirsTest, ReleaseDirectoryIsMadeBelowAppdata) {
  umask(077);
  const std::string dir = home() + "/.pelmoravine/2025-4";
  EXPECT_EQ(ask(zkfile_get_appdata_release_dir), "0:" + dir);
  EXPECT_EQ(mode_of(dir), 0755);
  ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
  EXPECT_EQ(ask(zkfile_get_appdata_release_dir), "0:" + dir);
  EXPECT_EQ(mode_of(dir), 0700);
  // With an empty override the release directory lies in the working
  // directory, as the application-data directory does, not at the root.
  env.set("PELMORAVINE_APPDATA_OVERRIDE", "");
  EXPECT_EQ(ask(zkfile_get_appdata_release_dir), "0:2025-4");
  EXPECT_TRUE(is_directory(work() + "/2025-4"));
}

TEST_F(DirsTest, DeprecatedReleaseQueryLogsOncePerSiteAndAnswersTheSame) {
  env.set("PELMORAVINE_DEPRECATION_WARNING", "1");
  MessageCapture deprecations(0);
  const std::string expected = "0:" + home() + "/.pelmoravine/2025-4";
  EXPECT_EQ(ask(zkfile_appdata_release_dir), expected);
  EXPECT_EQ(ask(zkfile_appdata_release_dir), expected);
  const std::string text = deprecations.text();
  const std::string report = "zkfile_appdata_release_dir function is deprecated for zkfile_get_appdata_release_dir\n";
  ASSERT_NE(text.find(report), std::string::npos) << text;
  EXPECT_EQ(text.find(report, text.find(report) + 1), std::string::npos) << text;
  EXPECT_NE(text.find("DEPRECATION for zkfile_appdata_release_dir"), std::string::npos) << text;
}

TEST_F(DirsTest, TemporaryDirectory) {
  umask(077);
  // Below the application-data directory by default.
  EXPECT_EQ(ask(zkfile_get_pelmoravine_temp), "0:" + home() + "/.pelmoravine/tmp");
  EXPECT_EQ(mode_of(home() + "/.pelmoravine/tmp"), 0755);
  // An empty application-data directory: "tmp" in the working directory.
  env.set("PELMORAVINE_APPDATA_OVERRIDE", "");
  EXPECT_EQ(ask(zkfile_get_pelmoravine_temp), "0:tmp");
  EXPECT_TRUE(is_directory(work() + "/tmp"));
  // PELMORAVINE_TMPDIR wins, and the application-data directory is not
  // consulted at all.
  env.set("PELMORAVINE_APPDATA_OVERRIDE", root() + "/never");
  env.set("PELMORAVINE_TMPDIR", root() + "/scratch/t");
  EXPECT_EQ(ask(zkfile_get_pelmoravine_temp), "0:" + root() + "/scratch/t");
  EXPECT_EQ(mode_of(root() + "/scratch/t"), 0755);
  EXPECT_FALSE(is_directory(root() + "/never"));
  EXPECT_EQ(zkfile_get_directory_path(DIR_TEMP), root() + "/scratch/t");
  // Set but empty still wins: the working directory, which exists.
  env.set("PELMORAVINE_TMPDIR", "");
  EXPECT_EQ(ask(zkfile_get_pelmoravine_temp), "0:");
  // A text beyond the path limit is refused, not cut.
  env.set("PELMORAVINE_TMPDIR", root() + "/" + std::string(PATH_MAX, 't'));
  MessageCapture messages;
  EXPECT_EQ(ask(zkfile_get_pelmoravine_temp), "-1:NULL");
  EXPECT_NE(messages.text().find("WARNING zkfile_get_pelmoravine_temp: temporary directory does not fit in "),
            std::string::npos);
}

TEST_F(DirsTest, NamedDirectoriesAreNeitherTestedNorCreated) {
  EXPECT_EQ(ask(zkfile_dir_home), "0:" + home());
  EXPECT_EQ(ask(zkfile_get_desktop_dir), "0:" + home() + "/Desktop");
#if defined(__APPLE__)
  EXPECT_EQ(ask(zkfile_get_mydocuments_dir), "0:" + home() + "/Documents");
#else
  EXPECT_EQ(ask(zkfile_get_mydocuments_dir), "0:" + home());
#endif
  EXPECT_EQ(ask(zkfile_get_mynetworkplaces_dir), "0:NULL");
  EXPECT_FALSE(is_directory(home() + "/Desktop"));
  EXPECT_EQ(zkfile_get_config_dir(), "config");
  env.set("PELMORAVINE", "/opt/suite");
  EXPECT_EQ(zkfile_get_config_dir(), "/opt/suite/config");
  env.set("PELMORAVINE", "/opt/suite/");
  EXPECT_EQ(zkfile_get_config_dir(), "/opt/suite/config");
  EXPECT_EQ(zkfile_initialize(), 0);
  zkfile_terminate();
}

TEST_F(DirsTest, DirectoriesByName) {
  EXPECT_EQ(zkfile_get_directory_path(DIR_HOME), pelmoravine::path::home());
  const std::string appdata = zkfile_get_directory_path(DIR_APPDATA);
  EXPECT_EQ(appdata, home() + "/.pelmoravine");
  EXPECT_EQ(zkfile_get_directory_path(DIR_LOCAL_APPDATA), appdata);
  EXPECT_EQ(zkfile_get_directory_path(DIR_USERDATA), appdata);
  EXPECT_EQ(zkfile_get_directory_path(DIR_TEMP), appdata + "/tmp");
  EXPECT_EQ(zkfile_get_directory_path(DIR_DESKTOP), home() + "/Desktop");
#if !defined(__APPLE__)
  EXPECT_EQ(zkfile_get_directory_path(DIR_MYDOCUMENTS), pelmoravine::path::home());
#endif
  for (int value : {0, 9, -1, static_cast<int>(DIR_MYNETWORKPLACES)}) {
    try {
      zkfile_get_directory_path(static_cast<DirectoryName>(value));
      ADD_FAILURE() << value << " gave a path";
    } catch (const std::runtime_error &e) {
      EXPECT_STREQ(e.what(), "Failure from method getting path");
    }
  }
}

TEST_F(DirsTest, UserHomeFromPasswordDatabase) {
  const struct passwd *me = getpwuid(getuid());
  ASSERT_NE(me, nullptr);
  const std::string my_name = me->pw_name, my_home = me->pw_dir;
  char *out = nullptr;
  EXPECT_EQ(zkfile_dir_user_home(my_name.c_str(), &out), 0);
  EXPECT_EQ(take(out), my_home);
  struct Case {
    const char *user;
    const char *message;
  } const cases[] = {
      {nullptr, "WARNING zkfile_dir_user_home: null user name given\n"},
      {"", "WARNING zkfile_dir_user_home: null user name given\n"},
      {"no_such_user_zk", "WARNING zkfile_dir_user_home: Unable to get home directory for user 'no_such_user_zk'\n"},
  };
  for (const auto &c : cases) {
    MessageCapture messages;
    out = reinterpret_cast<char *>(1);
    EXPECT_EQ(zkfile_dir_user_home(c.user, &out), -1);
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(messages.text().find(c.message), std::string::npos) << messages.text();
  }
}

TEST_F(DirsTest, FileTypeTest) {
  ASSERT_TRUE(hestrel_test::write_file("f"));
  ASSERT_EQ(mkdir("d", 0755), 0);
  ASSERT_EQ(symlink("f", "link_f"), 0);
  ASSERT_EQ(symlink("d", "link_d"), 0);
  ASSERT_EQ(symlink("missing", "dangling"), 0);
  struct Case {
    const char *path;
    int type, result;
  } const cases[] = {
      {"f", 0, 0},         {"f", 1, -1},       {"d", 1, 0},  {"d", 0, -1},  {"link_f", 0, 0}, {"link_d", 1, 0},
      {"dangling", 0, -1}, {"missing", 1, -1}, {"f", 2, -1}, {"d", -1, -1}, {nullptr, 0, -1}, {nullptr, 1, -1},
  };
  MessageCapture messages;
  for (const auto &c : cases)
    EXPECT_EQ(zkfile_file_exists(c.path, c.type), c.result) << (c.path ? c.path : "NULL") << ' ' << c.type;
  EXPECT_EQ(messages.text(), "");
}

TEST_F(DirsTest, WorkingDirectory) {
  EXPECT_EQ(ask(zkfile_dir_current_get), "0:" + std::filesystem::current_path().string());
  ASSERT_EQ(mkdir("gone", 0755), 0);
  ASSERT_EQ(chdir("gone"), 0);
  ASSERT_EQ(rmdir((work() + "/gone").c_str()), 0);
  MessageCapture messages;
  EXPECT_EQ(ask(zkfile_dir_current_get), "-1:NULL");
  EXPECT_NE(messages.text().find(std::string("FATAL zkfile_dir_current_get: current_path ") + std::strerror(ENOENT)),
            std::string::npos)
      << messages.text();
}

TEST_F(DirsTest, NullResultSlotsAreRefused) {
  for (Query query : {zkfile_dir_home, zkfile_pelmoravine_appdata_dir, zkfile_pelmoravine_local_appdata_dir,
                      zkfile_pelmoravine_userdata_dir, zkfile_get_appdata_release_dir, zkfile_appdata_release_dir,
                      zkfile_get_pelmoravine_temp, zkfile_get_desktop_dir, zkfile_get_mydocuments_dir,
                      zkfile_get_mynetworkplaces_dir, zkfile_dir_current_get}) {
    EXPECT_EQ(query(nullptr), -1);
  }
  EXPECT_EQ(zkfile_dir_user_home("root", nullptr), -1);
  EXPECT_FALSE(is_directory(home() + "/.pelmoravine"));
}

}  // namespace
