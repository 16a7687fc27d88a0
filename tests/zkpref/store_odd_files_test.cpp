// Preference files in odd places: a FIFO where a file should be, and the
// lock a killed sync leaves. (The copies killed syncs leave are tested with
// the other faults on the user's file.)
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "zkpref.h"
#include "zkpref/support/child_process.hpp"
#include "zkpref/support/settings_xml.hpp"
#include "zkpref/support/zkpref_fixtures.hpp"

namespace {

using zkpref_test::ChildChecks;
using zkpref_test::QtMessages;
using zkpref_test::read_file;
using zkpref_test::write_file;

const std::string kAccess = "Access error in using settings file. This might be due to permissions or a full disk.";

bool make_fifo(const std::string &path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  return mkfifo(path.c_str(), 0600) == 0;
}

bool warned(const QtMessages &messages, const std::string &start, const std::string &path) {
  const std::string line = start + " setting( \"" + path + "\" ) failed.  \"" + kAccess + "\"";
  return messages.text().find(line) != std::string::npos;
}

class OddFiles : public zkpref_test::PrefTest {};

TEST_F(OddFiles, FifoInPlaceOfAnyPreferenceFileIsNeverOpened) {
  struct Case {
    const char *name;
    std::function<std::string()> run;  // in a child, under an alarm
  };
  const Case cases[] = {
      {"user file refused like a folder",
       [&] {
         ChildChecks check;
         check(make_fifo(user_file()), "fifo made");
         QtMessages messages;
         ZKpref handle = 0;
         check(zkpref_new(&handle, ZKPREF_TRALVENIC) == 1, "opening gives 1");
         check(warned(messages, "initialize_handle : Loading", user_file()), "access warning");
         return check.failed();
       }},
      {"machine-wide and installation-wide files skipped",
       [&] {
         ChildChecks check;
         check(make_fifo(machine_file()) && make_fifo(site_file()), "fifos made");
         QtMessages messages;
         ZKpref handle = 0;
         check(zkpref_new(&handle, ZKPREF_TRALVENIC) == 0, "opening gives 0");
         check(warned(messages, "scan_profile : Loading first level fallback  ", machine_file()),
               "machine-wide warning");
         check(warned(messages, "scan_profile : Loading second level fallback  ", site_file()),
               "installation-wide warning");
         zkpref_delete(handle);
         return check.failed();
       }},
      {"earlier release's file passed over",
       [&] {
         ChildChecks check;
         check(make_fifo(user_file("Tralvenic", "2025-3")), "fifo made");
         write_file(user_file("Tralvenic", "2025-2"), zkpref_test::settings_xml({{"old", "int", "4"}}));
         QtMessages messages;
         ZKpref handle = 0;
         int value = 0;
         check(zkpref_new(&handle, ZKPREF_TRALVENIC) == 0, "opening gives 0");
         check(zkpref_get_int(handle, "old", &value) == 0 && value == 4, "older release carried over");
         zkpref_delete(handle);
         return check.failed();
       }},
      {"user file that became a fifo at sync",
       [&] {
         ChildChecks check;
         ZKpref handle = 0;
         check(zkpref_new(&handle, ZKPREF_TRALVENIC) == 0, "opening gives 0");
         zkpref_set_int(handle, "k", 1);
         check(zkpref_sync(handle) == 0, "first sync");
         zkpref_set_int(handle, "k", 2);
         std::filesystem::remove(user_file());
         check(make_fifo(user_file()), "fifo made");
         check(zkpref_sync(handle) == ZKPREF_ACCESS_ERROR, "sync gives 6");
         zkpref_delete(handle);
         struct stat status {};
         check(stat(user_file().c_str(), &status) == 0 && S_ISFIFO(status.st_mode), "fifo left alone");
         return check.failed();
       }},
  };
  for (const Case &c : cases) {
    std::filesystem::remove_all(home());
    std::filesystem::remove_all(root() + "/etc");
    std::filesystem::remove_all(site_file());
    std::filesystem::create_directories(root() + "/etc");
    EXPECT_EQ(zkpref_test::in_child(c.run, 10), "") << c.name;
  }
}

TEST_F(OddFiles, LockLeftEmptyByAKilledSyncDoesNotStallTheNextSync) {
  const std::string file = user_file();
  write_file(file, zkpref_test::settings_xml({{"k", "int", "1"}}));
  const std::string outcome = zkpref_test::in_child(
      [&] {
        ChildChecks check;
        ZKpref handle = 0;
        check(zkpref_new(&handle, ZKPREF_TRALVENIC) == 0, "opening gives 0");
        // As a sync killed between creating its lock and writing to it left
        // it, a moment ago.
        write_file(file + ".lock", "");
        const timeval earlier[2] = {{time(nullptr) - 2, 0}, {time(nullptr) - 2, 0}};
        check(utimes((file + ".lock").c_str(), earlier) == 0, "lock dated back");
        zkpref_set_int(handle, "k", 2);
        check(zkpref_sync(handle) == 0, "sync gives 0");
        zkpref_delete(handle);
        return check.failed();
      },
      10);
  EXPECT_EQ(outcome, "");
  EXPECT_NE(read_file(file).find(">2</k>"), std::string::npos);
}

}  // namespace
