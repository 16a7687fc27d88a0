// Tests of the path-component functions: joining, last component, removal,
// parsing into directory and name, and backslash conversion.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "zkfile_path.h"

namespace {

// A returned text as a string ("<null>" for NULL), released afterwards.
std::string take(char *text) {
  std::string out = text == nullptr ? "<null>" : text;
  zkfile_free_component_string(text);
  return out;
}

struct JoinCase {
  const char *dir;
  const char *name;
  const char *expected;
};

TEST(PathComponents, JoinPutsOneSlashAtTheSeam) {
  // clang-format off
  const JoinCase cases[] = {
      {"a", "b", "a/b"},         {"a/", "b", "a/b"},
      {"a", "/b", "a/b"},        {"a/", "/b", "a/b"},
      {"a//", "//b", "a///b"},   {"/", "b", "/b"},
      {"", "b", "b"},            {nullptr, "/b", "/b"},
      {"a", "", "a"},            {"a/", nullptr, "a/"},
      {"", "", "<null>"},        {nullptr, nullptr, "<null>"},
  };
  // clang-format on
  for (const JoinCase &c : cases)
    EXPECT_EQ(take(zkfile_add_component(c.dir, c.name)), c.expected)
        << (c.dir ? c.dir : "NULL") << " + " << (c.name ? c.name : "NULL");
}

struct SplitCase {
  const char *path;
  const char *last;     // zkfile_get_last_component
  const char *removed;  // zkfile_remove_component
};

TEST(PathComponents, LastComponentAndRemoval) {
  // clang-format off
  const SplitCase cases[] = {
      {"a/b/c", "c", "a/b"}, {"name", "name", ""}, {"/x", "x", ""},
      {"a/b/", "", "a/b"},   {"/", "", ""},        {"a//b", "b", "a/"},
      {"", "<null>", "<null>"}, {nullptr, "<null>", "<null>"},
  };
  // clang-format on
  for (const SplitCase &c : cases) {
    EXPECT_EQ(take(zkfile_get_last_component(c.path)), c.last) << (c.path ? c.path : "NULL");
    EXPECT_EQ(take(zkfile_remove_component(c.path)), c.removed) << (c.path ? c.path : "NULL");
  }
}

struct ParseCase {
  const char *path;
  const char *dir;
  const char *name;
};

TEST(PathComponents, ParseSplitsDirectoryAndName) {
  const ParseCase cases[] = {
      {"/", "/", "<null>"},
      {"//", "//", "<null>"},
      {"/etc/hosts", "/etc", "hosts"},
      {"/hosts", "/", "hosts"},
      {"//hosts", "//", "hosts"},
      {"a//b", "a", "b"},
      {"a/b/", "a/b", "<null>"},
      {"a/b//", "a/b", "<null>"},
      {"name", "<null>", "name"},
      {"dir/first\nsecond/x", "dir", "first"},
      {"\nx", "<null>", "<null>"},
      {"", "<null>", "<null>"},
      {nullptr, "<null>", "<null>"},
  };
  for (const ParseCase &c : cases) {
    char *dir = reinterpret_cast<char *>(1);
    char *name = reinterpret_cast<char *>(1);
    zkfile_parse_path(c.path, &dir, &name);
    EXPECT_EQ(take(dir), c.dir) << (c.path ? c.path : "NULL");
    EXPECT_EQ(take(name), c.name) << (c.path ? c.path : "NULL");
  }
}

TEST(PathComponents, ParseDeliversOnlyTheAskedParts) {
  char *name = nullptr;
  zkfile_parse_path("/a/b", nullptr, &name);
  EXPECT_EQ(take(name), "b");
  char *dir = nullptr;
  zkfile_parse_path("/a/b", &dir, nullptr);
  EXPECT_EQ(take(dir), "/a");
}

TEST(PathComponents, LocalizeTurnsBackslashesIntoSlashes) {
  using Convert = int (*)(char *, int);
  for (Convert convert : {&zkfile_path_localize, &zkfile_path_to_unix}) {
    char text[] = "C:\\dir\\\\x/y";
    EXPECT_EQ(convert(text, sizeof text), 0);
    EXPECT_STREQ(text, "C:/dir//x/y");

    // Size is only checked for being at least 2; the text keeps its length.
    char tight[] = "a\\b";
    EXPECT_EQ(convert(tight, 2), 0);
    EXPECT_STREQ(tight, "a/b");

    char small[] = "a\\b";
    EXPECT_EQ(convert(small, 1), -1);
    EXPECT_STREQ(small, "a\\b");

    char none[] = "";
    EXPECT_EQ(convert(none, 10), -1);
    EXPECT_EQ(convert(nullptr, 10), -1);
  }
}

}  // namespace
