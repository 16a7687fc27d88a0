// Failed allocations at every point of a typical use of an open preference
// store through the C interface: writing and reading in a group, lists and
// the group tree. No abort, and a clean run after. Opening, synchronising
// and closing are left out: they make Qt objects (the settings object, the
// file saver), and Qt's object construction does not survive a failed
// allocation.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "sweep.hpp"
#include "zkerr.h"
#include "zkpref.h"

namespace {

void free_texts(char **texts, int count) {
  for (int i = 0; i < count; ++i) std::free(texts[i]);
  std::free(texts);
}

// A private HOME and TMPDIR, no shared files; put back afterwards.
class ZkprefSweep : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/hestrel-pref-sweep-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    for (const char *name : {"HOME", "TMPDIR", "PELMORAVINE_MACHINE_PREFERENCE", "PELMORAVINE_SITE_PREFERENCE",
                             "PELMORAVINE_APPDATA_OVERRIDE", "PELMORAVINE_ZKPREF_SANDBOX"}) {
      const char *value = std::getenv(name);
      saved_.push_back({name, value ? value : "", value != nullptr});
    }
    old_cwd_ = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    setenv("HOME", dir_.c_str(), 1);
    setenv("TMPDIR", (dir_ + "/tmp").c_str(), 1);
    setenv("PELMORAVINE_MACHINE_PREFERENCE", "", 1);
    setenv("PELMORAVINE_SITE_PREFERENCE", "", 1);
    unsetenv("PELMORAVINE_APPDATA_OVERRIDE");
    unsetenv("PELMORAVINE_ZKPREF_SANDBOX");
  }
  void TearDown() override {
    if (old_cwd_ != nullptr && chdir(old_cwd_) != 0) ADD_FAILURE() << "chdir back";
    std::free(old_cwd_);
    for (const auto &s : saved_) {
      if (s.was_set)
        setenv(s.name.c_str(), s.value.c_str(), 1);
      else
        unsetenv(s.name.c_str());
    }
    std::string command = "rm -rf '" + dir_ + "'";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
  }
  struct Saved {
    std::string name, value;
    bool was_set;
  };
  std::vector<Saved> saved_;
  std::string dir_;
  char *old_cwd_ = nullptr;
};

void typical_use(ZKpref handle, alloc_test::outcome &out) {
  // What a failed run wrote (with its group refused, say) goes first.
  zkpref_clear(handle);
  out.value(zkpref_begin_group(handle, "view"));
  out.value(zkpref_set_int(handle, "width", 640));
  out.value(zkpref_set_string(handle, "title", "main window"));
  out.value(zkpref_set_bool(handle, "sub/shown", 1));
  int width = -1;
  out.value(zkpref_get_int(handle, "width", &width));
  out.value(width);
  char *title = nullptr;
  out.value(zkpref_get_string(handle, "title", &title));
  out.text(title);
  std::free(title);
  char **keys = nullptr;
  int *values = nullptr;
  int count = -1;
  out.value(zkpref_get_int_list(handle, "", &keys, &values, &count));
  out.value(count);
  if (count > 0) out.text(keys[0]);
  free_texts(keys, count);
  std::free(values);
  zkpref_end_group(handle);
  char **groups = nullptr;
  out.value(zkpref_get_subgroups(handle, 0, &groups, &count));
  out.value(count);
  free_texts(groups, count);
  char *group = zkpref_get_group(handle);
  out.text(group);
  std::free(group);
}

TEST_F(ZkprefSweep, WriteReadAndListInAGroup) {
  ZKpref handle = 0;
  ASSERT_EQ(zkpref_new(&handle, ZKPREF_TRALVENIC), 0);
  // Each position runs in a child of its own, on a copy of this store.
  EXPECT_GT(alloc_test::sweep([handle](alloc_test::outcome &out) { typical_use(handle, out); }), 0);
  zkpref_delete(handle);
}

// What the default handler reports meanwhile, in fixed storage: collecting
// allocates nothing.
char g_reports[4096];
std::size_t g_reports_used = 0;

int collect_report(char *message) {
  std::size_t length = std::strlen(message);
  if (g_reports_used + length < sizeof g_reports) {
    std::memcpy(g_reports + g_reports_used, message, length + 1);
    g_reports_used += length;
  }
  return 0;
}

// Memory that runs out inside the store reaches the C caller as the calling
// function's failure result with its FATAL report, like every other
// C-callable function of the library, and the store stays usable.
TEST_F(ZkprefSweep, MemoryThatRunsOutInsideTheStoreIsReportedByTheCaller) {
  ZKpref handle = 0;
  ASSERT_EQ(zkpref_new(&handle, ZKPREF_TRALVENIC), 0);
  // Names longer than any short-string buffer, so copying them allocates.
  const std::string group = "a_group_name_long_enough_to_need_memory_of_its_own";
  const std::string key = "a_key_name_long_enough_to_need_memory_of_its_own_too";
  ASSERT_EQ(zkpref_begin_group(handle, group.c_str()), 0);
  ASSERT_EQ(zkpref_set_int(handle, key.c_str(), 7), 0);
  struct {
    const char *function;
    long (*call)(ZKpref, const char *);
    long failure;
  } const cases[] = {
      {"zkpref_get_group", [](ZKpref h, const char *) { return long{zkpref_get_group(h) != nullptr}; }, 0},
      {"zkpref_get_settings_file", [](ZKpref h, const char *) { return long{zkpref_get_settings_file(h) != nullptr}; },
       0},
      {"zkpref_get_type", [](ZKpref h, const char *k) { return long{zkpref_get_type(h, k)}; }, ZKPREF_TYPE_NONE},
      {"zkpref_set_string",
       [](ZKpref h, const char *k) { return long{zkpref_set_string(h, k, "a text long enough to need memory")}; },
       ZKPREF_INVALID_KEY},
  };
  zkerr_file(-1, nullptr);
  zkerr_window(-1, collect_report);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.function);
    g_reports_used = 0;
    g_reports[0] = '\0';
    alloc_test::arm(1, true);
    const long result = c.call(handle, key.c_str());
    alloc_test::disarm();
    EXPECT_EQ(result, c.failure);
    EXPECT_EQ(std::string(g_reports), "FATAL " + std::string(c.function) + "(): out of memory\n");
  }
  zkerr_window(-1, nullptr);
  zkerr_file(-1, stderr);
  int value = 0;
  EXPECT_EQ(zkpref_get_int(handle, key.c_str(), &value), 0);
  EXPECT_EQ(value, 7);
  zkpref_end_group(handle);
  zkpref_delete(handle);
}

}  // namespace
