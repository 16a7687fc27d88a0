// Synchronisation under faults users meet: a write cut by a size limit or a
// full disk, the sync after a failed one, and a file damaged on disk by
// another program while the store is open.
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QBuffer>
#include <QtCore/QSettings>
#include <QtCore/QVariantMap>

#include "zkpref.h"
#include "zkpref/internal/xml_format.hpp"
#include "zkpref/support/child_process.hpp"
#include "zkpref/support/settings_xml.hpp"
#include "zkpref/support/zkpref_fixtures.hpp"

namespace {

using zkpref_test::ChildChecks;
using zkpref_test::QtMessages;
using zkpref_test::read_file;
using zkpref_test::write_file;

// The keys a file holds, read with the format's own reader.
QStringList file_keys(const std::string &path) {
  QByteArray bytes = QByteArray::fromStdString(read_file(path));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QSettings::SettingsMap map;
  if (!hestrel::zkpref::readXmlFile(buffer, map)) return {QStringLiteral("<does not parse>")};
  return map.keys();
}

std::string text_of(ZKpref handle, const std::string &key) {
  char *value = nullptr;
  if (zkpref_get_string(handle, key.c_str(), &value) != ZKPREF_SUCCESS || !value) return "<missing>";
  std::string text = value;
  std::free(value);
  return text;
}

// A way to make the next write fail and then succeed again; apply and lift
// run in the child only.
struct WriteLimit {
  const char *name;
  std::function<std::string(const std::string &folder)> prepare;  // "SKIP" to skip
  std::function<bool(const std::string &folder)> apply;
  std::function<bool(const std::string &folder)> lift;
};

rlim_t saved_hard_limit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  return limit.rlim_max;
}

const WriteLimit kLimits[] = {
    {"FileSizeLimit", [](const std::string &) { return std::string(); },
     [](const std::string &) {
       signal(SIGXFSZ, SIG_IGN);
       rlimit limit{2048, saved_hard_limit()};
       return setrlimit(RLIMIT_FSIZE, &limit) == 0;
     },
     [](const std::string &) {
       rlimit limit{saved_hard_limit(), saved_hard_limit()};
       return setrlimit(RLIMIT_FSIZE, &limit) == 0;
     }},
    {"FullTmpfs",
     [](const std::string &folder) {
       // A private mount namespace: the mount goes when the child does.
       std::filesystem::create_directories(folder);
       if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 ||
           mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
           mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
         return std::string("SKIP");
       return std::string();
     },
     [](const std::string &folder) {
       FILE *filler = std::fopen((folder + "/filler").c_str(), "wb");
       if (!filler) return false;
       std::setvbuf(filler, nullptr, _IONBF, 0);
       const std::string block(512, 'x');
       while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
       }
       std::fclose(filler);
       return true;
     },
     [](const std::string &folder) { return std::remove((folder + "/filler").c_str()) == 0; }},
};

void PrintTo(const WriteLimit &limit, std::ostream *out) { *out << limit.name; }

class SyncFaults : public zkpref_test::PrefTest, public testing::WithParamInterface<WriteLimit> {};

TEST_P(SyncFaults, FailedWriteLeavesTheFileWholeAndTheNextSyncReportsItsOwnResult) {
  const WriteLimit &limit = GetParam();
  const std::string folder = release_dir(), file = user_file();
  const std::string outcome = zkpref_test::in_child([&] {
    if (limit.prepare(folder) == "SKIP") return std::string("SKIP");
    ChildChecks check;
    ZKpref handle = 0;
    if (zkpref_new(&handle, ZKPREF_TRALVENIC) != 0) return std::string("no store");
    for (int i = 0; i < 100; ++i)
      zkpref_set_string(handle, ("k" + std::to_string(i)).c_str(), ("text " + std::to_string(i)).c_str());
    check(zkpref_sync(handle) == ZKPREF_SUCCESS && file_keys(file).size() == 100, "first sync");
    const std::string before = read_file(file);
    check(before.size() > 2048, "file larger than the limit");

    check(limit.apply(folder), "limit applied");
    zkpref_set_string(handle, "late", "one more");
    check(zkpref_sync(handle) == ZKPREF_ACCESS_ERROR, "sync under the limit gives 6");
    check(read_file(file) == before, "file unchanged byte for byte");
    check(text_of(handle, "k0") == "text 0" && text_of(handle, "k99") == "text 99" &&
              text_of(handle, "late") == "one more",
          "store still answers");

    check(limit.lift(folder), "limit lifted");
    check(zkpref_sync(handle) == ZKPREF_SUCCESS, "sync after the limit is lifted gives 0");
    check(zkpref_sync(handle) == ZKPREF_SUCCESS, "and so does the one after");
    check(file_keys(file).contains("late") && file_keys(file).size() == 101, "file holds every key");
    zkpref_delete(handle);
    return check.failed();
  });
  if (outcome == "SKIP") GTEST_SKIP() << "needs root and a mount namespace";
  EXPECT_EQ(outcome, "");
}

INSTANTIATE_TEST_SUITE_P(Limits, SyncFaults, testing::ValuesIn(kLimits),
                         [](const testing::TestParamInfo<WriteLimit> &info) { return std::string(info.param.name); });

using DamagedOnDisk = zkpref_test::PrefTest;

TEST_F(DamagedOnDisk, SyncMovesTheBytesAsideAndKeepsEveryKey) {
  struct Case {
    const char *name;
    bool copy_possible;
    bool pending;  // the store has a change of its own to write
  };
  const std::string whole = zkpref_test::settings_xml({{"a", "int", "1"}, {"b", "int", "2"}, {"c", "int", "3"}});
  const std::string damaged = whole.substr(0, whole.size() - 40);
  for (const Case &c :
       {Case{"copy made", true, true}, Case{"copy refused", false, true}, Case{"nothing pending", true, false}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(user_file() + ".corrupt");
    write_file(user_file(), whole);
    // A folder in the copy's place refuses the copy.
    if (!c.copy_possible) std::filesystem::create_directories(user_file() + ".corrupt");
    QtMessages warnings;
    ZKpref handle = 0;
    ASSERT_EQ(zkpref_new(&handle, ZKPREF_TRALVENIC), 0);
    if (c.pending) zkpref_set_int(handle, "mine", 9);
    write_file(user_file(), damaged);
    const QStringList held = c.pending ? QStringList({"a", "b", "c", "mine"}) : QStringList({"a", "b", "c"});

    EXPECT_EQ(zkpref_sync(handle), ZKPREF_FORMAT_ERROR);
    if (c.copy_possible) {
      EXPECT_EQ(read_file(user_file() + ".corrupt"), damaged);
      // Written even with nothing pending: left in place, the damaged file
      // would open empty elsewhere.
      EXPECT_EQ(file_keys(user_file()), held);
    } else {
      EXPECT_EQ(read_file(user_file()), damaged);
      // Still refused while no copy can be made; written once it can.
      EXPECT_NE(zkpref_sync(handle), ZKPREF_SUCCESS);
      EXPECT_EQ(read_file(user_file()), damaged);
      std::filesystem::remove_all(user_file() + ".corrupt");
      // The sync that moves the bytes aside reports the damage it mends.
      EXPECT_EQ(zkpref_sync(handle), ZKPREF_FORMAT_ERROR);
      EXPECT_EQ(zkpref_sync(handle), ZKPREF_SUCCESS);
      EXPECT_EQ(read_file(user_file() + ".corrupt"), damaged);
      EXPECT_EQ(file_keys(user_file()), QStringList({"a", "b", "c", "mine"}));
    }
    for (const auto &[key, value] : {std::pair{"a", 1}, {"b", 2}, {"c", 3}, {"mine", 9}}) {
      if (!held.contains(key)) continue;
      int got = 0;
      EXPECT_EQ(zkpref_get_int(handle, key, &got), ZKPREF_SUCCESS) << key;
      EXPECT_EQ(got, value) << key;
    }
    zkpref_delete(handle);
    EXPECT_EQ(file_keys(user_file()), held);
  }
}

TEST_F(DamagedOnDisk, SecondStoreOpenedOnTheDamagedFileKeepsTheFirstStoresKeys) {
  write_file(user_file(), zkpref_test::settings_xml({{"a", "int", "1"}}));
  QtMessages warnings;
  ZKpref first = 0, second = 0;
  ASSERT_EQ(zkpref_new(&first, ZKPREF_TRALVENIC), 0);
  zkpref_set_int(first, "mine", 9);
  const std::string damaged = "<?xml version=\"1.0\"?><ApplicationSettings><a dt=\"int\">1</a><b";
  write_file(user_file(), damaged);
  ASSERT_EQ(zkpref_new(&second, ZKPREF_TRALVENIC), 0);
  EXPECT_EQ(read_file(user_file() + ".corrupt"), damaged);
  int value = 0;
  EXPECT_EQ(zkpref_get_int(second, "a", &value), ZKPREF_SUCCESS);
  EXPECT_EQ(zkpref_get_int(second, "mine", &value), ZKPREF_SUCCESS);
  zkpref_delete(second);
  zkpref_delete(first);
  EXPECT_EQ(file_keys(user_file()), QStringList({"a", "mine"}));
}

}  // namespace
