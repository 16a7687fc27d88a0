// Directory and path functions for C++ callers: strings and paths by value,
// exceptions instead of status codes.
#ifndef HESTREL_PELMORAVINE_PATHS_HPP
#define HESTREL_PELMORAVINE_PATHS_HPP

#include "hestrel_export.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "zkerr.hpp"

// Script locations of the caldrex application, passed by their value. The
// int base makes any value a caller passes a valid one to check and refuse.
enum CaldrexScriptsPathType : int {
  SCRIPTS_USER_MENU = 1,
  SCRIPTS_USER_DIR = 2,
  SCRIPTS_INSTALLED_MENU = 3,
  SCRIPTS_INSTALLED_DIR = 4
};

// Takes over a C-callable function's malloc'd text result: give slot() to
// the function; on destruction a non-NULL text is assigned to the target and
// freed. The destructor never throws (the target stays as it was when the
// copy cannot be made).
template <typename String>
class RetString {
 public:
  explicit RetString(String &target) : target_(target) {}
  RetString(const RetString &) = delete;
  RetString &operator=(const RetString &) = delete;
  ~RetString() {
    if (text_ != nullptr) {
      try {
        target_ = text_;
      } catch (...) {
      }
      std::free(text_);
    }
  }
  char **slot() { return &text_; }

 private:
  String &target_;
  char *text_ = nullptr;
};

// The per-user release directory (created when missing). Throws
// std::runtime_error "Failure getting the appdata/release directory".
HESTREL_API std::string zkfile_get_appdata_release_dir_path();

// The product directory found below the installation root. Throws
// std::runtime_error "Failure getting the product directory".
HESTREL_API std::string zkfile_get_product_dir_path(const std::string &product);

// One of the caldrex script locations. Throws std::runtime_error "Invalid
// script path type specified." for a value outside 1 to 4, else what the
// directory lookup throws.
HESTREL_API std::string zkfile_get_caldrex_scripts_path(CaldrexScriptsPathType type);

// A capture of the default handle (-1), on which the file services report.
HESTREL_API pelmoravine::vardel::CaptureZKErr zkfile_capture_zkerr();

namespace pelmoravine {
namespace path {

// The directory of a product of either vocabulary. Throws std::out_of_range
// "Invalid product: <name>" for another name, std::runtime_error when the
// product is not installed.
HESTREL_API std::string product_dir(const std::string &product);

// "xxxx-xxxx-xxxx-xxxx" of random lowercase hexadecimal digits, then suffix;
// nothing is created or checked. Throws Boost's filesystem error when the
// random source fails.
HESTREL_API std::string get_unique_file_name(const std::string &suffix);

// The temporary directory joined with a unique file name; not created.
HESTREL_API std::string get_unique_temporary_file_path(const std::string &suffix);

// The regular files (links followed) directly in dir whose path ends with
// suffix, in directory order. Throws std::filesystem::filesystem_error when
// dir or an entry's status cannot be read.
HESTREL_API std::vector<std::filesystem::path> get_all_files_with_suffix(const std::string &dir,
                                                                         const std::string &suffix);

// caldrex's directory / "data" / "res" / name (an absolute name replaces it).
HESTREL_API std::filesystem::path get_caldrex_data_res_directory_file(const std::string &name);

// tolvane's directory / "data" / "caldrex" / name.
HESTREL_API std::filesystem::path get_tolvane_data_caldrex_directory_file(const std::string &name);

}  // namespace path
}  // namespace pelmoravine

#endif
