// Scoped captures, the redirect count, silencing of deprecation reports and
// errno as text.
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "errors/internal/handler_table.hpp"
#include "hestrel_test/temp_home.hpp"
#include "zkerr.hpp"

using hestrel_test::MemoryStream;
using pelmoravine::vardel::CaptureZKErr;
using pelmoravine::vardel::RedirectZkerrToPythonStderr;

namespace {

// Each test puts back the handlers it changed.
using CaptureZKErrTest = hestrel_test::ProcessStateTest;
using RedirectZkerrToPythonStderrTest = hestrel_test::ProcessStateTest;
using ZkerrSuppressDeprecationTest = hestrel_test::ProcessStateTest;
using GetLastError = hestrel_test::ProcessStateTest;

TEST_F(CaptureZKErrTest, DefaultHandlerCollectsInsteadOfPrinting) {
  testing::internal::CaptureStderr();
  std::string captured;
  {
    CaptureZKErr capture(-1);
    zkerr_throw(-1, 4, "careful %s\n", "now");
    zkerr_throw(-1, 3, "below the threshold\n");
    captured = capture.getMessages();
  }
  zkerr_throw(-1, 4, "printed\n");
  EXPECT_EQ(captured, "WARNING careful now\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING printed\n");
}

TEST_F(CaptureZKErrTest, ReadingDuringTheCaptureTakesTheText) {
  int h = 0;
  zkerr_new(&h);
  CaptureZKErr capture(h);
  zkerr_throw(h, 5, "a;");
  EXPECT_EQ(capture.getMessages(), "FATAL a;");
  unsigned int maxlevel = 0;
  zkerr_maxlevel(h, &maxlevel);
  EXPECT_EQ(maxlevel, 1u);
  zkerr_throw(h, 4, "b;");
  EXPECT_EQ(capture.getMessages(), "WARNING b;");
  zkerr_maxlevel(h, &maxlevel);
  EXPECT_EQ(maxlevel, 1u);
  zkerr_throw(h, 4, "c;");
  capture.restore();
  capture.restore();
  EXPECT_EQ(capture.getMessages(), "WARNING c;");
  EXPECT_EQ(capture.getMessages(), "WARNING c;");
  EXPECT_FALSE(hestrel::errors::lookup(h)->save);
  EXPECT_EQ(hestrel::errors::lookup(h)->messages, nullptr);
}

TEST_F(CaptureZKErrTest, DerivedTexts) {
  int h = 0;
  zkerr_new(&h);
  struct Case {
    const char *raised;  // null: nothing raised
    std::string details, or_default;
  } cases[] = {
      {nullptr, "Opening failed", "fallback"},
      {"no such file\n", "Opening failed:\n WARNING no such file\n", "WARNING no such file\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.details);
    CaptureZKErr capture(h);
    if (c.raised) zkerr_throw(h, 4, "%s", c.raised);
    EXPECT_EQ(capture.addMessagesAsDetails("Opening failed"), c.details);
    if (c.raised) zkerr_throw(h, 4, "%s", c.raised);
    EXPECT_EQ(capture.getMessagesOrDefault("fallback"), c.or_default);
  }
}

TEST_F(CaptureZKErrTest, SuppressionFromBeforeIsKept) {
  int h = 0;
  zkerr_new(&h);
  int state = -1;
  zkerr_suppress_print(h);
  { CaptureZKErr capture(h); }
  zkerr_print_state(h, &state);
  EXPECT_EQ(state, 0);
  zkerr_restore_print(h);
  { CaptureZKErr capture(h); }
  zkerr_print_state(h, &state);
  EXPECT_EQ(state, 1);
}

TEST_F(CaptureZKErrTest, NestedCapturesEndInReverseOrder) {
  MemoryStream out;
  int h = 0;
  zkerr_new(&h);
  zkerr_file(h, out.get());
  hestrel::errors::handler_tag *record = hestrel::errors::lookup(h);
  record->save = true;  // as an enclosing capture leaves it
  zkerr_throw(h, 4, "before;");
  std::string outer_text, inner_text;
  {
    CaptureZKErr outer(h);
    zkerr_throw(h, 4, "o1;");
    {
      CaptureZKErr inner(h);
      zkerr_throw(h, 4, "i1;");
      inner.restore();
      inner_text = inner.getMessages();
    }
    zkerr_throw(h, 4, "o2;");
    outer.restore();
    outer_text = outer.getMessages();
  }
  EXPECT_EQ(inner_text, "WARNING i1;");
  EXPECT_EQ(outer_text, "WARNING o1;WARNING o2;");
  EXPECT_STREQ(record->messages, "WARNING before;");
  EXPECT_TRUE(record->save);
  EXPECT_FALSE(record->suppress_print);
  EXPECT_EQ(out.text(), "WARNING before;");
}

TEST_F(CaptureZKErrTest, MovesLeaveTheSourceInert) {
  int h = 0;
  zkerr_new(&h);
  std::string text;
  {
    CaptureZKErr source(h);
    zkerr_throw(h, 4, "moved;");
    CaptureZKErr target(std::move(source));
    { CaptureZKErr gone(std::move(source)); }  // inert: ends nothing
    EXPECT_TRUE(hestrel::errors::lookup(h)->suppress_print);
    EXPECT_EQ(source.getMessages(), "");

    int other = 0;
    zkerr_new(&other);
    CaptureZKErr assigned(other);
    zkerr_throw(other, 4, "other;");
    assigned = std::move(target);  // ends the capture on `other` first
    EXPECT_FALSE(hestrel::errors::lookup(other)->suppress_print);
    EXPECT_FALSE(hestrel::errors::lookup(other)->save);
    EXPECT_TRUE(hestrel::errors::lookup(h)->suppress_print);
    text = assigned.getMessages();
  }
  EXPECT_EQ(text, "WARNING moved;");
  EXPECT_FALSE(hestrel::errors::lookup(h)->suppress_print);
}

TEST_F(CaptureZKErrTest, UnknownAndDeletedHandles) {
  try {
    CaptureZKErr capture(7);
    FAIL() << "no exception";
  } catch (const std::out_of_range &e) {
    EXPECT_STREQ(e.what(), "Invalid zkerr handle: 7");
  }
  int h = 0;
  zkerr_new(&h);
  CaptureZKErr capture(h);
  zkerr_throw(h, 4, "x");
  zkerr_delete(h);
  capture.restore();  // nothing to end on; tried again later
  EXPECT_EQ(capture.getMessages(), "");
  zkerr_new(&h);  // the same handle names a new handler
  capture.restore();
  EXPECT_EQ(capture.getMessages(), "");
}

TEST_F(RedirectZkerrToPythonStderrTest, EachObjectLowersTheCountOnce) {
  std::vector<std::int64_t> counts;
  {
    RedirectZkerrToPythonStderr first;
    counts.push_back(RedirectZkerrToPythonStderr::m_count);
    {
      RedirectZkerrToPythonStderr second;
      counts.push_back(RedirectZkerrToPythonStderr::m_count);
      first.close();
      counts.push_back(RedirectZkerrToPythonStderr::m_count);
      first.close();
      counts.push_back(RedirectZkerrToPythonStderr::m_count);
      EXPECT_TRUE(RedirectZkerrToPythonStderr::isActive());
    }
    counts.push_back(RedirectZkerrToPythonStderr::m_count);
  }
  EXPECT_EQ(counts, std::vector<std::int64_t>({1, 2, 1, 1, 0}));
  EXPECT_EQ(RedirectZkerrToPythonStderr::m_count, 0);
  EXPECT_FALSE(RedirectZkerrToPythonStderr::isActive());
}

TEST_F(ZkerrSuppressDeprecationTest, SilencesAndRestoresTheMode) {
  hestrel::errors::handler_tag *deprecation;
  {
    ZkerrSuppressDeprecation outer;  // makes the deprecation handler
    deprecation = hestrel::errors::lookup(0);
    EXPECT_EQ(deprecation->output_mode, 0);
    {
      ZkerrSuppressDeprecation inner;
      EXPECT_EQ(deprecation->output_mode, 0);
    }
    EXPECT_EQ(deprecation->output_mode, 0);
  }
  EXPECT_EQ(deprecation->output_mode, 1);

  // A route given meanwhile is newer than the saved mode and stays.
  int ierr = 0, handle = 0, unit = 6;
  {
    ZkerrSuppressDeprecation silence;
    zkerrf_file_(&handle, &unit, &ierr);
  }
  EXPECT_EQ(deprecation->output_mode, 2);
  EXPECT_EQ(deprecation->destination.unit, 6);
  zkerr_file(0, stderr);
}

TEST_F(GetLastError, TextAndClearing) {
  errno = 0;
  EXPECT_EQ(pelmoravine::get_last_error(), "");
  errno = ENOENT;
  EXPECT_EQ(pelmoravine::get_last_error(), std::string(std::strerror(ENOENT)) + " (Error 2)");
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(pelmoravine::get_last_error(), "");
}

}  // namespace
