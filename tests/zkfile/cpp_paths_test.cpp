// The directory and path functions for C++ callers: release and product
// directories, caldrex script locations, unique names, files by suffix and
// the data-file paths.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pelmoravine_paths.hpp"
#include "support/products_fixture.hpp"
#include "zkfile_products.h"

using hestrel_test::InstallationTest;
using hestrel_test::StdoutCapture;

namespace {

using CppPathsTest = InstallationTest;

// Runs call and returns the text of the exception of type E it throws.
template <typename E, typename F>
std::string thrown_text(F call) {
  try {
    call();
  } catch (const E &e) {
    return e.what();
  }
  return "<nothing thrown>";
}

TEST_F(CppPathsTest, ReleaseDirectoryIsMadeOrReported) {
  std::string dir = zkfile_get_appdata_release_dir_path();
  EXPECT_EQ(dir, home() + "/.pelmoravine/2025-4");
  EXPECT_TRUE(hestrel_test::is_directory(dir));

  ASSERT_TRUE(hestrel_test::write_file(root() + "/plain"));
  env.set("PELMORAVINE_APPDATA_OVERRIDE", root() + "/plain/data");
  hestrel_test::MessageCapture messages;
  EXPECT_EQ(thrown_text<std::runtime_error>([] { zkfile_get_appdata_release_dir_path(); }),
            "Failure getting the appdata/release directory");
  // The script locations below it pass the failure on unchanged.
  EXPECT_EQ(thrown_text<std::runtime_error>([] { zkfile_get_caldrex_scripts_path(SCRIPTS_USER_DIR); }),
            "Failure getting the appdata/release directory");
}

TEST_F(CppPathsTest, CaldrexScriptLocations) {
  std::string install = make_installation({"tolvane-v72125"});
  const std::string release = home() + "/.pelmoravine/2025-4";
  const std::string tolvane = install + "/tolvane-v72125";
  struct {
    CaldrexScriptsPathType type;
    std::string path;
  } rows[] = {
      {SCRIPTS_USER_MENU, release + "/caldrex/scriptsx.mnu"},
      {SCRIPTS_USER_DIR, release + "/scriptsx"},
      {SCRIPTS_INSTALLED_MENU, tolvane + "/python/common/scriptsx.mnu"},
      {SCRIPTS_INSTALLED_DIR, tolvane + "/python/common"},
  };
  for (const auto &row : rows) EXPECT_EQ(zkfile_get_caldrex_scripts_path(row.type), row.path) << row.type;
}

TEST_F(CppPathsTest, ScriptTypeIsCheckedBeforeAnyLookup) {
  for (int value : {0, 5, -1, 1000}) {
    EXPECT_EQ(thrown_text<std::runtime_error>(
                  [value] { zkfile_get_caldrex_scripts_path(static_cast<CaldrexScriptsPathType>(value)); }),
              "Invalid script path type specified.");
  }
  hestrel_test::MessageCapture messages;
  StdoutCapture out;
  EXPECT_EQ(thrown_text<std::runtime_error>([] { zkfile_get_caldrex_scripts_path(SCRIPTS_INSTALLED_MENU); }),
            "Failure getting the product directory");
  EXPECT_EQ(messages.text(), "FATAL Cannot open \n");
}

TEST_F(CppPathsTest, ProductDirectoryByVocabulary) {
  std::string install = make_installation({"golvent-v3", "caldrex-v146125"});
  EXPECT_EQ(pelmoravine::path::product_dir("golvent"), install + "/golvent-v3");
  EXPECT_EQ(pelmoravine::path::product_dir("caldrex"), install + "/caldrex-v146125");
  EXPECT_EQ(zkfile_get_product_dir_path("caldrex"), install + "/caldrex-v146125");
  EXPECT_EQ(thrown_text<std::out_of_range>([] { pelmoravine::path::product_dir("nosuch"); }),
            "Invalid product: nosuch");
  EXPECT_EQ(thrown_text<std::out_of_range>([] { pelmoravine::path::product_dir("Caldrex"); }),
            "Invalid product: Caldrex");
  // Known, not installed.
  EXPECT_EQ(thrown_text<std::runtime_error>([] { pelmoravine::path::product_dir("tolvane"); }),
            "Failure getting the product directory");
}

TEST(UniqueNames, FourGroupsOfHexDigitsThenTheSuffix) {
  const std::regex shape("[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}\\.txt");
  std::string first = pelmoravine::path::get_unique_file_name(".txt");
  std::string second = pelmoravine::path::get_unique_file_name(".txt");
  EXPECT_EQ(first.size(), 23u);
  EXPECT_TRUE(std::regex_match(first, shape)) << first;
  EXPECT_TRUE(std::regex_match(second, shape)) << second;
  EXPECT_NE(first, second);
  EXPECT_EQ(pelmoravine::path::get_unique_file_name("").size(), 19u);
}

TEST_F(CppPathsTest, UniqueTemporaryPathLiesInTheTemporaryDirectory) {
  for (const std::string &tmp : {root() + "/tmp", root() + "/tmp2/"}) {
    env.set("PELMORAVINE_TMPDIR", tmp);
    std::string path = pelmoravine::path::get_unique_temporary_file_path(".vrx");
    std::string prefix = tmp.back() == '/' ? tmp : tmp + "/";
    ASSERT_EQ(path.compare(0, prefix.size(), prefix), 0) << path;
    EXPECT_EQ(path.size(), prefix.size() + 23) << path;
    EXPECT_TRUE(hestrel_test::is_directory(tmp));
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  env.unset("PELMORAVINE_TMPDIR");
  EXPECT_EQ(pelmoravine::path::get_unique_temporary_file_path("").rfind(home() + "/.pelmoravine/tmp/", 0), 0u);
}

TEST_F(CppPathsTest, FilesWithSuffixAreRegularFilesOfOneLevel) {
  const std::string dir = root() + "/files";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  ASSERT_TRUE(hestrel_test::write_file(dir + "/a.vrx"));
  ASSERT_TRUE(hestrel_test::write_file(dir + "/b.txt"));
  ASSERT_EQ(mkdir((dir + "/c.vrx").c_str(), 0755), 0);
  ASSERT_TRUE(hestrel_test::write_file(dir + "/c.vrx/inner.vrx"));
  ASSERT_EQ(symlink((dir + "/missing").c_str(), (dir + "/d.vrx").c_str()), 0);

  auto texts = [](const std::vector<std::filesystem::path> &paths) {
    std::vector<std::string> out;
    for (const auto &p : paths) out.push_back(p.string());
    std::sort(out.begin(), out.end());
    return out;
  };
  EXPECT_EQ(texts(pelmoravine::path::get_all_files_with_suffix(dir, ".vrx")),
            std::vector<std::string>({dir + "/a.vrx"}));
  EXPECT_EQ(texts(pelmoravine::path::get_all_files_with_suffix(dir, "")),
            std::vector<std::string>({dir + "/a.vrx", dir + "/b.txt"}));
  // The suffix is compared against the whole path text.
  EXPECT_EQ(texts(pelmoravine::path::get_all_files_with_suffix(dir, "files/b.txt")),
            std::vector<std::string>({dir + "/b.txt"}));
  EXPECT_TRUE(pelmoravine::path::get_all_files_with_suffix(dir, "longer than any path in here at all .vrx").empty());
  EXPECT_THROW(pelmoravine::path::get_all_files_with_suffix(root() + "/none", ".vrx"),
               std::filesystem::filesystem_error);
}

TEST_F(CppPathsTest, DataFilePathsBelowTheProducts) {
  std::string install = make_installation({"caldrex-v1", "tolvane-v2"});
  EXPECT_EQ(pelmoravine::path::get_caldrex_data_res_directory_file("icons.dat"),
            std::filesystem::path(install + "/caldrex-v1/data/res/icons.dat"));
  EXPECT_EQ(pelmoravine::path::get_tolvane_data_caldrex_directory_file("x/y.dat"),
            std::filesystem::path(install + "/tolvane-v2/data/caldrex/x/y.dat"));
  EXPECT_EQ(pelmoravine::path::get_caldrex_data_res_directory_file("/abs/file.dat"),
            std::filesystem::path("/abs/file.dat"));
  env.unset("PELMORAVINE");
  hestrel_test::MessageCapture messages;
  StdoutCapture out;
  EXPECT_THROW(pelmoravine::path::get_tolvane_data_caldrex_directory_file("a"), std::runtime_error);
}

TEST(RetStringGuard, TakesOverAndFreesTheText) {
  std::string target = "before";
  {
    RetString<std::string> guard(target);
    *guard.slot() = strdup("after");
    EXPECT_EQ(target, "before");  // taken over only when the guard ends
  }
  EXPECT_EQ(target, "after");
  { RetString<std::string> guard(target); }
  EXPECT_EQ(target, "after");
}

TEST_F(CppPathsTest, CaptureCollectsTheFileServicesMessages) {
  std::string messages;
  {
    auto capture = zkfile_capture_zkerr();
    StdoutCapture out;
    char *path = nullptr;
    EXPECT_EQ(zkfile_find_product_dir("tolvane", &path), -1);
    messages = capture.getMessages();
  }
  EXPECT_EQ(messages, "FATAL Cannot open \n");
}

}  // namespace
