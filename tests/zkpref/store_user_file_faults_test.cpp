// The user's file under the faults users meet: read and open errors, a
// failed flush to disk, the file cut or emptied by another program, a store
// reopened in one process, private permissions, the user's own files beside
// it, a sync killed before its rename and a plain settings writer racing a
// store. Each fault is put on a real child process, at an exact step, by the
// fault shim (support/fault_driver.hpp); nothing waits on time.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QtCore/QBuffer>
#include <QtCore/QSettings>

#include "zkpref.hpp"
#include "zkpref/internal/xml_format.hpp"
#include "zkpref/support/fault_driver.hpp"
#include "zkpref/support/settings_xml.hpp"
#include "zkpref/support/zkpref_fixtures.hpp"

namespace {

using zkpref_test::Driver;
using zkpref_test::read_file;
using zkpref_test::Step;
using zkpref_test::transcript;
using zkpref_test::write_file;

// The keys the driver's setmany and getmany use: g<i%10>/k<i> holding v<i>.
std::string key_of(int i) { return "g" + std::to_string(i % 10) + "/k" + std::to_string(i); }

std::string many_keys_xml(int n) {
  std::vector<zkpref_test::Record> records;
  for (int i = 0; i < n; ++i) records.push_back({key_of(i), "QString", "v" + std::to_string(i)});
  return zkpref_test::settings_xml(records);
}

// The keys a file holds, sorted, read with the format's own reader.
std::vector<std::string> file_keys(const std::string &path) {
  QByteArray bytes = QByteArray::fromStdString(read_file(path));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QSettings::SettingsMap map;
  if (!hestrel::zkpref::readXmlFile(buffer, map)) return {"<does not parse>"};
  std::vector<std::string> keys;
  for (const QString &key : map.keys()) keys.push_back(key.toStdString());
  std::sort(keys.begin(), keys.end());
  return keys;
}

// The keys of setmany n and the others named, sorted as file_keys gives them.
std::vector<std::string> expected_keys(int n, std::vector<std::string> others = {}) {
  for (int i = 0; i < n; ++i) others.push_back(key_of(i));
  std::sort(others.begin(), others.end());
  return others;
}

// Names of Qt's temporary shape beside the file: its name, "." and six letters.
std::set<std::string> temporary_shaped(const std::string &file) {
  const std::filesystem::path path(file);
  const std::string name = path.filename().string();
  std::set<std::string> found;
  for (const auto &entry : std::filesystem::directory_iterator(path.parent_path())) {
    const std::string n = entry.path().filename().string();
    if (n.size() == name.size() + 7 && n.compare(0, name.size() + 1, name + ".") == 0 &&
        std::all_of(n.begin() + static_cast<long>(name.size()) + 1, n.end(), [](char c) { return std::isalpha(c); }))
      found.insert(n);
  }
  return found;
}

std::set<std::string> minus(std::set<std::string> all, const std::set<std::string> &known) {
  for (const std::string &n : known) all.erase(n);
  return all;
}

// What a case's steps see of the test: the file and a place for the bytes a
// pause keeps for a later check.
struct Scene {
  std::string file;
  std::string corrupt;
  std::string output;  // prefix for the drivers' output files
  std::string kept;
  int drivers = 0;

  // Another process's whole run, with what each of its steps must give.
  void other(const std::vector<Step> &steps) {
    Driver d(file, output + std::to_string(++drivers), zkpref_test::commands(steps));
    EXPECT_EQ(d.finish(), transcript(steps)) << d.errors();
  }
  void keep() { kept = read_file(file); }
  void cut_to(std::size_t size) { ASSERT_EQ(truncate(file.c_str(), static_cast<off_t>(size)), 0); }
  void expect_unchanged_and_not_moved() const {
    const std::string now = read_file(file);
    EXPECT_TRUE(now == kept) << "the file changed: " << kept.size() << " bytes before, " << now.size() << " now";
    EXPECT_FALSE(zkpref_test::exists(corrupt));
  }
};

using Action = std::function<void(Scene &)>;

// The user's own files a sync must leave alone: a backup, a copy from before
// an upgrade, a name of Qt's temporary shape that was there before, a link
// bearing such a name, another file's copy.
const char *const kUsersOwn[] = {".backup", ".before", ".AbCdEf"};

void seed_users_own(Scene &s) {
  for (const char *suffix : kUsersOwn) write_file(s.file + suffix, "mine");
  write_file(std::filesystem::path(s.file).replace_filename("Other.xml.abcdef"), "mine");
  std::filesystem::create_symlink(s.file + ".backup", s.file + ".linkXX");
}

void expect_users_own_kept(const Scene &s) {
  for (const char *suffix : kUsersOwn) EXPECT_EQ(read_file(s.file + suffix), "mine") << suffix;
  EXPECT_EQ(read_file(std::filesystem::path(s.file).replace_filename("Other.xml.abcdef")), "mine");
  EXPECT_TRUE(std::filesystem::is_symlink(s.file + ".linkXX"));
}

// The other process of the sync-time cases: it adds a key, so the settings
// machinery reads the file again at the next sync.
void other_adds_theirs(Scene &s) {
  s.other({{"open", "0"}, {"set theirs t", "0"}, {"sync", "0"}, {"close", "done"}});
  s.keep();
}

struct FaultCase {
  const char *name;
  Action seed;                   // before the driver starts
  std::vector<Step> script;      // the driver's steps and what each gives
  std::vector<Action> at_pause;  // one for each "pause", in order
  Action check;                  // after the driver ended
};

void PrintTo(const FaultCase &c, std::ostream *out) { *out << c.name; }

Action seed_keys(int n, mode_t mode = 0644) {
  return [n, mode](Scene &s) {
    write_file(s.file, many_keys_xml(n));
    ASSERT_EQ(chmod(s.file.c_str(), mode), 0);
    s.keep();
  };
}

// The keys in want and not in got, and those in got and not in want.
std::string key_difference(const std::vector<std::string> &got, const std::vector<std::string> &want) {
  std::vector<std::string> missing, unexpected;
  std::set_difference(want.begin(), want.end(), got.begin(), got.end(), std::back_inserter(missing));
  std::set_difference(got.begin(), got.end(), want.begin(), want.end(), std::back_inserter(unexpected));
  std::string text;
  for (const std::string &k : missing) text += " -" + k;
  for (const std::string &k : unexpected) text += " +" + k;
  return text;
}

void expect_keys(const std::string &file, int n, const std::vector<std::string> &others) {
  const std::vector<std::string> got = file_keys(file), want = expected_keys(n, others);
  EXPECT_EQ(key_difference(got, want), "") << got.size() << " keys in the file, " << want.size() << " expected";
}

Action expect_file_keys(int n, std::vector<std::string> others = {}) {
  return [n, others](Scene &s) { expect_keys(s.file, n, others); };
}

// Permission bits in octal, as a reader compares them.
std::string octal_mode(const std::string &path) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(hestrel_test::mode_of(path)));
  return text;
}

Action expect_private(bool corrupt_too) {
  return [corrupt_too](Scene &s) {
    EXPECT_EQ(octal_mode(s.file), "0600");
    if (corrupt_too) {
      EXPECT_EQ(octal_mode(s.corrupt), "0600");
    }
  };
}

Action both(Action a, Action b) {
  return [a, b](Scene &s) {
    a(s);
    b(s);
  };
}

// The sync-time read faults: the store wrote 50 keys, perhaps has a change
// of its own pending, and another process added a key; the fault strikes the
// sync's re-read. Keys the store wrote itself are the settings machinery's
// alone: no read of the format's reader saw them.
FaultCase reread_fails(const char *name, const char *fault, bool pending) {
  std::vector<Step> script{{"open", "0"}, {"setmany 50", "50"}, {"sync", "0"}};
  if (pending) script.push_back({"set mine m", "0"});
  script.insert(script.end(), {{"pause", "resumed"},
                               {std::string("fault ") + fault, "ok"},
                               {"sync", "6"},
                               {"pause", "resumed"},
                               {"getmany 50", "50"}});
  if (pending) script.push_back({"get mine", "m"});
  script.insert(script.end(), {{"fault off", "ok"}, {"sync", "0"}, {"get theirs", "t"}, {"close", "done"}});
  return {name,
          nullptr,
          script,
          {other_adds_theirs, [](Scene &s) { s.expect_unchanged_and_not_moved(); }},
          both(pending ? expect_file_keys(50, {"mine", "theirs"}) : expect_file_keys(50, {"theirs"}),
               [](Scene &s) { EXPECT_FALSE(zkpref_test::exists(s.corrupt)); })};
}

// clang-format off
const FaultCase kCases[] = {
    {"UsersOwnFilesBesideTheFileStay", both(seed_keys(3), seed_users_own),
     {{"open", "0"}, {"set k 1", "0"}, {"sync", "0"}, {"close", "done"}},
     {},
     both(expect_file_keys(3, {"k"}), expect_users_own_kept)},

    // Qt answers a second opening in one process from its cache, without
    // reading: the store must still know what the file held.
    {"ReopenedInTheSameProcessKeepsEveryKeyOfAFileCutInHalf", nullptr,
     {{"open", "0"}, {"setmany 20", "20"}, {"sync", "0"}, {"close", "done"},
      {"open", "0"}, {"pause", "resumed"}, {"set x 1", "0"}, {"sync", "7"},
      {"getmany 20", "20"}, {"get x", "1"}, {"close", "done"}},
     {[](Scene &s) {
       s.keep();
       s.cut_to(s.kept.size() / 2);
       s.kept = s.kept.substr(0, s.kept.size() / 2);
     }},
     both(expect_file_keys(20, {"x"}), [](Scene &s) { EXPECT_TRUE(read_file(s.corrupt) == s.kept) << "moved aside"; })},

    // The reader gets the first KiB of 1000 keys, then EIO: a file that
    // could not be read is not damaged. The retry runs in the same process.
    {"ReadErrorAtOpeningLeavesTheFileAndOpensNothing", seed_keys(1000),
     {{"fault read EIO 1024", "ok"}, {"open", "1 no handle"}, {"pause", "resumed"},
      {"fault off", "ok"}, {"open", "0"}, {"getmany 1000", "1000"}, {"close", "done"}},
     {[](Scene &s) { s.expect_unchanged_and_not_moved(); }},
     [](Scene &s) { s.expect_unchanged_and_not_moved(); }},

    reread_fails("ReadErrorAtSyncKeepsTheFileAndEveryKey", "read EIO 1024", true),
    reread_fails("ReadErrorAtSyncWithNothingPending", "read EIO 1024", false),
    reread_fails("OpenErrorAtSyncKeepsEveryKey", "open EIO", false),
    reread_fails("OutOfDescriptorsAtSyncKeepsEveryKey", "open EMFILE", false),

    {"FailedFlushToDiskKeepsTheOldFile", seed_keys(50),
     {{"open", "0"}, {"set mine m", "0"}, {"fault fsync EIO", "ok"}, {"sync", "6"}, {"pause", "resumed"},
      {"getmany 50", "50"}, {"get mine", "m"}, {"fault off", "ok"}, {"sync", "0"}, {"close", "done"}},
     {[](Scene &s) { s.expect_unchanged_and_not_moved(); }},
     expect_file_keys(50, {"mine"})},

    {"CopyOfAFileDamagedAtSyncKeepsItsPrivateMode", seed_keys(3, 0600),
     {{"umask 022", "set"}, {"open", "0"}, {"pause", "resumed"}, {"set mine m", "0"}, {"sync", "7"},
      {"close", "done"}},
     {[](Scene &s) { s.cut_to(s.kept.size() / 2); }},
     both(expect_private(true), expect_file_keys(3, {"mine"}))},

    {"FileDamagedAtOpeningIsReplacedWithItsPrivateMode",
     [](Scene &s) {
       write_file(s.file, many_keys_xml(3).substr(0, 70));
       ASSERT_EQ(chmod(s.file.c_str(), 0600), 0);
     },
     {{"umask 022", "set"}, {"open", "0"}, {"set mine m", "0"}, {"sync", "0"}, {"close", "done"}},
     {},
     both(expect_private(true), expect_file_keys(0, {"mine"}))},

    {"OrdinaryRewriteKeepsThePrivateMode", seed_keys(3, 0600),
     {{"umask 022", "set"}, {"open", "0"}, {"set mine m", "0"}, {"sync", "0"}, {"close", "done"}},
     {},
     both(expect_private(false), expect_file_keys(3, {"mine"}))},

    // No writer of this format leaves a file that held keys empty.
    {"FileCutToNothingIsDamage", seed_keys(50),
     {{"open", "0"}, {"pause", "resumed"}, {"sync", "7"}, {"getmany 50", "50"}, {"close", "done"}},
     {[](Scene &s) { s.cut_to(0); }},
     expect_file_keys(50)},

    {"FileCutToNothingIsDamageWithAChangePending", seed_keys(50),
     {{"open", "0"}, {"set mine m", "0"}, {"pause", "resumed"}, {"sync", "7"}, {"getmany 50", "50"},
      {"close", "done"}},
     {[](Scene &s) { s.cut_to(0); }},
     expect_file_keys(50, {"mine"})},

    {"EmptyFileTheStoreMadeSyncs", nullptr,
     {{"open-empty", "0"}, {"sync", "0"}, {"set k v", "0"}, {"sync", "0"}, {"close", "done"}},
     {},
     expect_file_keys(0, {"k"})},

    {"FileEmptyAtOpeningSyncs", [](Scene &s) { write_file(s.file, ""); },
     {{"open", "0"}, {"sync", "0"}, {"set k v", "0"}, {"sync", "0"}, {"close", "done"}},
     {},
     expect_file_keys(0, {"k"})},
};
// clang-format on

class UserFileFaults : public zkpref_test::PrefTest {
 protected:
  Scene scene() const { return {user_file(), user_file() + ".corrupt", root() + "/driver", "", 0}; }
};

class UserFileFault : public UserFileFaults, public testing::WithParamInterface<FaultCase> {};

TEST_P(UserFileFault, StoreKeepsEveryKeyAndTheUsersFiles) {
  const FaultCase &c = GetParam();
  Scene s = scene();
  std::filesystem::create_directories(release_dir());
  if (c.seed) c.seed(s);
  if (HasFatalFailure()) return;
  Driver d(s.file, s.output, zkpref_test::commands(c.script));
  for (const Action &at_pause : c.at_pause) {
    ASSERT_TRUE(d.stalled()) << d.finish() << d.errors();
    at_pause(s);
    d.resume();
  }
  EXPECT_EQ(d.finish(), transcript(c.script)) << d.errors();
  c.check(s);
}

INSTANTIATE_TEST_SUITE_P(Faults, UserFileFault, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FaultCase> &info) { return std::string(info.param.name); });

// A sync killed while its copy waits, empty before its first write or whole
// before its rename, leaves that copy; the next sync removes it, and nothing
// else. Kills in a row leave one copy, not a pile.
TEST_F(UserFileFaults, CopyLeftByAKilledSyncIsRemovedByTheNextSync) {
  Scene s = scene();
  write_file(s.file, many_keys_xml(3));
  seed_users_own(s);
  const std::set<std::string> before = temporary_shaped(s.file);
  const char *const kill_points[] = {"stall write", "stall rename", "stall rename"};
  for (const char *kill_point : kill_points) {
    SCOPED_TRACE(std::string("killed at ") + kill_point);
    Driver d(s.file, s.output + std::to_string(++s.drivers),
             {"open", "set killed " + std::to_string(s.drivers), std::string("fault ") + kill_point, "sync"}, true);
    ASSERT_TRUE(d.stalled()) << d.finish() << d.errors();
    const std::set<std::string> left = minus(temporary_shaped(s.file), before);
    ASSERT_EQ(left.size(), 1u) << "the stalled sync shows its copy";
    d.kill();
    EXPECT_EQ(minus(temporary_shaped(s.file), before), left);
  }
  s.other({{"open", "0"}, {"set k 1", "0"}, {"sync", "0"}, {"close", "done"}});
  EXPECT_EQ(minus(temporary_shaped(s.file), before), std::set<std::string>());
  expect_users_own_kept(s);
  expect_keys(s.file, 3, {"k"});
  EXPECT_TRUE(zkpref_test::xmllint_accepts(s.file));
}

// A plain settings writer on the same file takes the settings machinery's
// lock, not the store's: a store sync that runs while the writer's copy
// waits for its rename must leave that copy to it.
TEST_F(UserFileFaults, PlainWriterStalledInItsRenameKeepsItsChange) {
  Scene s = scene();
  write_file(s.file, many_keys_xml(3));
  const std::set<std::string> before = temporary_shaped(s.file);
  const std::vector<Step> writer_steps{
      {"qopen", "status 0"}, {"qset w 1", "status 0"}, {"fault stall rename", "ok"}, {"qsync", "status 0"}};
  Driver writer(s.file, s.output + "w", zkpref_test::commands(writer_steps), true);
  ASSERT_TRUE(writer.stalled()) << writer.finish() << writer.errors();
  ASSERT_EQ(minus(temporary_shaped(s.file), before).size(), 1u) << "the writer's copy waits for its rename";

  // The store is stopped once its sync waits for the writer's lock: all it
  // did before that, it did while the writer's copy waited.
  const std::vector<Step> store_steps{
      {"open", "0"}, {"set s 1", "0"}, {"fault stall lock-wait", "ok"}, {"sync", "0"}, {"close", "done"}};
  Driver store(s.file, s.output + "s", zkpref_test::commands(store_steps));
  ASSERT_TRUE(store.stalled()) << store.finish() << store.errors();
  writer.resume();
  EXPECT_EQ(writer.finish(), transcript(writer_steps)) << writer.errors();
  store.resume();
  EXPECT_EQ(store.finish(), transcript(store_steps)) << store.errors();
  expect_keys(s.file, 3, {"s", "w"});
}

// The settings machinery answers a second settings object on a file that is
// unchanged on disk (same size and modification time) from its per-process
// cache, without reading the file, while the first is open and after it is
// gone; a file of another size it reads again. This is why a store reopened
// in one process cannot learn the file's keys from the format's reader. A
// read that failed is cached too: the next object on the unchanged file
// holds no key and reports no error.
TEST_F(UserFileFaults, QtAnswersAnUnchangedFileFromItsProcessCache) {
  const std::string file = user_file();
  write_file(file, zkpref_test::settings_xml({{"a", "int", "1"}}));
  struct stat written {};
  ASSERT_EQ(stat(file.c_str(), &written), 0);
  const auto same_size_other_key = [&] {
    write_file(file, zkpref_test::settings_xml({{"b", "int", "1"}}));
    const timespec times[2] = {written.st_atim, written.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  };
  const QString name = QString::fromStdString(file);
  {
    QSettings first(name, getQSettingsFormat());
    ASSERT_TRUE(first.contains("a"));
    same_size_other_key();
    QSettings second(name, getQSettingsFormat());
    EXPECT_TRUE(second.contains("a"));
    EXPECT_FALSE(second.contains("b"));
  }
  {
    QSettings after_close(name, getQSettingsFormat());
    EXPECT_TRUE(after_close.contains("a"));
    EXPECT_FALSE(after_close.contains("b"));
  }
  write_file(file, zkpref_test::settings_xml({{"bb", "int", "1"}}));
  QSettings resized(name, getQSettingsFormat());
  EXPECT_TRUE(resized.contains("bb"));

  const QString damaged = QString::fromStdString(user_file("Vornakel"));
  write_file(damaged.toStdString(), zkpref_test::settings_xml({{"a", "int", "1"}}).substr(0, 70));
  zkpref_test::QtMessages reader_warnings;
  {
    QSettings failed(damaged, getQSettingsFormat());
    EXPECT_EQ(failed.status(), QSettings::FormatError);
  }
  QSettings after_failure(damaged, getQSettingsFormat());
  EXPECT_EQ(after_failure.status(), QSettings::NoError);
  EXPECT_TRUE(after_failure.allKeys().isEmpty());
}

}  // namespace
