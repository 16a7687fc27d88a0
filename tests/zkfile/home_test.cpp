// The home directory and the installation root.
#include <string>

#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "pelmoravine_path.hpp"

namespace {

using hestrel_test::TempHomeTest;
using HomeTest = TempHomeTest;

TEST_F(HomeTest, HomeFollowsHomeVariable) {
  EXPECT_EQ(pelmoravine::path::home(), home());
  env.set("HOME", root());
  EXPECT_EQ(pelmoravine::path::home(), root());
}

TEST_F(HomeTest, InstallationRootIsReadOnEveryCall) {
  EXPECT_EQ(pelmoravine::path::pelmoravine_dir(), "");
  // Texts come back unchanged: relative, trailing '/', blanks, UTF-8.
  for (const std::string value : {"/opt/pelmoravine", "relative/root/", "with blank", "/opt/r\xc3\xa9p", ""}) {
    env.set("PELMORAVINE", value);
    EXPECT_EQ(pelmoravine::path::pelmoravine_dir(), value);
  }
  env.unset("PELMORAVINE");
  EXPECT_EQ(pelmoravine::path::pelmoravine_dir(), "");
}

}  // namespace
