// The deprecation log: enabling by the environment at the first call, one
// report per call site, and silencing. Each test runs in a process of its
// own, so the first call in it reads the environment afresh.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkerr.h"
#include "zkerr.hpp"

using hestrel_test::MemoryStream;

namespace {

// Each test puts back the handlers and variables it changed.
struct DeprecationLog : hestrel_test::ProcessStateTest {
  hestrel_test::ScopedEnv env;
};

// Distinct arrays: one name at two addresses is two call sites.
const char file_a[] = "old_api.cpp";
const char file_b[] = "old_api.cpp";

void report(const char *file, int line) {
  zklog_deprecation_warning(file, line, "zkold", "%s function is deprecated for %s\n", "zkold", "zknew");
}

TEST_F(DeprecationLog, AbsentVariableDisablesForTheProcess) {
  HESTREL_RUN_IN_OWN_PROCESS();
  env.unset("PELMORAVINE_DEPRECATION_WARNING");
  MemoryStream out;
  zkerr_file(0, out.get());
  EXPECT_EQ(zklog_deprecation_warning(file_a, 1, "f", "x\n"), 1);
  env.set("PELMORAVINE_DEPRECATION_WARNING", "1");
  EXPECT_EQ(zklog_deprecation_warning(file_a, 2, "f", "x\n"), 1);
  EXPECT_EQ(out.text(), "");
}

TEST_F(DeprecationLog, EmptyValueEnablesAndPrintsOnStderr) {
  HESTREL_RUN_IN_OWN_PROCESS();
  env.set("PELMORAVINE_DEPRECATION_WARNING", "");
  testing::internal::CaptureStderr();
  report(file_a, 40);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "WARNING DEPRECATION for zkold (old_api.cpp:40): zkold function is deprecated for zknew\n");
}

TEST_F(DeprecationLog, OneReportPerCallSite) {
  HESTREL_RUN_IN_OWN_PROCESS();
  env.set("PELMORAVINE_DEPRECATION_WARNING", "yes");
  MemoryStream out;
  zkerr_file(0, out.get());
  report(file_a, 10);
  report(file_a, 10);  // same site
  report(file_a, 11);  // same file, other line
  report(file_b, 10);  // same line, other file text
  report(file_b, 10);
  const std::string tail = "): zkold function is deprecated for zknew\n";
  EXPECT_EQ(out.text(), "WARNING DEPRECATION for zkold (old_api.cpp:10" + tail +
                            "WARNING DEPRECATION for zkold (old_api.cpp:11" + tail +
                            "WARNING DEPRECATION for zkold (old_api.cpp:10" + tail);
}

TEST_F(DeprecationLog, SuppressedSitesAreNotRecorded) {
  HESTREL_RUN_IN_OWN_PROCESS();
  env.set("PELMORAVINE_DEPRECATION_WARNING", "1");
  MemoryStream out;
  zkerr_file(0, out.get());
  {
    ZkerrSuppressDeprecation silence;
    report(file_a, 5);
    report(file_a, 5);
  }
  EXPECT_EQ(out.text(), "");
  report(file_a, 5);
  report(file_a, 5);
  EXPECT_EQ(out.text(), "WARNING DEPRECATION for zkold (old_api.cpp:5): zkold function is deprecated for zknew\n");
}

TEST_F(DeprecationLog, SitesDroppedByTheThresholdNeverReport) {
  HESTREL_RUN_IN_OWN_PROCESS();
  env.set("PELMORAVINE_DEPRECATION_WARNING", "1");
  MemoryStream out;
  zkerr_file(0, out.get());
  zkerr_level(0, 5);
  report(file_a, 7);
  zkerr_level(0, 4);
  report(file_a, 7);
  report(file_a, 8);
  EXPECT_EQ(out.text(), "WARNING DEPRECATION for zkold (old_api.cpp:8): zkold function is deprecated for zknew\n");
}

TEST_F(DeprecationLog, PercentInNamesPrintsAsItself) {
  HESTREL_RUN_IN_OWN_PROCESS();
  env.set("PELMORAVINE_DEPRECATION_WARNING", "1");
  MemoryStream out;
  zkerr_file(0, out.get());
  static const char odd_file[] = "dir%s/%n%d.cpp";
  zklog_deprecation_warning(odd_file, 3, "op%%erator%", "use %s\n", "other");
  EXPECT_EQ(out.text(), "WARNING DEPRECATION for op%%erator% (dir%s/%n%d.cpp:3): use other\n");
}

TEST_F(DeprecationLog, DefaultHandlerIsNotTouched) {
  HESTREL_RUN_IN_OWN_PROCESS();
  env.set("PELMORAVINE_DEPRECATION_WARNING", "1");
  MemoryStream deprecation, library;
  zkerr_file(0, deprecation.get());
  zkerr_file(-1, library.get());
  report(file_a, 9);
  EXPECT_EQ(library.text(), "");
  EXPECT_NE(deprecation.text(), "");
  unsigned int maxlevel = 0;
  zkerr_maxlevel(-1, &maxlevel);
  EXPECT_EQ(maxlevel, 1u);
}

}  // namespace
