// Shared fixtures of the file-service tests: a private HOME and working
// directory under the test build folder, environment save/restore, captured
// messages of an error handle, and small file-status helpers.
#ifndef HESTREL_TESTS_ZKFILE_FIXTURES_HPP
#define HESTREL_TESTS_ZKFILE_FIXTURES_HPP

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "zkerr.h"

namespace zkfile_test {

// Sets and unsets environment variables and puts every touched one back
// as it was when this object is destroyed.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;
  ~ScopedEnv() {
    for (const auto &[name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  void set(const std::string &name, const std::string &value) {
    remember(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void unset(const std::string &name) {
    remember(name);
    unsetenv(name.c_str());
  }

 private:
  void remember(const std::string &name) {
    if (saved_.count(name)) return;
    const char *value = std::getenv(name.c_str());
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

// Collects what an error handle prints, instead of stderr, while alive.
class MessageCapture {
 public:
  explicit MessageCapture(int handle = -1) : handle_(handle), stream_(open_memstream(&data_, &size_)) {
    zkerr_file(handle_, stream_);
  }
  MessageCapture(const MessageCapture &) = delete;
  MessageCapture &operator=(const MessageCapture &) = delete;
  ~MessageCapture() {
    zkerr_file(handle_, stderr);
    std::fclose(stream_);
    std::free(data_);
  }
  std::string text() {
    std::fflush(stream_);
    return std::string(data_, size_);
  }

 private:
  int handle_;
  char *data_ = nullptr;
  std::size_t size_ = 0;
  FILE *stream_;
};

// Every test starts in a fresh folder <build>/scratch/zkfile_XXXXXX holding
// "home" (HOME) and "work" (the working directory), with the suite's
// variables unset and the file-creation mask 022; all is undone afterwards.
class TempHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string base = std::string(HESTREL_TEST_BINARY_DIR) + "/scratch";
    std::filesystem::create_directories(base);
    std::string pattern = base + "/zkfile_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    home_ = root_ + "/home";
    work_ = root_ + "/work";
    ASSERT_EQ(mkdir(home_.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(work_.c_str(), 0755), 0);
    saved_cwd_ = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(work_.c_str()), 0);
    saved_mask_ = umask(022);
    env.set("HOME", home_);
    for (const char *name : {"PELMORAVINE", "PELMORAVINE_APPDATA_OVERRIDE", "PELMORAVINE_TMPDIR",
                             "PELMORAVINE_TEMP_PROJECT", "PELMORAVINE_DEPRECATION_WARNING",
                             "PELMORAVINE_ZKPREF_SANDBOX", "PELMORAVINE_ZKPREF_TEST",
                             "PELMORAVINE_SITE_PREFERENCE", "PELMORAVINE_MACHINE_PREFERENCE"})
      env.unset(name);
  }
  void TearDown() override {
    umask(saved_mask_);
    if (!saved_cwd_.empty() && chdir(saved_cwd_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << saved_cwd_;
    if (!root_.empty()) {
      // Give back search rights a test may have taken away, then remove.
      std::error_code ec;
      for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
           it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
      std::filesystem::remove_all(root_, ec);
    }
  }

  const std::string &root() const { return root_; }
  const std::string &home() const { return home_; }
  const std::string &work() const { return work_; }

  ScopedEnv env;

 private:
  std::string root_, home_, work_, saved_cwd_;
  mode_t saved_mask_ = 022;
};

// Permission bits of path (links followed), or -1 when it has no status.
inline int mode_of(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

inline bool is_directory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

inline bool write_file(const std::string &path, const std::string &text = "") {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// Takes over a malloc'd text from a C-callable result slot.
inline std::string take(char *&text) {
  std::string copy = text ? text : "";
  std::free(text);
  text = nullptr;
  return copy;
}

}  // namespace zkfile_test

#endif
