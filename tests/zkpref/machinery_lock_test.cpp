// Tests of the look at the settings machinery's lock beside a preference
// file: a plain settings writer caught between making its lock and taking
// it, locks a killed writer left, and what is refused at the lock's name.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <QtCore/QLockFile>
#include <QtCore/QString>

#include "support/child_process.hpp"
#include "support/zkpref_fixtures.hpp"
#include "zkpref.hpp"
#include "zkpref/internal/machinery_lock.hpp"

namespace {

using zkpref_test::ChildChecks;
using zkpref_test::exists;
using zkpref_test::in_child;
using zkpref_test::read_file;
using zkpref_test::write_file;

// Sets a file's times seconds back, as a lock left that long ago has them.
void age_by(const std::string &path, int seconds) {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  now.tv_sec -= seconds;
  const struct timespec times[2] = {now, now};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

int read_byte(int fd) {
  unsigned char c;
  return read(fd, &c, 1) == 1 ? c : -1;
}

class MachineryLockTest : public zkpref_test::PrefTest {
 protected:
  std::string machinery_lock() const { return user_file() + ".lock"; }
  QString pref() const { return QString::fromStdString(user_file()); }
  // The store made the file; nothing is at the lock's name yet.
  void SetUp() override {
    zkpref_test::PrefTest::SetUp();
    write_file(user_file(), "");
  }
};

// What the judgement rests on: a holder of Qt's lock file keeps a flock on
// it and has written its process id into it.
TEST_F(MachineryLockTest, QtLockHolderFlocksTheFileAndWritesItsProcessId) {
  QLockFile held(QString::fromStdString(machinery_lock()));
  ASSERT_TRUE(held.tryLock(0));
  EXPECT_EQ(read_file(machinery_lock()).rfind(std::to_string(getpid()) + "\n", 0), 0u);
  const int fd = open(machinery_lock().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), -1);
  EXPECT_EQ(errno, EWOULDBLOCK);
  close(fd);
}

// A plain settings writer (another program using Qt's settings object with
// the store's format) is held by a preloaded shim after it made its lock
// file and before it takes it: a live lock that is still empty. The store
// syncs exactly then. The shim lets the writer go on once the store's sync
// has looked at the lock three times, or once the lock lost its name.
TEST_F(MachineryLockTest, PlainWritersLockBetweenMakingAndTakingSurvivesASync) {
  const std::string failed = in_child([this] {
    ChildChecks check;
    ZKPREF store(ZKPREF_TRALVENIC);
    int shim[2];
    if (pipe(shim) != 0) return std::string("no pipe");
    const pid_t writer = fork();
    if (writer == 0) {
      close(shim[0]);
      alarm(30);
      setenv("LD_PRELOAD", HESTREL_ZKPREF_SLOW_FLOCK_SHIM, 1);
      setenv("HESTREL_FLOCK_SHIM_FD", std::to_string(shim[1]).c_str(), 1);
      // A sanitizer runtime otherwise insists on coming first.
      setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
      execl(HESTREL_ZKPREF_PLAIN_SETTINGS_WRITER, HESTREL_ZKPREF_PLAIN_SETTINGS_WRITER, user_file().c_str(), "theirs",
            "1", static_cast<char *>(nullptr));
      _exit(127);
    }
    close(shim[1]);
    // Qt makes its lock file before it takes it, and empty.
    check(read_byte(shim[0]) == 'E', "the writer's lock was not empty before its flock");
    check(store.set("mine", QVariant(2), "") == ZKPREF_SUCCESS, "set");
    check(store.syncSettings() == ZKPREF_SUCCESS, "sync");
    check(read_byte(shim[0]) == 'L', "the writer's live lock was removed");
    int status = 0;
    waitpid(writer, &status, 0);
    close(shim[0]);
    check(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the writer's sync failed");
    const std::string text = read_file(user_file());
    check(text.find("<theirs") != std::string::npos, "the writer's key was lost:\n" + text);
    check(text.find("<mine") != std::string::npos, "the store's key was lost:\n" + text);
    return check.failed();
  });
  EXPECT_EQ(failed, "");
}

// A sync killed after Qt made its lock and before it wrote its process id
// leaves an empty lock nobody holds; waiting out Qt's own 30 seconds would
// stall every sync. Left 10 seconds ago, it goes at once.
TEST_F(MachineryLockTest, AbandonedEmptyLockIsRemovedSoTheSyncGoesOn) {
  write_file(machinery_lock(), "");
  age_by(machinery_lock(), 10);
  const std::string failed = in_child(
      [this] {
        ChildChecks check;
        ZKPREF store(ZKPREF_TRALVENIC);
        check(store.set("k", QVariant(1), "") == ZKPREF_SUCCESS, "set");
        check(store.syncSettings() == ZKPREF_SUCCESS, "sync");
        check(read_file(user_file()).find("<k") != std::string::npos, "key not written");
        return check.failed();
      },
      15);
  EXPECT_EQ(failed, "");
  EXPECT_FALSE(exists(machinery_lock()));
}

// What may lie at the lock's name, and whether the look removes it.
struct Found {
  const char *name;
  std::function<void(const std::string &lock, int &held)> make;
  bool removed;
};

class MachineryLockKindTest : public MachineryLockTest, public ::testing::WithParamInterface<Found> {};

TEST_P(MachineryLockKindTest, OnlyAnAbandonedEmptyLockIsRemoved) {
  int held = -1;
  GetParam().make(machinery_lock(), held);
  const std::string before = read_file(machinery_lock());
  EXPECT_EQ(hestrel::zkpref::remove_stale_machinery_lock(pref()), 0);
  EXPECT_EQ(exists(machinery_lock()), !GetParam().removed);
  if (!GetParam().removed) {
    EXPECT_EQ(read_file(machinery_lock()), before);
  }
  if (held >= 0) close(held);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Kinds, MachineryLockKindTest,
    ::testing::Values(
        Found{"abandoned",
              [](const std::string &lock, int &) {
                write_file(lock, "");
                age_by(lock, 10);
              },
              true},
        // A living writer between making and taking it.
        Found{"fresh", [](const std::string &lock, int &) { write_file(lock, ""); }, false},
        Found{"just_young_enough",
              [](const std::string &lock, int &) {
                write_file(lock, "");
                age_by(lock, 1);
              },
              false},
        // Taken by a writer that has not yet written its id.
        Found{"held",
              [](const std::string &lock, int &held) {
                write_file(lock, "");
                age_by(lock, 10);
                held = open(lock.c_str(), O_RDONLY | O_CLOEXEC);
                ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
              },
              false},
        // Qt judges a lock with a process id itself.
        Found{"with_process_id",
              [](const std::string &lock, int &) {
                write_file(lock, "1\nother\nhost\n");
                age_by(lock, 10);
              },
              false},
        Found{"second_name",
              [](const std::string &lock, int &) {
                write_file(lock + ".mine", "");
                ASSERT_EQ(link((lock + ".mine").c_str(), lock.c_str()), 0);
                age_by(lock, 10);
              },
              false},
        Found{"nothing", [](const std::string &, int &) {}, true}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

// Anything but a regular file at the lock's name: Qt would wait on it forever
// (it reads a FIFO, waits for a folder to go), and a link is never followed.
struct Planted {
  const char *name;
  std::function<void(const std::string &lock, const std::string &elsewhere)> plant;
};

class PlantedMachineryLockTest : public MachineryLockTest, public ::testing::WithParamInterface<Planted> {};

TEST_P(PlantedMachineryLockTest, IsALockThatCannotBeTakenAndStays) {
  const std::string elsewhere = home() + "/elsewhere";
  GetParam().plant(machinery_lock(), elsewhere);
  struct stat planted {};
  ASSERT_EQ(lstat(machinery_lock().c_str(), &planted), 0);
  const std::string failed = in_child(
      [this, planted] {
        ChildChecks check;
        // Closed at the end of this scope with its change still pending: the
        // close must not hand Qt a write that would wait on the planted lock.
        ZKPREF store(ZKPREF_TRALVENIC);
        check(store.set("k", QVariant(1), "") == ZKPREF_SUCCESS, "set");
        testing::internal::CaptureStderr();
        check(store.syncSettings() == ZKPREF_LOCK_ERROR, "sync did not report the lock");
        const std::string err = testing::internal::GetCapturedStderr();
        check(err == "Failed to aquire lock in '" + machinery_lock() + "' : not a regular file\n", err);
        struct stat st {};
        check(lstat(machinery_lock().c_str(), &st) == 0 && st.st_ino == planted.st_ino, "the planted lock is gone");
        return check.failed();
      },
      10);
  EXPECT_EQ(failed, "");
}

INSTANTIATE_TEST_SUITE_P(
    Plants, PlantedMachineryLockTest,
    ::testing::Values(Planted{"fifo", [](const std::string &lock,
                                         const std::string &) { ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0); }},
                      Planted{"directory", [](const std::string &lock,
                                              const std::string &) { ASSERT_EQ(mkdir(lock.c_str(), 0700), 0); }},
                      Planted{"link_to_fifo",
                              [](const std::string &lock, const std::string &elsewhere) {
                                ASSERT_EQ(mkfifo(elsewhere.c_str(), 0600), 0);
                                ASSERT_EQ(symlink(elsewhere.c_str(), lock.c_str()), 0);
                              }},
                      Planted{"dangling_link",
                              [](const std::string &lock, const std::string &elsewhere) {
                                ASSERT_EQ(symlink(elsewhere.c_str(), lock.c_str()), 0);
                              }}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
