// The deprecation log: once per call site, only when asked for, via handle 0.
#include <gtest/gtest.h>

#include <cstdlib>

#include "zkerr.hpp"

namespace {

static const char file_a[] = "a.c";
static const char file_b[] = "b.c";

TEST(DeprecationLog, ReportsOncePerSite) {
  setenv("PELMORAVINE_DEPRECATION_WARNING", "", 1);
  testing::internal::CaptureStderr();
  for (int i = 0; i < 2; ++i) zklog_deprecation_warning(file_a, 10, "old_f", "%s is deprecated for %s\n", "old_f", "new_f");
  zklog_deprecation_warning(file_a, 11, "old_f", "again\n");
  zklog_deprecation_warning(file_b, 10, "old_f", "other file\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "WARNING DEPRECATION for old_f (a.c:10): old_f is deprecated for new_f\n"
            "WARNING DEPRECATION for old_f (a.c:11): again\n"
            "WARNING DEPRECATION for old_f (b.c:10): other file\n");
}

TEST(DeprecationLog, PercentInNamesPrintsAsItself) {
  setenv("PELMORAVINE_DEPRECATION_WARNING", "1", 1);
  testing::internal::CaptureStderr();
  zklog_deprecation_warning("100%s.c", 3, "f%n", "%d\n", 7);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING DEPRECATION for f%n (100%s.c:3): 7\n");
}

TEST(DeprecationLog, AbsentVariableAtFirstCallDisablesForGood) {
  unsetenv("PELMORAVINE_DEPRECATION_WARNING");
  testing::internal::CaptureStderr();
  zklog_deprecation_warning(file_a, 1, "f", "x\n");
  setenv("PELMORAVINE_DEPRECATION_WARNING", "", 1);
  zklog_deprecation_warning(file_a, 2, "f", "x\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(DeprecationLog, SuppressionNeitherReportsNorRecords) {
  setenv("PELMORAVINE_DEPRECATION_WARNING", "", 1);
  testing::internal::CaptureStderr();
  {
    ZkerrSuppressDeprecation quiet;
    zklog_deprecation_warning(file_a, 5, "f", "x\n");
  }
  zklog_deprecation_warning(file_a, 5, "f", "x\n");
  zkerr_level(0, 5);
  zklog_deprecation_warning(file_a, 6, "f", "y\n");
  zkerr_level(0, 4);
  zklog_deprecation_warning(file_a, 6, "f", "y\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING DEPRECATION for f (a.c:5): x\n");
}

}  // namespace
