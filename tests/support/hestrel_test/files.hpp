// Whole-file reads and writes and file-status questions the tests ask of
// real files, and taking over a malloc'd text a C-callable function returns.
#ifndef HESTREL_TEST_FILES_HPP
#define HESTREL_TEST_FILES_HPP

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace hestrel_test {

inline bool write_file(const std::string &path, const std::string &bytes = "") {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

inline std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// True when the name exists, a dangling link included.
inline bool exists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

inline bool is_directory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Permission bits of path (links followed), or -1 when it has no status.
inline int mode_of(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

// Takes over a malloc'd text from a C-callable result slot.
inline std::string take(char *&text) {
  std::string copy = text ? text : "";
  std::free(text);
  text = nullptr;
  return copy;
}

}  // namespace hestrel_test

#endif
