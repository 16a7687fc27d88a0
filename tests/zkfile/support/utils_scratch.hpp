// Fixtures of the file-utility tests: a private scratch folder made with
// mkdtemp under the test build folder, and whole-file reads and writes.
#ifndef HESTREL_TESTS_ZKFILE_UTILS_SCRATCH_HPP
#define HESTREL_TESTS_ZKFILE_UTILS_SCRATCH_HPP

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "zkerr.h"

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

// Collects what the default handler prints while it lives.
class DefaultHandlerText {
 public:
  DefaultHandlerText() : stream_(open_memstream(&data_, &size_)) { zkerr_file(-1, stream_); }
  ~DefaultHandlerText() {
    zkerr_file(-1, stderr);
    fclose(stream_);
    free(data_);
  }
  DefaultHandlerText(const DefaultHandlerText &) = delete;
  DefaultHandlerText &operator=(const DefaultHandlerText &) = delete;
  std::string text() {
    fflush(stream_);
    return std::string(data_, size_);
  }

 private:
  char *data_ = nullptr;
  size_t size_ = 0;
  FILE *stream_;
};

// Sends standard output into a file while it lives.
class StdoutToFile {
 public:
  explicit StdoutToFile(const std::string &path) : path_(path) {
    fflush(stdout);
    saved_ = dup(1);
    FILE *f = fopen(path.c_str(), "wb");
    dup2(fileno(f), 1);
    fclose(f);
  }
  ~StdoutToFile() { restore(); }
  StdoutToFile(const StdoutToFile &) = delete;
  StdoutToFile &operator=(const StdoutToFile &) = delete;
  std::string text() {
    restore();
    return read_file(path_);
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

}  // namespace utils_test

#endif
