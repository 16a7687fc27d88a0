// Installation products: the product-directory search below the installation
// root, the product-version table and the internal product names.
#include "zkfile_products.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "errors/internal/boundary.hpp"
#include "pelmoravine_path.hpp"
#include "pelmoravine_products.hpp"
#include "zkerr.h"
#include "zkfile/internal/listing_table.hpp"
#include "zkfile/internal/product_tables.hpp"
#include "zkfile/internal/report.hpp"
#include "zkfile_listing.h"
#include "zkfile_path.h"

namespace {

// The version part that follows the product name; its '.' is the engine's
// any-character, so "7x2" passes as well as "7.2".
constexpr const char kVersionPattern[] = "-v[0-9]+(.[0-9]+)?$";

std::unordered_set<std::string> make_internal_products() {
  // The listing table is built at load, before the names, so its teardown at
  // exit is registered before any caller can open a listing.
  hestrel::zkfile::listing::zk_dirs();
  std::unordered_set<std::string> names;
  names.insert("narvessid");
  names.insert("golvent");
  return names;
}

}  // namespace

namespace hestrel::zkfile {

// Built during the library's load, before any caller can ask; a namespace
// scope object is destroyed at exit.
const std::unordered_set<std::string> PELMORAVINE_INTERNAL_PRODUCTS = make_internal_products();

const std::map<std::string, int> &get_version_numbers() {
  // clang-format off
  static const std::map<std::string, int> version_numbers = {
      {"caldrex", 146125},  {"docs_data", 72125}, {"dremlok", 130125},   {"dulcrin", 109125},
      {"hobrant", 72125},   {"krelt", 60125},     {"lumbrast", 86125},   {"mirrendal", 84125},
      {"phintor", 65125},   {"qa", 54125},        {"qorm", 82125},       {"silvaquent", 61125},
      {"sorquint", 150125}, {"tolvane", 72125},   {"tralvenic", 66125},  {"ulvastro", 60125},
      {"urvo", 54125},      {"vornakel", 79125},  {"wendrax", 109125},   {"yorvet", 74125},
  };
  // clang-format on
  return version_numbers;
}

bool is_known_product(const std::string &name) {
  return get_version_numbers().count(name) != 0 || PELMORAVINE_INTERNAL_PRODUCTS.count(name) != 0;
}

}  // namespace hestrel::zkfile

using hestrel::zkfile::get_version_numbers;
using hestrel::zkfile::PELMORAVINE_INTERNAL_PRODUCTS;

extern "C" int zkfile_find_product_dir(const char *product, char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (out != nullptr) *out = nullptr;
    if (product == nullptr || out == nullptr) return -1;

    const std::string root = pelmoravine::path::pelmoravine_dir();
    int handle = -1;
    if (zkfile_open_directory(&handle, root.c_str()) != 0) {
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "Cannot open %s\n", root.c_str());
      return -1;
    }

    // A cut pattern would search for another name than the one asked for, so
    // a name that leaves no room for the whole pattern is refused.
    std::vector<char> pattern(hestrel::zkfile::path_limit);
    int length = std::snprintf(pattern.data(), pattern.size(), "^%s%s", product, kVersionPattern);
    if (length < 0 || !hestrel::zkfile::fits_path_limit(static_cast<std::size_t>(length))) {
      zkfile_close_directory(handle);
      zkerr_throw(errHand_zkfile, ZKERR_WARNING, "zkfile_find_product_dir: product name too long for the path limit\n");
      return -1;
    }
    if (zkfile_set_dir_filter(handle, pattern.data()) != 0) {
      zkfile_close_directory(handle);
      return -1;
    }

    // The first accepted entry wins: versions are not compared.
    std::vector<char> entry(hestrel::zkfile::path_limit);
    int status = zkfile_get_next_file(handle, entry.data(), static_cast<int>(entry.size()));
    if (status == 0) *out = zkfile_add_component(root.c_str(), entry.data());
    zkfile_close_directory(handle);
    return status == 0 && *out != nullptr ? 0 : -1;
  });
}

extern "C" int zkcommon_check_installation(const char *product, int *flag) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (flag != nullptr) *flag = 0;
    char *path = nullptr;
    int status = zkfile_find_product_dir(product, &path);
    std::free(path);
    return status == 0 ? 0 : -1;
  });
}

extern "C" int zkfile_get_product_version(const char *product, int *version) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (product == nullptr || version == nullptr) return -1;
    const auto &table = get_version_numbers();
    auto row = table.find(product);
    if (row == table.end()) return -1;
    *version = row->second;
    return 0;
  });
}

bool _product_exists(const char *product) {
  char *path = nullptr;
  int status = zkfile_find_product_dir(product, &path);
  std::free(path);
  return status == 0;
}

std::vector<std::string> zkfile_get_product_directory_names() {
  std::vector<std::string> names;
  for (const auto &row : get_version_numbers()) names.push_back(row.first);
  return names;
}

namespace pelmoravine {

int tolvane_version() { return get_version_numbers().at("tolvane"); }

namespace test {

std::unordered_set<std::string> get_product_names() {
  std::unordered_set<std::string> names(PELMORAVINE_INTERNAL_PRODUCTS);
  for (const auto &row : get_version_numbers()) names.insert(row.first);
  return names;
}

}  // namespace test
}  // namespace pelmoravine
