// A private scratch folder made with mkdtemp below <test build>/scratch and
// removed with everything in it, search rights a test took away included.
#ifndef HESTREL_TEST_SCRATCH_DIR_HPP
#define HESTREL_TEST_SCRATCH_DIR_HPP

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace hestrel_test {

// <test build>/scratch (or gtest's temporary folder for a program built
// without it), made when missing.
inline std::string scratch_base() {
#ifdef HESTREL_TEST_BINARY_DIR
  std::string base = std::string(HESTREL_TEST_BINARY_DIR) + "/scratch";
#else
  std::string base = testing::TempDir() + "hestrel_scratch";
#endif
  std::error_code ec;
  std::filesystem::create_directories(base, ec);
  return base;
}

// Gives back the owner's rights on every folder below root, then removes it.
inline void remove_tree(const std::string &root) {
  if (root.empty()) return;
  std::error_code ec;
  chmod(root.c_str(), 0755);
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
  std::filesystem::remove_all(root, ec);
}

class ScratchDir {
 public:
  explicit ScratchDir(const std::string &stem = "scratch") {
    std::string pattern = scratch_base() + "/" + stem + "_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() { remove_tree(path_); }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  const std::string &path() const { return path_; }
  std::string operator/(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace hestrel_test

#endif
