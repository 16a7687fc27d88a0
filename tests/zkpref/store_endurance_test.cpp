// What must keep holding while processes die and crowd one preference file:
// a sync or close killed at any step leaves the file whole, writers beside
// readers lose no key, and a file cut after any byte still opens.
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QBuffer>
#include <QtCore/QSettings>
#include <QtCore/QVariantMap>

#include "zkpref.h"
#include "zkpref.hpp"
#include "zkpref/internal/xml_format.hpp"
#include "zkpref/support/settings_xml.hpp"
#include "zkpref/support/zkpref_fixtures.hpp"

namespace {

using zkpref_test::QtMessages;
using zkpref_test::read_file;
using zkpref_test::write_file;

bool read_map(const std::string &bytes, QSettings::SettingsMap *map) {
  QByteArray data = QByteArray::fromStdString(bytes);
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  return hestrel::zkpref::readXmlFile(buffer, *map);
}

// Empty when the file holds the 2000 keys of one round of the sync loop.
std::string one_whole_round(const std::string &path) {
  QSettings::SettingsMap map;
  if (!read_map(read_file(path), &map)) return "file does not parse";
  if (map.size() != 2000) return "file holds " + std::to_string(map.size()) + " keys";
  std::set<int> rounds;
  for (auto it = map.cbegin(); it != map.cend(); ++it) rounds.insert(it.value().toMap().value("value").toInt() / 10000);
  return rounds.size() == 1 ? "" : "file mixes rounds";
}

// How a run of the sync loop under the step shim went: the steps it
// announced, and its wait status.
struct StepRun {
  int steps = 0;
  int status = 0;
  bool killed() const { return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL; }
};

// Runs the sync loop in the given mode, stopped before each step of writing
// until it is let go; killed right before step kill_at (counted from 1), or
// let run to its end when kill_at is 0.
StepRun run_sync_loop(const char *mode, int kill_at) {
  StepRun run;
  int channel[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, channel) != 0) return run;
  const pid_t pid = fork();
  if (pid == 0) {
    close(channel[0]);
    setenv("HESTREL_STEP_FD", std::to_string(channel[1]).c_str(), 1);
    setenv("LD_PRELOAD", HESTREL_ZKPREF_STEP_SHIM, 1);
    // A sanitizer runtime otherwise insists on coming first.
    setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
    alarm(60);
    execl(HESTREL_ZKPREF_SYNC_LOOP, HESTREL_ZKPREF_SYNC_LOOP, mode, static_cast<char *>(nullptr));
    _exit(127);
  }
  close(channel[1]);
  char byte;
  while (read(channel[0], &byte, 1) == 1) {
    if (++run.steps == kill_at) {
      kill(pid, SIGKILL);
      break;
    }
    if (send(channel[0], &byte, 1, MSG_NOSIGNAL) != 1) break;
  }
  close(channel[0]);
  waitpid(pid, &run.status, 0);
  return run;
}

using Endurance = zkpref_test::PrefTest;

// Killed right before any step of a sync or a close, within the first three
// rounds, the file holds one whole round.
TEST_F(Endurance, SyncOrCloseKilledAtAnyStepLeavesTheFileWhole) {
  const StepRun once = run_sync_loop("once", 0);
  ASSERT_TRUE(WIFEXITED(once.status) && WEXITSTATUS(once.status) == 0) << once.status;
  // Making the file and writing one round; each later round takes about as many.
  ASSERT_GT(once.steps, 0) << "the shim announced no step";
  ASSERT_EQ(one_whole_round(user_file()), "");
  std::mt19937 random(4242);
  for (const char *mode : {"loop", "close"}) {
    for (int kill_round = 0; kill_round < 10; ++kill_round) {
      const int kill_at = 1 + static_cast<int>(random() % (3 * once.steps));
      SCOPED_TRACE(testing::Message() << mode << " killed before step " << kill_at);
      const StepRun run = run_sync_loop(mode, kill_at);
      EXPECT_TRUE(run.killed()) << run.status;
      EXPECT_EQ(run.steps, kill_at);
      EXPECT_EQ(one_whole_round(user_file()), "");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(user_file() + ".corrupt"));
}

TEST_F(Endurance, WritersBesideReadersLoseNoKeyAndNoReaderSeesADamagedFile) {
  constexpr int writers = 6, readers = 2, keys = 30;
  const std::string done = root() + "/writers_done";
  std::vector<pid_t> reading, writing;
  for (int r = 0; r < readers; ++r) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      alarm(60);
      QtMessages quiet;
      int failures = 0;
      while (!std::filesystem::exists(done)) {
        ZKpref handle = 0;
        failures += zkpref_new(&handle, ZKPREF_TRALVENIC) != 0;
        zkpref_delete(handle);
        failures += std::filesystem::exists(user_file() + ".corrupt");
      }
      _exit(failures ? 1 : 0);
    }
    reading.push_back(pid);
  }
  for (int w = 0; w < writers; ++w) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      alarm(60);
      ZKpref handle = 0;
      int failures = zkpref_new(&handle, ZKPREF_TRALVENIC) != 0;
      for (int k = 0; k < keys && !failures; ++k) {
        const std::string key = "w" + std::to_string(w) + "/k" + std::to_string(k);
        failures += zkpref_set_int(handle, key.c_str(), w * 1000 + k) != ZKPREF_SUCCESS;
        failures += zkpref_sync(handle) != ZKPREF_SUCCESS;
      }
      zkpref_delete(handle);
      _exit(failures ? 1 : 0);
    }
    writing.push_back(pid);
  }
  int status = 0;
  for (pid_t pid : writing) {
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer";
  }
  write_file(done, "");
  for (pid_t pid : reading) {
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "reader";
  }
  QSettings::SettingsMap map;
  ASSERT_TRUE(read_map(read_file(user_file()), &map));
  EXPECT_EQ(map.size(), writers * keys);
}

TEST_F(Endurance, FileCutAfterAnyByteOpens) {
  const std::string whole = zkpref_test::settings_xml(
      {{"a", "int", "1"}, {"g/b", "QString", "two"}, {"g/h/c", "double", "3.5"}, {"g/h/c:os=linux", "bool", "true"}});
  QtMessages quiet;
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    const std::string part = whole.substr(0, cut);
    std::filesystem::remove(user_file() + ".corrupt");
    write_file(user_file(), part);
    QSettings::SettingsMap expected;
    const bool parses = read_map(part, &expected);
    std::unique_ptr<ZKPREF> store;
    ASSERT_NO_THROW(store = std::make_unique<ZKPREF>(ZKPREF_TRALVENIC)) << "cut at " << cut;
    if (parses) {
      EXPECT_FALSE(std::filesystem::exists(user_file() + ".corrupt")) << "cut at " << cut;
      EXPECT_EQ(store->hasKey("a"), expected.contains("a") ? ZKPREF_SUCCESS : ZKPREF_KEY_NOT_FOUND);
    } else {
      EXPECT_EQ(read_file(user_file() + ".corrupt"), part) << "cut at " << cut;
      EXPECT_EQ(store->hasKey("a"), ZKPREF_KEY_NOT_FOUND) << "cut at " << cut;
    }
  }
}

}  // namespace
