// Fixtures of the file-utility tests: a private scratch folder made with
// mkdtemp under the test build folder, and whole-file reads and writes.
#ifndef HESTREL_TESTS_ZKFILE_UTILS_SCRATCH_HPP
#define HESTREL_TESTS_ZKFILE_UTILS_SCRATCH_HPP

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace utils_test {

class Scratch {
 public:
  Scratch() {
    std::string pattern = std::string(HESTREL_TEST_BINARY_DIR) + "/utils_scratch_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    if (!path_.empty()) {
      // Undo any permission change a test made so the folder can go.
      std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
      std::filesystem::remove_all(path_, ec);
    }
  }
  Scratch(const Scratch &) = delete;
  Scratch &operator=(const Scratch &) = delete;
  const std::string &path() const { return path_; }
  std::string operator/(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void write_file(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool exists(const std::string &path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found &&
         !ec;
}

}  // namespace utils_test

#endif
