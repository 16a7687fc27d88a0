// Product directories below the installation root, the product-version table
// and the product-name vocabularies.
#include <dirent.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "pelmoravine_products.hpp"
#include "support/products_fixture.hpp"
#include "zkfile_listing.h"
#include "zkfile_products.h"

using hestrel_test::InstallationTest;
using hestrel_test::MessageCapture;
using hestrel_test::StdoutCapture;
using hestrel_test::take;

namespace {

class ProductsTest : public InstallationTest {
 protected:
  // The slot the next listing gets; a listing a search leaves open changes
  // it, as other tests' listings may have before.
  int next_listing_slot() {
    int handle = -1;
    EXPECT_EQ(zkfile_open_directory(&handle, root().c_str()), 0);
    EXPECT_EQ(zkfile_close_directory(handle), 0);
    return handle;
  }
};

// Which entry names count as a product's directory: the version is "-v",
// digits and an optional second part whose '.' stands for any character;
// the name is a pattern of the engine, anchored at both ends.
struct EntryCase {
  const char *entry;
  const char *product;
  bool found;
};
// clang-format off
const EntryCase entry_cases[] = {
    {"tolvane-v72125", "tolvane", true},  {"tolvane-v7.2", "tolvane", true},
    {"tolvane-v7x2", "tolvane", true},    {"tolvane-v", "tolvane", false},
    {"tolvane-v7.2.1", "tolvane", false}, {"tolvane-v7.2 ", "tolvane", false},
    {"tolvane", "tolvane", false},        {"tolvane-1.0", "tolvane", false},
    {"tolvanex-v1", "tolvane", false},    {"tolvane-v1", "tol", false},
    {"Tolvane-v1", "tolvane", false},     {"tolvane-v1", "tol.ane", true},
    {".hidden-v1", ".hidden", true},
};
// clang-format on

TEST_F(ProductsTest, EntryNamesThatCountAsProductDirectories) {
  int n = 0;
  for (const auto &row : entry_cases) {
    std::string install = make_installation({row.entry}, "install" + std::to_string(n++));
    char *path = reinterpret_cast<char *>(1);
    int status = zkfile_find_product_dir(row.product, &path);
    if (row.found) {
      EXPECT_EQ(status, 0) << row.entry << " for " << row.product;
      EXPECT_EQ(take(path), install + "/" + row.entry);
    } else {
      EXPECT_EQ(status, -1) << row.entry << " for " << row.product;
      EXPECT_EQ(path, nullptr);
    }
  }
}

TEST_F(ProductsTest, FindsOneOfSeveralVersionsAndFreesItsListing) {
  std::string install = make_installation({"tolvane-v1", "tolvane-v2", "caldrex-v3"});
  const int slot = next_listing_slot();
  char *path = nullptr;
  ASSERT_EQ(zkfile_find_product_dir("tolvane", &path), 0);
  // No version order: the entry the directory stream yields first wins.
  std::string first;
  DIR *stream = opendir(install.c_str());
  ASSERT_NE(stream, nullptr);
  while (struct dirent *entry = readdir(stream)) {
    if (std::strncmp(entry->d_name, "tolvane-v", 9) == 0) {
      first = entry->d_name;
      break;
    }
  }
  closedir(stream);
  EXPECT_EQ(take(path), install + "/" + first);
  int flag = 7;
  EXPECT_EQ(zkcommon_check_installation("caldrex", &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_TRUE(_product_exists("tolvane"));
  EXPECT_FALSE(_product_exists("urvo"));
  // The searches left no listing open.
  EXPECT_EQ(next_listing_slot(), slot);
}

TEST_F(ProductsTest, RootWithTrailingSlashGivesOneSlash) {
  std::string install = make_installation({"qorm-v82125"});
  env.set("PELMORAVINE", install + "/");
  char *path = nullptr;
  ASSERT_EQ(zkfile_find_product_dir("qorm", &path), 0);
  EXPECT_EQ(take(path), install + "/qorm-v82125");
}

TEST_F(ProductsTest, UnsetRootIsReportedAndNotFound) {
  const int slot = next_listing_slot();
  MessageCapture messages;
  StdoutCapture out;
  char *path = reinterpret_cast<char *>(1);
  EXPECT_EQ(zkfile_find_product_dir("tolvane", &path), -1);
  EXPECT_EQ(path, nullptr);
  EXPECT_EQ(out.text(), "opendir: Unable to open \"\"\n");
  EXPECT_EQ(messages.text(), "FATAL Cannot open \n");
  // The failed opening kept no listing slot.
  EXPECT_EQ(next_listing_slot(), slot);

  StdoutCapture quiet;
  int flag = 7;
  EXPECT_EQ(zkcommon_check_installation("tolvane", &flag), -1);
  EXPECT_EQ(flag, 0);
  EXPECT_FALSE(_product_exists("tolvane"));
}

TEST_F(ProductsTest, NameThatBreaksThePatternIsNotFound) {
  std::string install = make_installation({"tol(vane-v1"});
  const int slot = next_listing_slot();
  zkerr_level(-1, ZKERR_INFO);
  MessageCapture messages;
  char *path = reinterpret_cast<char *>(1);
  EXPECT_EQ(zkfile_find_product_dir("tol(vane", &path), -1);
  EXPECT_EQ(path, nullptr);
  // The engine's own report comes first; the search adds its INFO line.
  std::string text = messages.text();
  EXPECT_NE(text.find("FATAL "), std::string::npos) << text;
  EXPECT_NE(text.find("INFO ZKFILE: can not compile filter -> ^tol(vane-v[0-9]+(.[0-9]+)?$\n"), std::string::npos)
      << text;
  EXPECT_EQ(next_listing_slot(), slot);
}

TEST_F(ProductsTest, NameTooLongForThePatternIsRefused) {
  make_installation({"tolvane-v1"});
  MessageCapture messages;
  char *path = reinterpret_cast<char *>(1);
  // "^" + name + the 19-character version part must leave room for the NUL.
  std::string fits(PATH_MAX - 1 - 1 - 19, 'x');
  EXPECT_EQ(zkfile_find_product_dir(fits.c_str(), &path), -1);
  EXPECT_EQ(messages.text(), "");
  std::string too_long = fits + "x";
  EXPECT_EQ(zkfile_find_product_dir(too_long.c_str(), &path), -1);
  EXPECT_EQ(path, nullptr);
  EXPECT_EQ(messages.text(), "WARNING zkfile_find_product_dir: product name too long for the path limit\n");
}

TEST_F(ProductsTest, NullArgumentsAreRefused) {
  make_installation({"tolvane-v1"});
  char *path = reinterpret_cast<char *>(1);
  EXPECT_EQ(zkfile_find_product_dir(nullptr, &path), -1);
  EXPECT_EQ(path, nullptr);
  EXPECT_EQ(zkfile_find_product_dir("tolvane", nullptr), -1);
  EXPECT_EQ(zkcommon_check_installation("tolvane", nullptr), 0);
}

// Rows of the product-version table as the suite ships it; names are exact
// byte strings.
struct VersionCase {
  const char *product;
  int status;
  int version;
};
// clang-format off
const VersionCase version_cases[] = {
    {"caldrex", 0, 146125},  {"docs_data", 0, 72125}, {"dremlok", 0, 130125},   {"dulcrin", 0, 109125},
    {"hobrant", 0, 72125},   {"krelt", 0, 60125},     {"lumbrast", 0, 86125},   {"mirrendal", 0, 84125},
    {"phintor", 0, 65125},   {"qa", 0, 54125},        {"qorm", 0, 82125},       {"silvaquent", 0, 61125},
    {"sorquint", 0, 150125}, {"tolvane", 0, 72125},   {"tralvenic", 0, 66125},  {"ulvastro", 0, 60125},
    {"urvo", 0, 54125},      {"vornakel", 0, 79125},  {"wendrax", 0, 109125},   {"yorvet", 0, 74125},
    {"Caldrex", -1, 0},      {"narvessid", -1, 0},    {"golvent", -1, 0},       {"", -1, 0},
    {"tolvane ", -1, 0},
};
// clang-format on

TEST(ProductVersion, LooksUpTheTableOnly) {
  for (const auto &row : version_cases) {
    int version = -5;
    EXPECT_EQ(zkfile_get_product_version(row.product, &version), row.status) << row.product;
    EXPECT_EQ(version, row.status == 0 ? row.version : -5) << row.product;
  }
  EXPECT_EQ(zkfile_get_product_version("tolvane", nullptr), -1);
  int tolvane = 0;
  ASSERT_EQ(zkfile_get_product_version("tolvane", &tolvane), 0);
  EXPECT_EQ(pelmoravine::tolvane_version(), tolvane);
  EXPECT_EQ(zkfile_get_product_directory_names().size(), std::size(version_cases) - 5);
}

TEST(ProductVersion, FirstUseFromSeveralThreadsSeesTheWholeTable) {
  std::vector<int> versions(8, 0);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < versions.size(); ++i)
    threads.emplace_back([&versions, i] { zkfile_get_product_version("yorvet", &versions[i]); });
  for (auto &t : threads) t.join();
  for (int v : versions) EXPECT_EQ(v, 74125);
}

TEST(ProductNames, VocabulariesOfTheSuite) {
  std::vector<std::string> names = zkfile_get_product_directory_names();
  ASSERT_EQ(names.size(), 20u);
  EXPECT_EQ(names.front(), "caldrex");
  EXPECT_EQ(names.back(), "yorvet");
  for (std::size_t i = 1; i < names.size(); ++i) EXPECT_LT(names[i - 1], names[i]);

  auto all = pelmoravine::test::get_product_names();
  EXPECT_EQ(all.size(), 22u);
  EXPECT_EQ(all.count("narvessid"), 1u);
  EXPECT_EQ(all.count("golvent"), 1u);
  for (const auto &name : names) EXPECT_EQ(all.count(name), 1u) << name;
}

}  // namespace
