// Opening and closing a store through real files: the product check, the
// empty file, carry-over from earlier releases, a damaged user file moved
// aside, the shared layers' life, and the file lock seen by other processes.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QSettings>

#include "zkerr.h"
#include "zkpref.hpp"
#include "zkpref/internal/file_lock.hpp"
#include "zkpref/internal/store_access.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/support/zkpref_fixtures.hpp"

namespace {

using zkpref_test::exists;
using zkpref_test::QtMessages;
using zkpref_test::read_file;
using zkpref_test::write_file;

const char *const kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string settings_file(const std::string &body) {
  return std::string(kHeader) + "<ApplicationSettings>" + body + "</ApplicationSettings>\n";
}

std::string lock_file_for(const std::string &tmpdir, const QString &path) {
  QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Md5).toHex();
  return tmpdir + "/" + digest.toStdString();
}

// Keys of a preference file, read through a settings object of the caller's
// own. In one process it shares the store's keys, and opening it writes
// the store's pending changes.
QStringList keys_of(const std::string &path) {
  QSettings view(QString::fromStdString(path), getQSettingsFormat());
  return view.allKeys();
}

class StoreOpenTest : public zkpref_test::PrefTest {
 protected:
  int open_stores() const { return hestrel::zkpref::shared_layers().nactivehandles.load(); }
};

TEST_F(StoreOpenTest, UnknownProductsAreRefusedBeforeAnythingIsTouched) {
  for (int product : {16, -1, 1000}) {
    try {
      ZKPREF store(static_cast<ZKPREF_PRODUCTS>(product));
      FAIL() << "product " << product << " opened";
    } catch (const std::runtime_error &e) {
      EXPECT_STREQ(e.what(), "The product is not recognized by the library.");
    }
  }
  EXPECT_TRUE(QDir(QString::fromStdString(tmp())).isEmpty());
  EXPECT_FALSE(exists(home() + "/.pelmoravine"));
  EXPECT_EQ(open_stores(), 0);
}

TEST_F(StoreOpenTest, WithoutCarryOverAnEmptyFileIsCreatedWithItsDirectory) {
  {
    ZKPREF store(ZKPREF_TRALVENIC, false);
    ASSERT_TRUE(exists(user_file()));
    EXPECT_EQ(read_file(user_file()), "");
    EXPECT_EQ(open_stores(), 1);
  }
  EXPECT_EQ(open_stores(), 0);
}

TEST_F(StoreOpenTest, NewReleaseCarriesOverTheNewestEarlierFileThatHoldsKeys) {
  // Newest first: an empty file and a damaged one are passed over.
  write_file(user_file("Tralvenic", "2025-3"), "");
  write_file(user_file("Tralvenic", "2025-2"), settings_file("<g><k dt=\"int\">"));
  write_file(user_file("Tralvenic", "2024-4"),
             settings_file("<g><k dt=\"int\">5</k><!--note--><k dt=\"int\" os=\"linux\">6</k></g>"));
  write_file(user_file("Tralvenic", "2024-1"), settings_file("<older dt=\"int\">1</older>"));
  const std::string before = read_file(user_file("Tralvenic", "2024-4"));
  {
    QtMessages quiet;
    ZKPREF store(ZKPREF_TRALVENIC);
    EXPECT_FALSE(exists(user_file())) << "written before any synchronisation";
    EXPECT_EQ(store.getKeySource("g/k"), ZKPREF_SOURCE_USER);
    EXPECT_EQ(store.getKeySource("g/k:os=linux"), ZKPREF_SOURCE_USER);
  }
  ASSERT_TRUE(exists(user_file()));
  EXPECT_EQ(keys_of(user_file()), (QStringList{"g/k", "g/k:os=linux"}));
  QSettings written(QString::fromStdString(user_file()), getQSettingsFormat());
  EXPECT_EQ(written.value("g/k:os=linux").toMap().value("comment").toString(), "note");
  EXPECT_EQ(read_file(user_file("Tralvenic", "2024-4")), before);
  EXPECT_TRUE(zkpref_test::xmllint_accepts(user_file()));
}

TEST_F(StoreOpenTest, WithNothingToCarryOverNoFileIsWritten) {
  { ZKPREF store(ZKPREF_VORNAKEL); }
  EXPECT_FALSE(exists(user_file("Vornakel")));
}

TEST_F(StoreOpenTest, OldReleasesComeFromTheHomeDirectoryAndRelease2019_3HasItsOwnStems) {
  env.set("PELMORAVINE_APPDATA_OVERRIDE", root() + "/appdata");
  // Release 2017-1 lies under the home directory whatever the override says.
  write_file(home() + "/.pelmoravine/2017-1/Golvent.xml", settings_file("<old dt=\"int\">1</old>"));
  {
    ZKPREF store(ZKPREF_GOLVENT);
    EXPECT_EQ(keys_of(root() + "/appdata/2025-4/Golvent.xml"), QStringList{"old"});
  }
  // In release 2019-3 product 9 kept its file as "Tirrabel".
  write_file(root() + "/appdata/2019-3/Tirrabel.xml", settings_file("<mid dt=\"int\">2</mid>"));
  std::filesystem::remove(root() + "/appdata/2025-4/Golvent.xml");
  {
    ZKPREF store(ZKPREF_GOLVENT);
    EXPECT_EQ(keys_of(root() + "/appdata/2025-4/Golvent.xml"), QStringList{"mid"});
  }
}

TEST_F(StoreOpenTest, CarryOverLeavesTheDefaultHandlePrintingAsItFoundIt) {
  int state = -1;
  for (bool printing : {true, false}) {
    if (!printing) zkerr_suppress_print(-1);
    { ZKPREF store(ZKPREF_MIRRENDAL); }
    ASSERT_EQ(zkerr_print_state(-1, &state), 1);
    EXPECT_EQ(state, printing ? 1 : 0);
    zkerr_restore_print(-1);
  }
}

TEST_F(StoreOpenTest, DamagedUserFileIsMovedAsideByteForByteAndTheStoreOpensEmpty) {
  const std::string damaged = settings_file("<g><k dt=\"int\">5</k></g>").substr(0, 60);
  write_file(user_file(), damaged);
  write_file(user_file() + ".corrupt", "an older damaged file");
  QtMessages warnings;
  {
    ZKPREF store(ZKPREF_TRALVENIC);
    EXPECT_TRUE(keys_of(user_file()).isEmpty());
  }
  EXPECT_EQ(read_file(user_file() + ".corrupt"), damaged);
  ASSERT_FALSE(warnings.lines().empty());
  const std::string &last = warnings.lines().back();
  EXPECT_NE(last.find("initialize_handle : Loading setting( \"" + user_file() +
                      "\" ) failed.  "
                      "\"Format error in using settings file. This might not be in proper .xml format.\""),
            std::string::npos)
      << last;
}

TEST_F(StoreOpenTest, FailedOpeningDoesNotKeepTheSharedLayersAlive) {
  write_file(user_file(), settings_file("<g>"));
  write_file(machine_file(), settings_file("<m dt=\"int\">1</m>"));
  // A link planted at the ".corrupt" lock's name refuses that lock, so the
  // damaged file cannot be moved aside and the opening fails.
  QString corrupt = hestrel::zkpref::lock_path(QString::fromStdString(user_file())) + ".corrupt";
  ASSERT_EQ(symlink((root() + "/elsewhere").c_str(), lock_file_for(tmp(), corrupt).c_str()), 0);
  QtMessages warnings;
  testing::internal::CaptureStderr();
  EXPECT_THROW(ZKPREF store(ZKPREF_TRALVENIC), std::runtime_error);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(open_stores(), 0);
  EXPECT_FALSE(hestrel::zkpref::shared_layers().zkpref_initialized);
  EXPECT_EQ(read_file(user_file()), settings_file("<g>"));
}

TEST_F(StoreOpenTest, SharedLayersAreReadOncePerSetOfOpenStores) {
  write_file(machine_file(), settings_file("<m dt=\"int\">1</m>"));
  auto machine_value = [] {
    auto &layer = hestrel::zkpref::shared_layers().first_level_settings;
    return layer ? layer->value("m").toMap().value("value").toString().toStdString() : std::string("absent");
  };
  auto first = std::make_unique<ZKPREF>(ZKPREF_TRALVENIC);
  EXPECT_EQ(machine_value(), "1");
  write_file(machine_file(), settings_file("<m dt=\"int\">22</m>"));
  { ZKPREF second(ZKPREF_VORNAKEL); }
  EXPECT_EQ(machine_value(), "1") << "read again while a store stayed open";
  env.set("PELMORAVINE_ZKPREF_TEST", "");
  { ZKPREF third(ZKPREF_VORNAKEL); }
  EXPECT_EQ(machine_value(), "22");
  env.unset("PELMORAVINE_ZKPREF_TEST");
  first.reset();
  EXPECT_EQ(machine_value(), "absent");
  write_file(machine_file(), settings_file("<m dt=\"int\">333</m>"));
  ZKPREF again(ZKPREF_TRALVENIC);
  EXPECT_EQ(machine_value(), "333");
}

TEST_F(StoreOpenTest, DamagedSharedFilesWarnOnceAndAreLeftAlone) {
  const std::string damaged = settings_file("<m dt=\"int\">1</m").substr(0, 50);
  write_file(machine_file(), damaged);
  write_file(site_file(), damaged);
  QtMessages warnings;
  {
    ZKPREF first(ZKPREF_TRALVENIC);
    ZKPREF second(ZKPREF_VORNAKEL);
    EXPECT_FALSE(hestrel::zkpref::shared_layers().first_level_settings);
    EXPECT_FALSE(hestrel::zkpref::shared_layers().second_level_settings);
  }
  int machine = 0, site = 0;
  for (const auto &line : warnings.lines()) {
    if (line.find("scan_profile : Loading first level fallback   setting( \"" + machine_file()) == 0) ++machine;
    if (line.find("scan_profile : Loading second level fallback   setting( \"" + site_file()) == 0) ++site;
  }
  EXPECT_EQ(machine, 1) << warnings.text();
  EXPECT_EQ(site, 1) << warnings.text();
  EXPECT_EQ(read_file(machine_file()), damaged);
  EXPECT_EQ(read_file(site_file()), damaged);
}

TEST_F(StoreOpenTest, AnUnusableLockFileFailsTheOpeningWithCode9) {
  // Open once to learn where the file lies, then plant a directory where
  // its lock file goes.
  QString path = hestrel::zkpref::lock_path(QString::fromStdString(user_file()));
  std::filesystem::create_directories(lock_file_for(tmp(), path));
  testing::internal::CaptureStderr();
  try {
    ZKPREF store(ZKPREF_TRALVENIC);
    ADD_FAILURE() << "opened";
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "Failure to set lock on given settings file.");
  }
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("Failed to aquire lock in '" + lock_file_for(tmp(), path) + "' : ", 0), 0u) << err;
  EXPECT_EQ(open_stores(), 0);
}

TEST_F(StoreOpenTest, RelativeOverrideLocksTheAbsoluteCleanPathAtOpeningAndSynchronisation) {
  env.set("PELMORAVINE_APPDATA_OVERRIDE", "appdata/../appdata");
  write_file(work() + "/appdata/2024-4/Tralvenic.xml", settings_file("<k dt=\"int\">1</k>"));
  {
    ZKPREF store(ZKPREF_TRALVENIC);
    EXPECT_EQ(store.syncSettings(), ZKPREF_SUCCESS);
  }
  QDir locks(QString::fromStdString(tmp()));
  QString clean = QDir::cleanPath(QString::fromStdString(work() + "/appdata/2025-4/Tralvenic.xml"));
  // Beside the lock file, its sync's record of the temporary copy.
  const QString lock = QFileInfo(QString::fromStdString(lock_file_for(tmp(), clean))).fileName();
  EXPECT_EQ(locks.entryList(QDir::Files | QDir::System | QDir::Hidden), (QStringList{lock, lock + ".copy"}));
}

TEST_F(StoreOpenTest, PlatformVariantOfAGroupNameIsWrittenAndReadBack) {
  {
    ZKPREF store(ZKPREF_TRALVENIC);
    ASSERT_EQ(store.set("x/y", QVariant(1), ""), ZKPREF_SUCCESS);
    store.beginOsAttribute(ZKPREF_PLATFORM_NONE);
    ASSERT_EQ(store.set("x", QVariant(2), ""), ZKPREF_SUCCESS);
    EXPECT_EQ(store.syncSettings(), ZKPREF_SUCCESS);
  }
  EXPECT_TRUE(zkpref_test::xmllint_accepts(user_file()));
  ZKPREF again(ZKPREF_TRALVENIC);
  ZKpref_Err err = ZKPREF_FAILURE;
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(again, "x", &err), 2);
  EXPECT_EQ(err, ZKPREF_SUCCESS);
  EXPECT_EQ(hestrel::zkpref::StoreAccess::get<int>(again, "x/y", &err), 1);
  EXPECT_EQ(err, ZKPREF_SUCCESS);
}

// Waits up to ms milliseconds for a byte on fd; true when one came.
bool byte_arrives(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, ms) <= 0) return false;
  char c;
  return read(fd, &c, 1) == 1;
}

TEST_F(StoreOpenTest, OpeningWaitsWhileAnotherProcessSynchronises) {
  int locked[2], release[2], opened[2];
  ASSERT_EQ(pipe(locked), 0);
  ASSERT_EQ(pipe(release), 0);
  ASSERT_EQ(pipe(opened), 0);
  QString path = hestrel::zkpref::lock_path(QString::fromStdString(user_file()));
  pid_t holder = fork();
  if (holder == 0) {
    ZKprefProtection guard(path, 1);
    int rc = guard.lock();
    char c = rc == 0 ? 'L' : 'F';
    if (write(locked[1], &c, 1) != 1) _exit(2);
    if (read(release[0], &c, 1) != 1) _exit(2);
    _exit(0);
  }
  ASSERT_TRUE(byte_arrives(locked[0], 10000));
  pid_t opener = fork();
  if (opener == 0) {
    { ZKPREF store(ZKPREF_TRALVENIC); }
    char c = 'O';
    if (write(opened[1], &c, 1) != 1) _exit(2);
    _exit(0);
  }
  EXPECT_FALSE(byte_arrives(opened[0], 300)) << "opened while the exclusive lock was held";
  char c = 'R';
  ASSERT_EQ(write(release[1], &c, 1), 1);
  EXPECT_TRUE(byte_arrives(opened[0], 10000));
  int status = 0;
  waitpid(holder, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  waitpid(opener, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int fd : {locked[0], locked[1], release[0], release[1], opened[0], opened[1]}) close(fd);
}

}  // namespace
