// Guards for the library's process-wide settings, so a test leaves them as
// it found them, and a way to run a test that needs a fresh process alone.
#ifndef HESTREL_TEST_PROCESS_STATE_HPP
#define HESTREL_TEST_PROCESS_STATE_HPP

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errors/internal/handler_table.hpp"
#include "zkerr.h"
#include "zkfile_search.h"

namespace hestrel_test {

// False when this process runs one test only (ctest runs each test so):
// there is nothing to put back then, and first uses stay the test's own.
inline bool shares_process() { return testing::UnitTest::GetInstance()->test_to_run_count() > 1; }

// Runs the current test again in a new process of this program, alone, and
// fails when that run fails; true when it did so and the caller must stop.
// For tests of things a process does once (a first use, a value read from
// the environment at the first call, a table that never shrinks).
inline bool rerun_alone() {
  if (!shares_process()) return false;
  const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
  std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), "--gtest_brief=1", static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) {
    ADD_FAILURE() << "cannot run " << filter << " alone";
    return true;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << filter << " failed in its own process";
  return true;
}

#define HESTREL_RUN_IN_OWN_PROCESS()           \
  do {                                         \
    if (::hestrel_test::rerun_alone()) return; \
  } while (0)

// The records of the fixed handlers (-1 and 0): route, callback, threshold,
// highest level, prefix, collected text and modes; and the table of made
// handlers, of which every one a test made and left is deleted.
class HandlerState {
 public:
  HandlerState() {
    for (int handle : {-1, 0}) {
      const hestrel::errors::handler_tag *h = hestrel::errors::lookup(handle);
      saved_.push_back({handle, *h, copy(h->prefix), copy(h->messages)});
    }
    for (int handle = 1; handle <= kScannedHandles; ++handle)
      if (hestrel::errors::lookup(handle)) in_use_.insert(handle);
  }
  ~HandlerState() {
    for (int handle = 1; handle <= kScannedHandles; ++handle)
      if (!in_use_.count(handle) && hestrel::errors::lookup(handle)) zkerr_delete(handle);
    for (const Saved &s : saved_) {
      hestrel::errors::handler_tag *h = hestrel::errors::lookup(s.handle);
      std::free(h->prefix);
      std::free(h->messages);
      *h = s.record;
      h->prefix = s.prefix ? strdup(s.prefix->c_str()) : nullptr;
      h->messages = s.messages ? strdup(s.messages->c_str()) : nullptr;
    }
  }
  HandlerState(const HandlerState &) = delete;
  HandlerState &operator=(const HandlerState &) = delete;

 private:
  static constexpr int kScannedHandles = 4096;
  struct Saved {
    int handle;
    hestrel::errors::handler_tag record;
    std::optional<std::string> prefix, messages;
  };
  static std::optional<std::string> copy(const char *text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
  }
  std::vector<Saved> saved_;
  std::set<int> in_use_;
};

// The search path's items, when this process shares it with other tests.
// Saving reads the path, which sets it up on its first use: save only once
// HOME is the test's own.
class SearchPathState {
 public:
  void save() {
    if (!shares_process() || saved_) return;
    char *text = nullptr;
    if (zkfile_path_get(&text) == 0 && text) saved_ = std::string(text);
    std::free(text);
  }
  ~SearchPathState() {
    if (!saved_) return;
    if (saved_->empty())
      zkfile_path_clear();
    else
      zkfile_path_set(saved_->c_str());
  }

 private:
  std::optional<std::string> saved_;
};

// The working directory and the file-creation mask.
class WorkingDirectoryState {
 public:
  WorkingDirectoryState() : mask_(umask(022)) {
    umask(mask_);
    if (char *cwd = getcwd(nullptr, 0)) {
      cwd_ = cwd;
      std::free(cwd);
    }
  }
  ~WorkingDirectoryState() {
    umask(mask_);
    if (!cwd_.empty() && chdir(cwd_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << cwd_;
  }
  WorkingDirectoryState(const WorkingDirectoryState &) = delete;
  WorkingDirectoryState &operator=(const WorkingDirectoryState &) = delete;

 private:
  mode_t mask_;
  std::string cwd_;
};

// Base of every fixture: puts back the handlers, the working directory,
// the mask and (once saved) the search path after each test.
class ProcessStateTest : public ::testing::Test {
 protected:
  // Call once the test's HOME is set, before the test changes the path.
  void keep_search_path() { search_path_.save(); }

 private:
  // Members go in reverse: the handlers first, so putting the path back
  // reports to a live route.
  WorkingDirectoryState working_directory_;
  SearchPathState search_path_;
  HandlerState handlers_;
};

}  // namespace hestrel_test

#endif
