// The behaviours of Qt's settings machinery that the store's handling of its
// user file relies on, each pinned on a format of its own so that a change
// in Qt fails here, by name, before it fails a store test.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>
#include <QtCore/QFile>
#include <QtCore/QFileDevice>
#include <QtCore/QLockFile>
#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QSysInfo>

#include "support/zkpref_fixtures.hpp"

namespace {

// What the format's callbacks saw.
struct Calls {
  int reads = 0;
  int writes = 0;
  bool fail_reads = false;
  QStringList written_keys;       // of the last write
  bool copy_existed = false;      // the device's descriptor named a file already
  bool copy_name_shaped = false;  // unnamed, or the file's name, a dot, six characters
  bool copy_unnamed = false;
  QString write_device_name;
  bool machinery_lock_held = false;  // "<file>.lock" stood while the writer ran
  bool lock_names_writer = false;    // and named this process on this host
};

Calls &calls() {
  static Calls seen;
  return seen;
}

// "key=value" lines.
bool read_lines(QIODevice &device, QSettings::SettingsMap &map) {
  ++calls().reads;
  if (calls().fail_reads) return false;
  for (const QByteArray &line : device.readAll().split('\n')) {
    const qsizetype equals = line.indexOf('=');
    if (equals > 0) map.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
  }
  return true;
}

bool write_lines(QIODevice &device, const QSettings::SettingsMap &map) {
  Calls &seen = calls();
  ++seen.writes;
  seen.written_keys = map.keys();
  if (const auto *file = qobject_cast<const QFileDevice *>(&device)) {
    seen.write_device_name = file->fileName();
    seen.machinery_lock_held = QFile::exists(file->fileName() + QStringLiteral(".lock"));
    qint64 pid = 0;
    QString host, application;
    const QLockFile lock(file->fileName() + QStringLiteral(".lock"));
    seen.lock_names_writer =
        lock.getLockInfo(&pid, &host, &application) && pid == ::getpid() && host == QSysInfo::machineHostName();
    struct stat st {};
    seen.copy_existed = ::fstat(file->handle(), &st) == 0 && S_ISREG(st.st_mode);
    char link[4096];
    const std::string proc = "/proc/self/fd/" + std::to_string(file->handle());
    const ssize_t length = ::readlink(proc.c_str(), link, sizeof link - 1);
    const std::string name = length > 0 ? std::string(link, static_cast<size_t>(length)) : std::string();
    const std::string target = QFile::encodeName(file->fileName()).toStdString();
    seen.copy_unnamed = name.find(" (deleted)") != std::string::npos;
    seen.copy_name_shaped = seen.copy_unnamed ||
                            (name.size() == target.size() + 7 && name.compare(0, target.size() + 1, target + ".") == 0);
  }
  for (auto it = map.cbegin(); it != map.cend(); ++it)
    device.write(it.key().toUtf8() + '=' + it.value().toString().toUtf8() + '\n');
  return true;
}

QSettings::Format pin_format() {
  static const QSettings::Format format = QSettings::registerFormat(QStringLiteral("pin"), read_lines, write_lines);
  return format;
}

class SettingsMachinery : public zkpref_test::PrefTest {
 protected:
  void SetUp() override {
    PrefTest::SetUp();
    calls() = Calls{};
    // A name of its own per test: the machinery's cache outlives every object.
    file_ = root() + "/" + testing::UnitTest::GetInstance()->current_test_info()->name() + ".pin";
    zkpref_test::write_file(file_, "a=1\n");
  }
  QString name() const { return QString::fromStdString(file_); }
  std::string file_;
};

// The store shares one settings object per open file among its stores and
// takes every key from it: objects of one process on one file share the
// keys and the changes still pending.
TEST_F(SettingsMachinery, ObjectsOnOneFileShareKeysAndPendingChanges) {
  QSettings first(name(), pin_format());
  QSettings second(name(), pin_format());
  first.setValue("pending", "p");
  EXPECT_EQ(second.value("a").toString(), "1");
  EXPECT_EQ(second.value("pending").toString(), "p");
}

// A sync made through a new object when the store's own reports an error
// relies on a new object synchronising as it is made, and on an object's
// first error staying for its whole life.
TEST_F(SettingsMachinery, NewObjectSynchronisesAsItIsMadeAndAnObjectKeepsItsFirstError) {
  calls().fail_reads = true;
  QSettings failed(name(), pin_format());
  ASSERT_EQ(failed.status(), QSettings::FormatError);
  calls().fail_reads = false;
  failed.setValue("pending", "p");
  zkpref_test::write_file(file_, "a=1\nb=2\n");
  const int writes = calls().writes;
  QSettings fresh(name(), pin_format());
  EXPECT_EQ(calls().writes, writes + 1);
  EXPECT_EQ(fresh.status(), QSettings::NoError);
  failed.sync();
  EXPECT_EQ(failed.status(), QSettings::FormatError);
}

// Why the store reads the file itself before the machinery does: a re-read
// empties the machinery's map of the file first, and after a read that
// failed it still writes, the file's keys missing from what it writes.
TEST_F(SettingsMachinery, FailedReReadEmptiesTheMapAndTheWriteGoesOn) {
  QSettings settings(name(), pin_format());
  ASSERT_TRUE(settings.contains("a"));
  zkpref_test::write_file(file_, "a=1\nb=2\n");
  calls().fail_reads = true;
  settings.setValue("pending", "p");
  settings.sync();
  EXPECT_EQ(settings.status(), QSettings::FormatError);
  EXPECT_EQ(calls().written_keys, QStringList({"pending"}));
  EXPECT_FALSE(settings.contains("a"));
}

// Why a file cut to nothing is judged by the store: the machinery never
// hands an empty file to the reader, and takes it as a file without keys.
TEST_F(SettingsMachinery, EmptyFileIsNeverGivenToTheReader) {
  zkpref_test::write_file(file_, "");
  QSettings settings(name(), pin_format());
  EXPECT_EQ(calls().reads, 0);
  EXPECT_EQ(settings.status(), QSettings::NoError);
  EXPECT_TRUE(settings.allKeys().isEmpty());
}

// The store records the temporary copy from the writer's device, and until
// then what a killed sync can leave is an empty file of the copies' name
// shape: the copy exists before the writer runs, the device names the file
// it replaces, and the copy is unnamed (always, where the folder allows it)
// or named "<file>." and six characters.
// The machinery holds its lock file "<file>.lock" while it writes, naming
// the writing process and host in it, so a writer outside the store has an
// empty copy only while that file stands and names a living process.
// The machinery reads again only a file whose size or time changed, so an
// identity of the store's that did not change means no read either.
TEST_F(SettingsMachinery, CopyExistsBeforeTheWriterAndAnUnchangedFileIsNotReadAgain) {
  QSettings settings(name(), pin_format());
  const int reads = calls().reads;
  settings.setValue("pending", "p");
  settings.sync();
  EXPECT_EQ(calls().reads, reads);
  EXPECT_TRUE(calls().copy_existed);
  EXPECT_TRUE(calls().copy_name_shaped);
  EXPECT_EQ(calls().write_device_name, settings.fileName());
  EXPECT_TRUE(calls().machinery_lock_held);
  EXPECT_TRUE(calls().lock_names_writer);
  // Unnamed wherever the folder allows it, so a kill leaves nothing there.
  const int probe = ::open(root().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (probe >= 0) {
    ::close(probe);
    EXPECT_TRUE(calls().copy_unnamed);
  }
}

// An ordinary rewrite keeps a private file private: the machinery's copy
// takes the permissions of the file it replaces, whatever the umask.
TEST_F(SettingsMachinery, RewriteKeepsThePermissionsOfTheFileItReplaces) {
  ASSERT_EQ(chmod(file_.c_str(), 0600), 0);
  const mode_t previous = umask(022);
  {
    QSettings settings(name(), pin_format());
    settings.setValue("pending", "p");
    settings.sync();
  }
  umask(previous);
  struct stat st {};
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

}  // namespace
