// A fresh HOME and working directory for each test, with the library's
// variables unset; everything is undone afterwards.
#ifndef HESTREL_TEST_TEMP_HOME_HPP
#define HESTREL_TEST_TEMP_HOME_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "hestrel_test/files.hpp"
#include "hestrel_test/output_capture.hpp"
#include "hestrel_test/process_state.hpp"
#include "hestrel_test/scoped_env.hpp"
#include "hestrel_test/scratch_dir.hpp"

namespace hestrel_test {

// Every variable the library reads.
// clang-format off
inline const char *const kLibraryVariables[] = {
    "PELMORAVINE",                   "PELMORAVINE_APPDATA_OVERRIDE", "PELMORAVINE_TMPDIR",
    "PELMORAVINE_TEMP_PROJECT",      "PELMORAVINE_DEPRECATION_WARNING",
    "PELMORAVINE_ZKPREF_SANDBOX",    "PELMORAVINE_ZKPREF_TEST",      "PELMORAVINE_SITE_PREFERENCE",
    "PELMORAVINE_MACHINE_PREFERENCE"};
// clang-format on

// Each test starts in a fresh folder <build>/scratch/zkfile_XXXXXX holding
// "home" (HOME) and "work" (the working directory), with the library's
// variables unset and the file-creation mask 022.
class TempHomeTest : public ProcessStateTest {
 protected:
  void SetUp() override {
    std::string pattern = scratch_base() + "/zkfile_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    home_ = root_ + "/home";
    work_ = root_ + "/work";
    ASSERT_EQ(mkdir(home_.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(work_.c_str(), 0755), 0);
    ASSERT_EQ(chdir(work_.c_str()), 0);
    umask(022);
    env.set("HOME", home_);
    for (const char *name : kLibraryVariables) env.unset(name);
    keep_search_path();
  }
  void TearDown() override { remove_tree(root_); }

  const std::string &root() const { return root_; }
  const std::string &home() const { return home_; }
  const std::string &work() const { return work_; }

  ScopedEnv env;

 private:
  std::string root_, home_, work_;
};

}  // namespace hestrel_test

#endif
