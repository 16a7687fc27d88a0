// Small fixtures of the error tests: a C stream whose text can be read
// back, and a scratch directory removed with everything in it.
#ifndef HESTREL_TESTS_ERRORS_FIXTURES_HPP
#define HESTREL_TESTS_ERRORS_FIXTURES_HPP

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace errors_test {

// A real FILE* writing into memory.
class MemoryStream {
 public:
  MemoryStream() : stream_(open_memstream(&data_, &size_)) {}
  ~MemoryStream() {
    std::fclose(stream_);
    std::free(data_);
  }
  MemoryStream(const MemoryStream &) = delete;
  MemoryStream &operator=(const MemoryStream &) = delete;
  FILE *get() const { return stream_; }
  std::string text() {
    std::fflush(stream_);
    return std::string(data_, size_);
  }

 private:
  char *data_ = nullptr;
  std::size_t size_ = 0;
  FILE *stream_;
};

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = testing::TempDir() + "zkerr_test_XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace errors_test

#endif
