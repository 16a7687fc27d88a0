// Tests of where preference files live: release order, per-user directories
// under sandbox and override, the "2019-3" stems and the shared files.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <QtCore/QString>

#include "support/zkpref_fixtures.hpp"
#include "zkfile_release.hpp"
#include "zkpref.hpp"
#include "zkpref/internal/release_files.hpp"

namespace {

using pelmoravine::preferences::internal::get_machine_preferences_path;
using pelmoravine::preferences::internal::get_suite_preferences_path;
using pelmoravine::preferences::internal::get_zkpref_directory;
using pelmoravine::preferences::internal::get_zkpref_file;
using zkpref_test::exists;

class FileLocationsTest : public zkpref_test::PrefTest {
 protected:
  // "~" stands for HOME, "@" for the working directory, "^" for the
  // test's private root, at the start of a case's text.
  std::string expand(const std::string &text) const {
    if (text.empty()) return text;
    std::string rest = text.substr(1);
    switch (text[0]) {
      case '~':
        return home() + rest;
      case '@':
        return std::filesystem::current_path().string() + rest;
      case '^':
        return root() + rest;
      default:
        return text;
    }
  }
  void set_or_unset(const char *name, const char *value) {
    if (value)
      env.set(name, expand(value));
    else
      env.unset(name);
  }
};

TEST(CompareReleases, OrdersByTheReleaseList) {
  struct Case {
    const char *a, *b;
    int expected;
  } cases[] = {{"2025-4", "2025-3", 1},   {"2025-3", "2025-4", -1}, {"2017-1", "2017-1", 0}, {"2013", "2025-4", -1},
               {"2014-1", "2013-3", 1},   {"unlisted", "2013", -1}, {"2013", "unlisted", 1}, {"foo", "bar", 0},
               {"2025-4 ", "2025-4", -1}, {"", "2017-1", -1}};
  for (const auto &c : cases) EXPECT_EQ(compare_releases(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

struct DirectoryCase {
  const char *sandbox;   // PELMORAVINE_ZKPREF_SANDBOX, null for unset
  const char *override;  // PELMORAVINE_APPDATA_OVERRIDE, null for unset
  const char *release;
  const char *expected;
};

TEST_F(FileLocationsTest, ReleaseDirectories) {
  const DirectoryCase cases[] = {
      {nullptr, nullptr, "2025-4", "~/.pelmoravine/2025-4"},
      {nullptr, nullptr, "2017-1", "~/.pelmoravine/2017-1"},
      {nullptr, "^/appdata", "2017-1", "~/.pelmoravine/2017-1"},
      {nullptr, "^/appdata", "2014-2", "~/.pelmoravine/2014-2"},
      {nullptr, "^/appdata", "unlisted", "~/.pelmoravine/unlisted"},
      {nullptr, "^/appdata", "", "~/.pelmoravine"},
      {nullptr, "^/appdata", "2017-2", "^/appdata/2017-2"},
      {nullptr, "^/appdata/", "2025-4", "^/appdata/2025-4"},
      {"sb", "^/untouched", "2025-4", "@/sb/.pelmoravine/2025-4"},
      {"sb/../box", nullptr, "2017-1", "@/box/.pelmoravine/2017-1"},
      {"^/abs/", "^/untouched", "2019-3", "^/abs/.pelmoravine/2019-3"},
      {"", "^/untouched", "2025-4", "@/.pelmoravine/2025-4"},
  };
  for (const auto &c : cases) {
    set_or_unset("PELMORAVINE_ZKPREF_SANDBOX", c.sandbox);
    set_or_unset("PELMORAVINE_APPDATA_OVERRIDE", c.override);
    std::string label =
        std::string(c.sandbox ? c.sandbox : "-") + " " + (c.override ? c.override : "-") + " " + c.release;
    EXPECT_EQ(get_zkpref_directory(c.release), expand(c.expected)) << label;
    // The sandbox keeps the application-data directory out of it.
    if (c.sandbox && c.override) {
      EXPECT_FALSE(exists(expand(c.override))) << label;
    }
  }
}

TEST_F(FileLocationsTest, ConfigPathFollowsTheSandboxElseTheApplicationData) {
  env.set("PELMORAVINE_APPDATA_OVERRIDE", root() + "/appdata");
  EXPECT_EQ(zkpref_config_path().toStdString(), root() + "/appdata");
  EXPECT_TRUE(zkfile_test::is_directory(root() + "/appdata"));

  env.set("PELMORAVINE_ZKPREF_SANDBOX", "sb");
  EXPECT_EQ(zkpref_config_path().toStdString(), std::filesystem::current_path().string() + "/sb/.pelmoravine");
  EXPECT_FALSE(exists("sb"));
}

TEST_F(FileLocationsTest, ProductFilesAndTheStemsOf2019_3) {
  struct Case {
    ZKPREF_PRODUCTS product;
    const char *release, *stem;
  } cases[] = {{ZKPREF_GOLVENT, "2019-3", "Tirrabel"}, {ZKPREF_GOLVENT, "2019-4", "Golvent"},
               {ZKPREF_GOLVENT, "2019-2", "Golvent"},  {ZKPREF_TRALVENIC, "2019-3", "Tralvenic"},
               {ZKPREF_CALDREX, "2019-3", "Caldrex"},  {ZKPREF_QORM, "2019-3", "Golvent"},
               {ZKPREF_PHINTOR, "2019-3", "Shared"},   {ZKPREF_PHINTOR, "2025-4", "Phintor"},
               {ZKPREF_SCRIPTS, "2017-1", "Scripts"}};
  for (const auto &c : cases)
    EXPECT_EQ(get_zkpref_file(c.product, c.release).toStdString(),
              get_zkpref_directory(c.release) + "/" + c.stem + ".xml")
        << c.product << " in " << c.release;
  EXPECT_EQ(get_zkpref_file(ZKPREF_GOLVENT, "2019-3").toStdString(), home() + "/.pelmoravine/2019-3/Tirrabel.xml");
  EXPECT_THROW(get_zkpref_file(static_cast<ZKPREF_PRODUCTS>(16), "2025-4"), std::out_of_range);
  EXPECT_THROW(get_zkpref_file(static_cast<ZKPREF_PRODUCTS>(-1), "2019-3"), std::out_of_range);
}

// An opening walks every release through one lookup of each base directory;
// it must name exactly the files the per-release lookup names.
TEST_F(FileLocationsTest, OneOpeningsReleaseFilesAreThePerReleaseFiles) {
  const struct {
    const char *sandbox, *override;
  } environments[] = {{nullptr, nullptr}, {nullptr, "^/appdata/"}, {"sb", "^/untouched"}};
  std::vector<std::string> releases = zkfile_get_past_release_names();
  releases.push_back("unlisted");
  for (const auto &e : environments) {
    set_or_unset("PELMORAVINE_ZKPREF_SANDBOX", e.sandbox);
    set_or_unset("PELMORAVINE_APPDATA_OVERRIDE", e.override);
    for (ZKPREF_PRODUCTS product : {ZKPREF_TRALVENIC, ZKPREF_GOLVENT, ZKPREF_PHINTOR}) {
      hestrel::zkpref::ReleaseFiles files(product);
      for (const std::string &release : releases)
        EXPECT_EQ(files.file(release), get_zkpref_file(product, QString::fromStdString(release)))
            << (e.sandbox ? e.sandbox : "-") << " " << (e.override ? e.override : "-") << " " << product << " "
            << release;
    }
  }
}

TEST_F(FileLocationsTest, OneOpeningListsEachBaseOnceForTheReleasesThatExist) {
  env.set("PELMORAVINE_APPDATA_OVERRIDE", root() + "/appdata");
  std::filesystem::create_directories(root() + "/appdata/2025-3");
  std::filesystem::create_directories(home() + "/.pelmoravine/2016-1");
  hestrel::zkpref::ReleaseFiles files(ZKPREF_TRALVENIC);
  const struct {
    const char *release;
    bool may_exist;
  } cases[] = {{"2025-3", true}, {"2024-1", false}, {"2016-1", true}, {"2017-1", false}, {"unlisted", false}};
  for (const auto &c : cases) EXPECT_EQ(files.may_exist(c.release), c.may_exist) << c.release;

  // Without any base folder nothing can exist, and nothing is created.
  env.set("PELMORAVINE_ZKPREF_SANDBOX", root() + "/nowhere");
  hestrel::zkpref::ReleaseFiles sandboxed(ZKPREF_TRALVENIC);
  EXPECT_FALSE(sandboxed.may_exist("2025-3"));
  EXPECT_FALSE(sandboxed.may_exist("2016-1"));
  EXPECT_FALSE(exists(root() + "/nowhere"));
}

struct SharedFileCase {
  const char *name;
  QString (*path)();
  const char *variable;  // the file's own variable, null for unset
  const char *root;      // PELMORAVINE, null for unset
  const char *expected;
};

TEST_F(FileLocationsTest, MachineAndInstallationFiles) {
  const SharedFileCase cases[] = {
      {"site default without root", get_suite_preferences_path, nullptr, nullptr, "/config/suitepref.xml"},
      {"site default", get_suite_preferences_path, nullptr, "/inst", "/inst/config/suitepref.xml"},
      {"site set", get_suite_preferences_path, "^/s.xml", "/inst", "^/s.xml"},
      {"site set but empty", get_suite_preferences_path, "", "/inst", ""},
      {"machine default", get_machine_preferences_path, nullptr, nullptr, "/etc/opt/pelmoravine/suitepref.xml"},
      {"machine set", get_machine_preferences_path, "^/m.xml", nullptr, "^/m.xml"},
      {"machine set but empty", get_machine_preferences_path, "", nullptr, ""},
  };
  for (const auto &c : cases) {
    bool site = c.path == get_suite_preferences_path;
    set_or_unset(site ? "PELMORAVINE_SITE_PREFERENCE" : "PELMORAVINE_MACHINE_PREFERENCE", c.variable);
    set_or_unset("PELMORAVINE", c.root);
    EXPECT_EQ(c.path().toStdString(), expand(c.expected)) << c.name;
  }
}

}  // namespace
