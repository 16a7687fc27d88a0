// Failed allocations at every point of a typical use of the error handlers'
// C and Fortran interfaces: no abort, and a clean run right after.
#include <cstdio>

#include <gtest/gtest.h>

#include "sweep.hpp"
#include "zkerr.h"

namespace {

int refuse_nothing(char *) { return 0; }

TEST(AllocationFailure, ErrorHandlers) {
  long positions = alloc_test::sweep([](alloc_test::outcome &out) {
    FILE *null = std::fopen("/dev/null", "w");
    int h = 0;
    out.value(zkerr_new(&h));
    out.value(zkerr_prefix(h, "a prefix longer than the short form: "));
    out.value(zkerr_file(h, null));
    out.value(zkerr_window(h, refuse_nothing));
    out.value(zkerr_throw(h, 4, "printed %d %s\n", 1, "text"));
    out.value(zkerr_throw(h, 3, "dropped\n"));
    out.value(zkerr_throw(-1, 3, "dropped on the default handler\n"));
    out.value(zkerr_throw(0, 3, "dropped on the deprecation handler\n"));
    int level = 4, ierr = -1;
    zkerrf_throw_(&h, &level, "from fortran", &ierr, 12);
    out.value(ierr);
    zkerrf_prefix_(&h, "F: ", &ierr, 3);
    out.value(ierr);
    unsigned int highest = 0;
    out.value(zkerr_maxlevel(h, &highest));
    out.value(highest);
    out.text(zkerr_return_code(4));
    zklog_deprecation_warning("sweep.cpp", 1, "old", "use %s", "new");
    zkerr_errclear(h);
    zkerr_delete(h);
    if (null) std::fclose(null);
  });
  EXPECT_GT(positions, 0);
  RecordProperty("positions", static_cast<int>(positions));
}

}  // namespace
