// Capturing a handler's messages, the redirect count and errno as text.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "zkerr.hpp"

namespace {

using pelmoravine::vardel::CaptureZKErr;
using pelmoravine::vardel::RedirectZkerrToPythonStderr;

TEST(Capture, CollectsInsteadOfPrintingAndRestores) {
  testing::internal::CaptureStderr();
  {
    CaptureZKErr capture(-1);
    zkerr_throw(-1, 4, "first\n");
    EXPECT_EQ(capture.getMessages(), "WARNING first\n");
    unsigned level = 0;
    zkerr_maxlevel(-1, &level);
    EXPECT_EQ(level, 1u);
    zkerr_throw(-1, 5, "second\n");
    EXPECT_EQ(capture.addMessagesAsDetails("failed"), "failed:\n FATAL second\n");
    EXPECT_EQ(capture.getMessagesOrDefault("none"), "none");
    zkerr_throw(-1, 4, "third\n");
    capture.restore();
    EXPECT_EQ(capture.getMessages(), "WARNING third\n");
    EXPECT_EQ(capture.getMessages(), "WARNING third\n");
  }
  zkerr_throw(-1, 4, "printed\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING printed\n");
}

TEST(Capture, NestedCapturesEndInReverseOrder) {
  int h;
  zkerr_new(&h);
  zkerr_suppress_print(h);
  CaptureZKErr outer(h);
  zkerr_throw(h, 4, "a");
  {
    CaptureZKErr inner(h);
    zkerr_throw(h, 4, "b");
    inner.restore();
    EXPECT_EQ(inner.getMessages(), "WARNING b");
  }
  zkerr_throw(h, 4, "c");
  outer.restore();
  EXPECT_EQ(outer.getMessages(), "WARNING aWARNING c");
  int state = 1;
  zkerr_print_state(h, &state);
  EXPECT_EQ(state, 0) << "suppressed before the capture, suppressed after";
}

TEST(Capture, UnknownHandleThrowsAndMovedFromIsInert) {
  try {
    CaptureZKErr bad(7);
    FAIL();
  } catch (const std::out_of_range &e) {
    EXPECT_STREQ(e.what(), "Invalid zkerr handle: 7");
  }
  CaptureZKErr a(-1);
  CaptureZKErr b(std::move(a));
  zkerr_throw(-1, 4, "m");
  EXPECT_EQ(a.getMessages(), "");
  EXPECT_EQ(b.getMessages(), "WARNING m");
}

TEST(Redirect, CountsEachObjectOnce) {
  EXPECT_EQ(RedirectZkerrToPythonStderr::m_count, 0);
  auto *one = new RedirectZkerrToPythonStderr();
  EXPECT_EQ(RedirectZkerrToPythonStderr::m_count, 1);
  {
    RedirectZkerrToPythonStderr two;
    EXPECT_EQ(RedirectZkerrToPythonStderr::m_count, 2);
    two.close();
    two.close();
    EXPECT_EQ(RedirectZkerrToPythonStderr::m_count, 1);
  }
  EXPECT_TRUE(RedirectZkerrToPythonStderr::isActive());
  delete one;
  EXPECT_FALSE(RedirectZkerrToPythonStderr::isActive());
}

TEST(LastError, TextOnceThenEmpty) {
  errno = 0;
  EXPECT_EQ(pelmoravine::get_last_error(), "");
  EXPECT_EQ(std::fopen("/nonexistent/dir/file", "r"), nullptr);
  EXPECT_EQ(pelmoravine::get_last_error(), "No such file or directory (Error 2)");
  EXPECT_EQ(pelmoravine::get_last_error(), "");
}

}  // namespace
