// Tests of the preference-file guard: real child processes holding and
// waiting for the lock, the lock files it leaves and the ones it refuses.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <QtCore/QString>

#include "support/zkpref_fixtures.hpp"
#include "zkpref/internal/file_lock.hpp"

namespace {

using zkpref_test::exists;
using zkpref_test::read_file;
using zkpref_test::write_file;
using zkfile_test::is_directory;
using zkfile_test::mode_of;

// Waits for one byte on fd; a generous bound only so that a broken lock
// fails the test instead of hanging it. -1 when nothing came.
int read_byte(int fd, int bound_ms = 30000) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, bound_ms) != 1) return -1;
  unsigned char c;
  return read(fd, &c, 1) == 1 ? c : -1;
}

bool has_data(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

// A child process that asks for a guard, tells the parent "T" before it
// asks and then the result of lock(), and keeps the guard until released.
class LockingChild {
 public:
  LockingChild(const QString &path, int mode) {
    if (pipe(report_) != 0 || pipe(release_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(report_[0]);
      close(release_[1]);
      {
        ZKprefProtection guard(path, mode);
        unsigned char trying = 'T';
        if (write(report_[1], &trying, 1) != 1) _exit(2);
        unsigned char rc = static_cast<unsigned char>(guard.lock());
        if (write(report_[1], &rc, 1) != 1) _exit(2);
        unsigned char c;
        if (read(release_[0], &c, 1) < 0) _exit(2);
      }
      _exit(0);
    }
    close(report_[1]);
    close(release_[0]);
  }
  LockingChild(const LockingChild &) = delete;
  LockingChild &operator=(const LockingChild &) = delete;
  ~LockingChild() { finish(); }

  pid_t pid() const { return pid_; }
  int reports() const { return report_[0]; }
  // Lets the child drop its guard and end; true when it ended cleanly.
  bool finish() {
    if (pid_ <= 0) return false;
    unsigned char c = 'R';
    if (write(release_[1], &c, 1) != 1) {
    }
    close(release_[1]);
    close(report_[0]);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  pid_t pid_ = -1;
  int report_[2] = {-1, -1};
  int release_[2] = {-1, -1};
};

// True once the kernel lists a lock request of pid that is blocked.
bool waits_in_kernel(pid_t pid) {
  for (int i = 0; i < 10000; ++i) {
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line))
      if (line.find("->") != std::string::npos && line.find(" " + std::to_string(pid) + " ") != std::string::npos)
        return true;
    usleep(1000);
  }
  return false;
}

class FileLockTest : public zkpref_test::PrefTest {
 protected:
  // The lock file of a path text, computed here from the known layout.
  std::string lock_file(const QString &path) const {
    return std::filesystem::canonical(tmp()).string() + "/" +
           ZKprefProtection::lockFilePath(path).section('/', -1).toStdString();
  }
  QString pref() const { return QString::fromStdString(user_file()); }
};

TEST_F(FileLockTest, LockFileIsNamedByTheDigestOfThePathText) {
  std::string dir = std::filesystem::canonical(tmp()).string();
  EXPECT_EQ(ZKprefProtection::lockFilePath("abc").toStdString(), dir + "/900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(ZKprefProtection::lockFilePath("").toStdString(), dir + "/d41d8cd98f00b204e9800998ecf8427e");
}

struct Pairing {
  int held, asked;
  bool waits;
};

class LockPairingTest : public FileLockTest, public ::testing::WithParamInterface<Pairing> {};

TEST_P(LockPairingTest, SecondProcessWaitsExactlyWhenOneLockIsExclusive) {
  if (!exists("/proc/locks")) GTEST_SKIP() << "no kernel lock list to see a waiting request";
  const Pairing c = GetParam();
  LockingChild holder(pref(), c.held);
  ASSERT_EQ(read_byte(holder.reports()), 'T');
  ASSERT_EQ(read_byte(holder.reports()), 0);

  LockingChild asker(pref(), c.asked);
  ASSERT_EQ(read_byte(asker.reports()), 'T');
  bool holder_clean = true;
  if (c.waits) {
    ASSERT_TRUE(waits_in_kernel(asker.pid()));
    EXPECT_FALSE(has_data(asker.reports()));
    holder_clean = holder.finish();
  }
  EXPECT_EQ(read_byte(asker.reports()), 0);
  EXPECT_TRUE(asker.finish());
  if (!c.waits) holder_clean = holder.finish();
  EXPECT_TRUE(holder_clean);
}

INSTANTIATE_TEST_SUITE_P(Modes, LockPairingTest,
                         ::testing::Values(Pairing{0, 0, false}, Pairing{0, 1, true}, Pairing{1, 0, true},
                                           Pairing{1, 1, true}, Pairing{0, 7, true}),
                         [](const auto &info) {
                           auto name = [](int mode) {
                             return mode == 0 ? std::string("shared") : "exclusive" + std::to_string(mode);
                           };
                           return "held_" + name(info.param.held) + "_asked_" + name(info.param.asked);
                         });

TEST_F(FileLockTest, GuardsOfOneProcessDoNotWaitForEachOther) {
  ZKprefProtection shared(pref(), 0);
  ASSERT_EQ(shared.lock(), 0);
  ZKprefProtection exclusive(pref(), 1);
  EXPECT_EQ(exclusive.lock(), 0);
}

TEST_F(FileLockTest, LockFileIsEmptiedAndStaysAfterGuardAndProcess) {
  std::string file = lock_file(pref());
  write_file(file, "left over");
  {
    ZKprefProtection guard(pref(), 1);
    ASSERT_EQ(guard.lock(), 0);
    EXPECT_EQ(read_file(file), "");
  }
  EXPECT_TRUE(exists(file));

  QString other = pref() + ".corrupt";
  {
    LockingChild child(other, 1);
    ASSERT_EQ(read_byte(child.reports()), 'T');
    ASSERT_EQ(read_byte(child.reports()), 0);
  }
  EXPECT_TRUE(exists(lock_file(other)));
  EXPECT_EQ(read_file(lock_file(other)), "");
  EXPECT_EQ(mode_of(lock_file(other)), 0600);
}

TEST_F(FileLockTest, TextsDifferingByADoubledSlashUseTwoLockFiles) {
  QString single = QString::fromStdString(home() + "/a/b.xml");
  QString doubled = QString::fromStdString(home() + "/a//b.xml");
  ZKprefProtection first(single, 1), second(doubled, 1);
  ASSERT_EQ(first.lock(), 0);
  ASSERT_EQ(second.lock(), 0);
  EXPECT_NE(lock_file(single), lock_file(doubled));
  EXPECT_TRUE(exists(lock_file(single)));
  EXPECT_TRUE(exists(lock_file(doubled)));
  EXPECT_EQ(hestrel::zkpref::lock_path(single), hestrel::zkpref::lock_path(doubled));
}

TEST_F(FileLockTest, OwnLockFileOfWiderModeBecomesOwnerOnly) {
  std::string file = lock_file(pref());
  write_file(file, "x");
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  ZKprefProtection guard(pref(), 0);
  ASSERT_EQ(guard.lock(), 0);
  EXPECT_EQ(mode_of(file), 0600);
}

TEST_F(FileLockTest, NewLockFileIsOwnerOnlyWhateverTheMask) {
  umask(0);  // the fixture puts the mask back
  ZKprefProtection guard(pref(), 1);
  ASSERT_EQ(guard.lock(), 0);
  EXPECT_EQ(mode_of(lock_file(pref())), 0600);
}

TEST_F(FileLockTest, MissingTemporaryDirectoryIsCreatedAndHoldsTheLockFile) {
  std::string missing = root() + "/missing/deeper";
  env.set("TMPDIR", root() + "/missing//deeper/");
  // Qt names no temporary directory while it is missing; the lock file must
  // still lie below TMPDIR, not at the root.
  EXPECT_EQ(ZKprefProtection::lockFilePath(pref()).section('/', 0, -2).toStdString(), missing);
  ZKprefProtection guard(pref(), 1);
  ASSERT_EQ(guard.lock(), 0);
  ASSERT_TRUE(is_directory(missing));
  std::string name = ZKprefProtection::lockFilePath(pref()).section('/', -1).toStdString();
  EXPECT_TRUE(exists(missing + "/" + name));
  EXPECT_EQ(ZKprefProtection::lockFilePath(pref()).toStdString(),
            std::filesystem::canonical(missing).string() + "/" + name);
}

TEST_F(FileLockTest, GuardNeverLockedTouchesNothing) {
  env.set("TMPDIR", root() + "/never");
  testing::internal::CaptureStderr();
  { ZKprefProtection guard(pref(), 1); }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(exists(root() + "/never"));
}

// Something planted at the lock file's name before the guard comes.
struct Planted {
  const char *name;
  std::function<void(const std::string &lock, const std::string &victim)> plant;
  const char *explanation;
};

class RefusedLockFileTest : public FileLockTest, public ::testing::WithParamInterface<Planted> {};

TEST_P(RefusedLockFileTest, IsRefusedWithTheLineAndLeftUntouched) {
  const Planted &c = GetParam();
  if (geteuid() != 0 && std::string(c.name) == "foreign") GTEST_SKIP() << "needs root to give a file away";
  std::string lock = lock_file(pref());
  std::string victim = home() + "/precious";
  write_file(victim, "precious bytes\n");
  ASSERT_EQ(chmod(victim.c_str(), 0640), 0);
  c.plant(lock, victim);

  testing::internal::CaptureStderr();
  int rc;
  {
    ZKprefProtection guard(pref(), 1);
    rc = guard.lock();
  }
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(rc, 9);
  EXPECT_EQ(err, "Failed to aquire lock in '" + lock + "' : " + c.explanation + "\n");
  EXPECT_EQ(read_file(victim), "precious bytes\n");
  EXPECT_EQ(mode_of(victim), 0640);
  struct stat st;
  if (lstat(lock.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    EXPECT_EQ(read_file(lock), "precious bytes\n");
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Plants, RefusedLockFileTest,
    ::testing::Values(
        Planted{"directory", [](const std::string &lock, const std::string &) { mkdir(lock.c_str(), 0700); },
                "Is a directory"},
        Planted{"symlink",
                [](const std::string &lock, const std::string &victim) {
                  (void)!symlink(victim.c_str(), lock.c_str());
                },
                "Too many levels of symbolic links"},
        Planted{"hardlink",
                [](const std::string &lock, const std::string &victim) { (void)!link(victim.c_str(), lock.c_str()); },
                "has more than one link"},
        Planted{"fifo", [](const std::string &lock, const std::string &) { mkfifo(lock.c_str(), 0600); },
                "not a regular file"},
        Planted{"foreign",
                [](const std::string &lock, const std::string &victim) {
                  write_file(lock, read_file(victim));
                  (void)!chown(lock.c_str(), 65534, 65534);
                },
                "owned by another user"}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(FileLockTest, TemporaryDirectoryThatCannotHoldTheLockFails) {
  if (geteuid() == 0) {
    // Root passes permission checks; a lock file under a regular file cannot
    // exist for anyone.
    std::string blocker = root() + "/plain";
    write_file(blocker, "");
    env.set("TMPDIR", blocker);
  } else {
    ASSERT_EQ(chmod(tmp().c_str(), 0500), 0);
  }
  testing::internal::CaptureStderr();
  ZKprefProtection guard(pref(), 1);
  EXPECT_EQ(guard.lock(), 9);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("Failed to aquire lock in '", 0), 0u) << err;
  EXPECT_NE(err.find(ZKprefProtection::lockFilePath(pref()).toStdString() + "' : "), std::string::npos) << err;
}

struct PathForm {
  const char *given;
  const char *expected;  // "@" stands for the working directory
};

TEST_F(FileLockTest, LockPathIsAbsoluteAndClean) {
  const PathForm cases[] = {{"/x/y/z.xml", "/x/y/z.xml"},
                            {"/x//y/./z.xml", "/x/y/z.xml"},
                            {"/x/y/../z.xml", "/x/z.xml"},
                            {"rel/../a.xml", "@/a.xml"},
                            {"a//b.xml", "@/a/b.xml"}};
  for (const auto &c : cases) {
    std::string expected = c.expected;
    if (expected[0] == '@') expected = std::filesystem::current_path().string() + expected.substr(1);
    EXPECT_EQ(hestrel::zkpref::lock_path(c.given).toStdString(), expected) << c.given;
  }
}

}  // namespace
