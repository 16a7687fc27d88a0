// The C-callable interface: a C program run against a private HOME, the
// opening warning, handles, every copy out whole or not at all, eight
// processes writing one file at once, and a plain Qt settings object.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <QtCore/QSettings>

#include "support/settings_xml.hpp"
#include "support/zkpref_fixtures.hpp"
#include "zkpref.h"
#include "zkpref.hpp"
#include "zkpref/internal/c_copy.hpp"

namespace {

using zkpref_test::settings_xml;
using zkpref_test::write_file;

class CInterface : public zkpref_test::PrefTest {};

std::string run(const std::string &command, int &status) {
  std::string output;
  FILE *pipe = popen(command.c_str(), "r");
  char buffer[512];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) output += buffer;
  status = pipe ? pclose(pipe) : -1;
  return output;
}

TEST_F(CInterface, ACallerWrittenInC) {
  write_file(machine_file(), settings_xml({{"shared/answer", "int", "42"}}));
  int status = 0;
  const std::string output = run(std::string(HESTREL_ZKPREF_C_CALLER) + " 2>&1", status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find(" checks, 0 failed"), std::string::npos) << output;
  EXPECT_TRUE(zkpref_test::xmllint_accepts(user_file()));
}

TEST_F(CInterface, FailedOpeningWarnsThroughQt) {
  zkpref_test::QtMessages qt;
  ZKpref handle = 99;
  EXPECT_EQ(zkpref_new(&handle, static_cast<ZKPREF_PRODUCTS>(16)), 1);
  EXPECT_EQ(handle, 0u);
  ASSERT_EQ(qt.lines().size(), 1u);
  EXPECT_EQ(qt.lines()[0], "zkpref_new :  16  -  The product is not recognized by the library.");
  zkpref_delete(0);
  EXPECT_EQ(zkpref_new(nullptr, ZKPREF_TRALVENIC), 1);
}

TEST_F(CInterface, HandlesAreIndependent) {
  ZKpref first = 0, second = 0;
  ASSERT_EQ(zkpref_new(&first, ZKPREF_TRALVENIC), 0);
  ASSERT_EQ(zkpref_new(&second, ZKPREF_TRALVENIC), 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(zkpref_begin_group(first, "g"), ZKPREF_SUCCESS);
  char *group = zkpref_get_group(second);
  EXPECT_STREQ(group, "");
  free(group);
  zkpref_delete(first);
  EXPECT_EQ(zkpref_set_int(second, "k", 1), ZKPREF_SUCCESS);
  zkpref_delete(second);
  zkpref_delete(second);  // no longer in the table: ignored
}

// An allocator that fails after a given number of successes.
int allowed_allocations = 0;
void *failing_allocate(std::size_t size) { return allowed_allocations-- > 0 ? std::malloc(size) : nullptr; }

TEST(CCopy, AFailedAllocationLeavesNothingHalfFilled) {
  using namespace hestrel::zkpref;
  const std::map<std::string, std::string> list = {{"a", "x"}, {"b", "y"}, {"c", "z"}};
  CAllocator failing;
  failing.allocate = &failing_allocate;
  // keys array, 3 keys, values array, 3 values: any one of these 8 may fail.
  for (int allowed = 0; allowed < 8; ++allowed) {
    allowed_allocations = allowed;
    char **keys = reinterpret_cast<char **>(1), **values = reinterpret_cast<char **>(1);
    int count = -1;
    EXPECT_FALSE(copy_list(list, &keys, &values, &count, failing)) << allowed;
    EXPECT_EQ(keys, nullptr);
    EXPECT_EQ(values, nullptr);
    EXPECT_EQ(count, 0);
  }
  allowed_allocations = 8;
  char **keys = nullptr, **values = nullptr;
  int count = 0;
  ASSERT_TRUE(copy_list(list, &keys, &values, &count, failing));
  EXPECT_EQ(count, 3);
  EXPECT_STREQ(values[2], "z");
  free_texts(keys, 3);
  free_texts(values, 3);

  allowed_allocations = 1;
  char **names = reinterpret_cast<char **>(1);
  EXPECT_FALSE(copy_texts({"a", "b"}, &names, failing));
  EXPECT_EQ(names, nullptr);
  allowed_allocations = 0;
  EXPECT_EQ(copy_text("a", failing), nullptr);
}

TEST_F(CInterface, EightProcessesWriteOneFileAtOnce) {
  constexpr int processes = 8, keys = 50;
  std::vector<pid_t> children;
  for (int p = 0; p < processes; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ZKpref handle = 0;
      int failures = zkpref_new(&handle, ZKPREF_TRALVENIC) != 0;
      for (int k = 0; k < keys && !failures; ++k) {
        const std::string key = "p" + std::to_string(p) + "/k" + std::to_string(k);
        failures += zkpref_set_int(handle, key.c_str(), p * 1000 + k) != ZKPREF_SUCCESS;
        failures += zkpref_sync(handle) != ZKPREF_SUCCESS;
      }
      zkpref_delete(handle);
      _exit(failures ? 1 : 0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_TRUE(zkpref_test::xmllint_accepts(user_file()));
  ZKpref handle = 0;
  ASSERT_EQ(zkpref_new(&handle, ZKPREF_TRALVENIC), 0);
  int missing = 0;
  for (int p = 0; p < processes; ++p)
    for (int k = 0; k < keys; ++k) {
      const std::string key = "p" + std::to_string(p) + "/k" + std::to_string(k);
      int value = -1;
      missing += zkpref_get_int(handle, key.c_str(), &value) != ZKPREF_SUCCESS || value != p * 1000 + k;
    }
  EXPECT_EQ(missing, 0);
  zkpref_delete(handle);
}

TEST_F(CInterface, PlainQtSettingsReadAndWriteTheSameFile) {
  ZKpref handle = 0;
  ASSERT_EQ(zkpref_new(&handle, ZKPREF_TRALVENIC), 0);
  ASSERT_EQ(zkpref_set_int(handle, "view/width", 80), ZKPREF_SUCCESS);
  ASSERT_EQ(zkpref_set_string(handle, "view/title", "h\xc3\xa9"), ZKPREF_SUCCESS);
  char *path = zkpref_get_settings_file(handle);
  const QString file = QString::fromUtf8(path);
  free(path);
  zkpref_delete(handle);
  {
    QSettings plain(file, getQSettingsFormat());
    const QVariantMap width = plain.value("view/width").toMap();
    EXPECT_EQ(width.value("dt").toString(), "int");
    EXPECT_EQ(width.value("value").toString(), "80");
    EXPECT_EQ(plain.value("view/title").toMap().value("value").toString(), QString::fromUtf8("h\xc3\xa9"));
    plain.setValue("view/height", QVariantMap{{"dt", "int"}, {"value", 25}});
    plain.setValue("flag:os=linux", QVariantMap{{"dt", "bool"}, {"value", true}});
    plain.sync();
    ASSERT_EQ(plain.status(), QSettings::NoError);
  }
  ASSERT_EQ(zkpref_new(&handle, ZKPREF_TRALVENIC), 0);
  int value = 0;
  EXPECT_EQ(zkpref_get_int(handle, "view/height", &value), ZKPREF_SUCCESS);
  EXPECT_EQ(value, 25);
  EXPECT_EQ(zkpref_get_bool(handle, "flag", &value), ZKPREF_SUCCESS);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(zkpref_get_int(handle, "view/width", &value), ZKPREF_SUCCESS);
  EXPECT_EQ(value, 80);
  zkpref_delete(handle);
}

}  // namespace
