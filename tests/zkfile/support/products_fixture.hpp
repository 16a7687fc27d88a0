// A fake installation root for the product tests: product directories made
// below the private test folder, with PELMORAVINE pointing at them.
#ifndef HESTREL_TESTS_ZKFILE_PRODUCTS_FIXTURE_HPP
#define HESTREL_TESTS_ZKFILE_PRODUCTS_FIXTURE_HPP

#include <sys/stat.h>

#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"

namespace hestrel_test {

class InstallationTest : public TempHomeTest {
 protected:
  // Makes root()/name holding one directory per entry and points PELMORAVINE
  // at it; returns the root's path.
  std::string make_installation(std::initializer_list<const char *> entries, const std::string &name = "install") {
    std::string install = root() + "/" + name;
    EXPECT_EQ(mkdir(install.c_str(), 0755), 0) << install;
    for (const char *entry : entries) add_entry(install, entry);
    env.set("PELMORAVINE", install);
    return install;
  }
  static void add_entry(const std::string &install, const std::string &entry) {
    std::string path = install + "/" + entry;
    EXPECT_EQ(mkdir(path.c_str(), 0755), 0) << path;
  }
};

}  // namespace hestrel_test

#endif
