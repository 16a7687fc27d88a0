// Path variable expansion in both forms: tilde forms, variables, the
// application-data names, result codes and the size limits.
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkfile_expand.h"

namespace {

using hestrel_test::is_directory;
using hestrel_test::MessageCapture;
using hestrel_test::take;

class ExpandTest : public hestrel_test::TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    env.set("ZK_VALUE", "abc");
    env.set("ZK_EMPTY", "");
    env.unset("ZK_UNSET");
    env.set("ZK_DOLLAR", "a$ZK_VALUE~");
    env.set("userdata", "lower");
    env.set("1ZK", "digit");
  }
  // "<code>:<text>" from the allocating form, "NULL" for no text.
  static std::string expand(const char *text) {
    char *out = reinterpret_cast<char *>(1);
    const int code = zkfile_dir_expand(text, &out);
    return std::to_string(code) + ":" + (out ? take(out) : std::string("NULL"));
  }
  // The same from the buffer form with a buffer of size bytes.
  static std::string expand_in_place(const std::string &text, int size) {
    std::vector<char> buffer(static_cast<std::size_t>(std::max(size, 1)) + text.size() + 1, '#');
    std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
    const int code = zkfile_dir_expand_buffer(buffer.data(), size);
    return std::to_string(code) + ":" + buffer.data();
  }
};

TEST_F(ExpandTest, SyntaxInBothForms) {
  const std::string me = getpwuid(getuid())->pw_name;
  const std::string my_home = getpwuid(getuid())->pw_dir;
  struct Case {
    std::string text, expected;
  } const cases[] = {
      {"~", home()},
      {"~/x/y", home() + "/x/y"},
      {"~\\x", home() + "\\x"},
      {"~" + me + "/x", my_home + "/x"},
      {"a~b/~", "a~b/~"},  // a tilde later on is ordinary
      {"$ZK_VALUE/x", "abc/x"},
      {"<$ZK_UNSET>", "<>"},
      {"<$ZK_EMPTY>", "<>"},
      {"${ZK_VALUE}", "${ZK_VALUE}"},
      {"$/", "$/"},
      {"$$", "$$"},
      {"end$", "end$"},
      {"$ZK_VALUE$ZK_VALUE", "abcabc"},
      {"$userdata", "lower"},  // only the capitalised names are special
      {"$1ZK-", "digit-"},
      {"$ZK_DOLLAR", "a$ZK_VALUE~"},  // inserted text is not scanned again
      {"~/$ZK_VALUE", home() + "/abc"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(expand(c.text.c_str()), "0:" + c.expected) << c.text;
    EXPECT_EQ(expand_in_place(c.text, PATH_MAX), "0:" + c.expected) << c.text;
  }
  EXPECT_FALSE(is_directory(home() + "/.pelmoravine"));
  // A home directory holding '$' and '~' is inserted as it is, too.
  const std::string odd_home = root() + "/h$ZK_VALUE~";
  env.set("HOME", odd_home);
  EXPECT_EQ(expand("~/$ZK_VALUE"), "0:" + odd_home + "/abc");
  EXPECT_EQ(expand_in_place("~/$ZK_VALUE", PATH_MAX), "0:" + odd_home + "/abc");
}

TEST_F(ExpandTest, ApplicationDataNamesCreateTheDirectory) {
  const std::string appdata = home() + "/.pelmoravine";
  for (const char *text : {"$USERDATA/tolvane", "$APPDATA/tolvane", "$LOCAL_APPDATA/tolvane"}) {
    EXPECT_EQ(expand(text), "0:" + appdata + "/tolvane") << text;
    EXPECT_EQ(expand_in_place(text, PATH_MAX), "0:" + appdata + "/tolvane") << text;
  }
  EXPECT_EQ(hestrel_test::mode_of(appdata), 0755);
  EXPECT_FALSE(is_directory(appdata + "/tolvane"));
}

TEST_F(ExpandTest, FailedLookupsSetTheResultCode) {
  ASSERT_TRUE(hestrel_test::write_file("a_file"));
  MessageCapture messages;
  // The unknown user vanishes with its tilde; the separator stays.
  EXPECT_EQ(expand("~no_such_user_zk/x"), "-1:/x");
  EXPECT_EQ(expand_in_place("~no_such_user_zk/x", PATH_MAX), "-1:/x");
  EXPECT_NE(messages.text().find("WARNING zkfile_dir_user_home: Unable to get home directory for user "
                                 "'no_such_user_zk'\n"),
            std::string::npos);
  // A later successful application-data lookup sets the code back to 0.
  EXPECT_EQ(expand("~no_such_user_zk/$APPDATA"), "0:/" + home() + "/.pelmoravine");
  // An application-data directory that cannot be made inserts nothing.
  env.set("PELMORAVINE_APPDATA_OVERRIDE", "a_file/sub");
  EXPECT_EQ(expand("<$USERDATA>"), "-1:<>");
  EXPECT_EQ(expand_in_place("<$USERDATA>", PATH_MAX), "-1:<>");
  EXPECT_NE(messages.text().find("zkfile_mkdir: zkfile_mkdir_recursive failed: "), std::string::npos);
}

TEST_F(ExpandTest, BufferFormLimits) {
  struct Case {
    std::string text;
    int size;
    std::string result;  // "<code>:<buffer afterwards>"
  } const cases[] = {
      {"", PATH_MAX, "-1:"},      // empty text: refused
      {"x", 0, "-1:x"},           // size below 1: untouched
      {"x", 1, "-1:"},            // no room for any character
      {"$ZK_VALUE", 4, "0:abc"},  // exactly size - 1 characters, however long the text
      {"$ZK_VALUE", 3, "-1:"},    // one too many
      {"x$ZK_VALUE", 3, "-1:x"},  // the pieces appended so far
      {"~/x", static_cast<int>(home().size()) + 3, "0:" + home() + "/x"},
      {std::string(PATH_MAX - 1, 'p'), PATH_MAX, "0:" + std::string(PATH_MAX - 1, 'p')},
  };
  for (const auto &c : cases)
    EXPECT_EQ(expand_in_place(c.text, c.size), c.result) << c.text.substr(0, 20) << ' ' << c.size;

  // A text of the path limit or more does not fit the working copy.
  std::string long_text(PATH_MAX, 'q');
  std::vector<char> big(long_text.begin(), long_text.end());
  big.push_back('\0');
  EXPECT_EQ(zkfile_dir_expand_buffer(big.data(), PATH_MAX + 1), -1);
  EXPECT_EQ(std::string(big.data()), long_text);
  EXPECT_EQ(zkfile_dir_expand_buffer(nullptr, PATH_MAX), -1);
}

TEST_F(ExpandTest, AllocatingFormGrowsAndRefusesNull) {
  EXPECT_EQ(expand(""), "0:");
  // Each value much longer than the text it replaces.
  const std::string value(3000, 'v');
  env.set("ZK_LONG", value);
  EXPECT_EQ(expand("$ZK_LONG/$ZK_LONG/$ZK_LONG"), "0:" + value + "/" + value + "/" + value);
  EXPECT_EQ(expand(nullptr), "-1:NULL");
  EXPECT_EQ(zkfile_dir_expand("x", nullptr), -1);
}

TEST_F(ExpandTest, VariableNamesBeyondTheNameBufferAreRefused) {
  const std::string longest(127, 'N'), too_long(128, 'N');
  // The 127-character name is also what a name cut to the buffer would
  // find; the longer one must not silently become it.
  env.set(longest, "fits");
  env.set(too_long, "never");
  EXPECT_EQ(expand(("$" + longest + "/").c_str()), "0:fits/");
  for (const std::string &text : {"$" + too_long, "a/$" + too_long + "/b"}) {
    MessageCapture messages;
    EXPECT_EQ(expand(text.c_str()), "-1:NULL");
    EXPECT_EQ(expand_in_place(text, PATH_MAX).substr(0, 2), "-1");
    EXPECT_NE(messages.text().find("WARNING zkfile_dir_expand: variable name of 128 characters is longer than 127"),
              std::string::npos);
  }
}

}  // namespace
