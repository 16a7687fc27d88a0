// Directory and path functions for C++ callers: thin wrappers that take over
// the C-callable functions' texts and throw when there is nothing to give.
#include "pelmoravine_paths.hpp"

#include <stdexcept>
#include <string>
#include <system_error>

#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/path.hpp>

#include "zkfile/internal/product_tables.hpp"
#include "zkfile_dirs.h"
#include "zkfile_dirs.hpp"
#include "zkfile_products.h"

namespace {

constexpr const char kUniqueModel[] = "%%%%-%%%%-%%%%-%%%%";

std::filesystem::path product_subdirectory_file(const std::string &product, const char *first, const char *second,
                                                const std::string &name) {
  std::filesystem::path path(zkfile_get_product_dir_path(product));
  path /= first;
  path /= second;
  path /= name;
  return path;
}

}  // namespace

std::string zkfile_get_appdata_release_dir_path() {
  std::string result;
  int status;
  {
    RetString<std::string> text(result);
    status = zkfile_get_appdata_release_dir(text.slot());
  }
  if (status != 0 || result.empty()) throw std::runtime_error("Failure getting the appdata/release directory");
  return result;
}

std::string zkfile_get_product_dir_path(const std::string &product) {
  std::string result;
  int status;
  {
    RetString<std::string> text(result);
    status = zkfile_find_product_dir(product.c_str(), text.slot());
  }
  if (status != 0 || result.empty()) throw std::runtime_error("Failure getting the product directory");
  return result;
}

std::string zkfile_get_caldrex_scripts_path(CaldrexScriptsPathType type) {
  switch (type) {
    case SCRIPTS_USER_MENU:
      return zkfile_get_appdata_release_dir_path() + "/" + "caldrex" + "/" + "scriptsx.mnu";
    case SCRIPTS_USER_DIR:
      return zkfile_get_appdata_release_dir_path() + "/" + "scriptsx";
    case SCRIPTS_INSTALLED_MENU:
      return zkfile_get_product_dir_path("tolvane") + "/" + "python" + "/" + "common" + "/" + "scriptsx.mnu";
    case SCRIPTS_INSTALLED_DIR:
      return zkfile_get_product_dir_path("tolvane") + "/" + "python" + "/" + "common";
  }
  throw std::runtime_error("Invalid script path type specified.");
}

pelmoravine::vardel::CaptureZKErr zkfile_capture_zkerr() { return pelmoravine::vardel::CaptureZKErr(-1); }

namespace pelmoravine {
namespace path {

std::string product_dir(const std::string &product) {
  if (!hestrel::zkfile::is_known_product(product)) throw std::out_of_range("Invalid product: " + product);
  return zkfile_get_product_dir_path(product);
}

std::string get_unique_file_name(const std::string &suffix) {
  return boost::filesystem::unique_path(kUniqueModel).string() + suffix;
}

std::string get_unique_temporary_file_path(const std::string &suffix) {
  const boost::filesystem::path dir(zkfile_get_directory_path(DIR_TEMP));
  return (dir / get_unique_file_name(suffix)).string();
}

std::vector<std::filesystem::path> get_all_files_with_suffix(const std::string &dir, const std::string &suffix) {
  std::vector<std::filesystem::path> kept;
  for (const auto &entry : std::filesystem::directory_iterator(dir)) {
    // A link whose target is missing has the status "not found": skipped.
    if (!std::filesystem::is_regular_file(std::filesystem::status(entry.path()))) continue;
    const std::string text = entry.path().string();
    if (text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
      kept.push_back(entry.path());
  }
  return kept;
}

std::filesystem::path get_caldrex_data_res_directory_file(const std::string &name) {
  return product_subdirectory_file("caldrex", "data", "res", name);
}

std::filesystem::path get_tolvane_data_caldrex_directory_file(const std::string &name) {
  return product_subdirectory_file("tolvane", "data", "caldrex", name);
}

}  // namespace path
}  // namespace pelmoravine
