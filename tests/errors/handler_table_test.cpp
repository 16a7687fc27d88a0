// Making, configuring and raising on error handlers, through the C entry points.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "zkerr.h"

namespace {

// A stream whose written text the test can read back.
struct captured_stream {
  FILE *f = std::tmpfile();
  ~captured_stream() { std::fclose(f); }
  std::string text() {
    std::fflush(f);
    std::string out;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    return out;
  }
};

int new_handler() {
  int h = 0;
  EXPECT_EQ(zkerr_new(&h), 1);
  return h;
}

TEST(HandlerTable, DefaultHandlerDropsInfoButCountsIt) {
  captured_stream s;
  ASSERT_EQ(zkerr_file(-1, s.f), 1);
  EXPECT_EQ(zkerr_throw(-1, 3, "quiet %d\n", 1), 1);
  unsigned level = 0;
  zkerr_maxlevel(-1, &level);
  EXPECT_EQ(level, 3u);
  EXPECT_EQ(zkerr_throw(-1, 4, "loud %d\n", 2), 1);
  EXPECT_EQ(s.text(), "WARNING loud 2\n");
}

TEST(HandlerTable, LevelNamesAndHighestLevel) {
  struct {
    unsigned level;
    const char *printed;
    unsigned maxlevel_after;
  } cases[] = {
      {0, "BUMMER x", 1}, {2, "DEBUG x", 2},  {6, "OFF x", 6},
      {7, "LEVEL UNDEFINED x", 6}, {static_cast<unsigned>(-1), "LEVEL UNDEFINED x", 6},
  };
  captured_stream s;
  int h = new_handler();
  zkerr_file(h, s.f);
  zkerr_level(h, 0);
  std::string expected;
  for (const auto &c : cases) {
    EXPECT_EQ(zkerr_throw(h, c.level, "x"), 1);
    expected += c.printed;
    unsigned level = 0;
    zkerr_maxlevel(h, &level);
    EXPECT_EQ(level, c.maxlevel_after) << c.printed;
  }
  EXPECT_EQ(s.text(), expected);
}

TEST(HandlerTable, LowestFreeHandleIsReused) {
  int a = new_handler(), b = new_handler(), c = new_handler();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  zkerr_delete(b);
  EXPECT_EQ(new_handler(), 2);
  EXPECT_EQ(new_handler(), 4);
}

TEST(HandlerTable, UnknownHandlesFailAndChangeNothing) {
  unsigned level;
  int state;
  for (int h : {-2, 1, 99}) {
    EXPECT_EQ(zkerr_throw(h, 5, "x"), 0);
    EXPECT_EQ(zkerr_level(h, 1), 0);
    EXPECT_EQ(zkerr_get_level(h, &level), 0);
    EXPECT_EQ(zkerr_print_state(h, &state), 0);
    EXPECT_EQ(zkerr_prefix(h, "p"), 0);
    zkerr_delete(h);
  }
}

TEST(HandlerTable, NewHandlerWritesNothingUntilGivenAStream) {
  captured_stream s;
  int h = new_handler();
  EXPECT_EQ(zkerr_throw(h, 5, "lost\n"), 1);
  unsigned level = 0;
  zkerr_maxlevel(h, &level);
  EXPECT_EQ(level, 5u);
  zkerr_file(h, s.f);
  zkerr_throw(h, 5, "kept\n");
  EXPECT_EQ(zkerr_file(h, nullptr), 1);
  zkerr_throw(h, 5, "lost again\n");
  EXPECT_EQ(s.text(), "FATAL kept\n");
}

TEST(HandlerTable, LongMessagesAreCutTo10239Characters) {
  captured_stream s;
  int h = new_handler();
  zkerr_file(h, s.f);
  ASSERT_EQ(zkerr_prefix(h, std::string(511, 'p').c_str()), 1);
  std::string body(20000, 'b');
  EXPECT_EQ(zkerr_throw(h, 5, "%s", body.c_str()), 1);
  std::string out = s.text();
  EXPECT_EQ(out.size(), 10239u);
  EXPECT_EQ(out.substr(0, 518), std::string(511, 'p') + "FATAL b");
}

TEST(HandlerTable, PrefixOver511CharactersIsRefusedAndDropsTheOldOne) {
  captured_stream s;
  int h = new_handler();
  zkerr_file(h, s.f);
  EXPECT_EQ(zkerr_prefix(h, "old: "), 1);
  EXPECT_EQ(zkerr_prefix(h, std::string(512, 'p').c_str()), 0);
  EXPECT_EQ(zkerr_prefix(h, nullptr), 0);
  zkerr_throw(h, 4, "m");
  EXPECT_EQ(s.text(), "WARNING m");
}

std::string seen_by_callback;
int record(char *m) { seen_by_callback += m; return 0; }
int refuse(char *) { return -1; }
int make_handlers(char *m) {
  // Growing the table while a raise runs must not disturb the raise.
  for (int i = 0; i < 64; ++i) { int h; zkerr_new(&h); }
  seen_by_callback += m;
  return 0;
}

TEST(HandlerTable, CallbacksSeeMessagesAndCanFailTheRaise) {
  captured_stream s;
  int h = new_handler();
  zkerr_file(h, s.f);
  zkerr_window(h, refuse);
  EXPECT_EQ(zkerr_throw(h, 4, "written anyway\n"), 0);
  EXPECT_EQ(s.text(), "WARNING written anyway\n");

  seen_by_callback.clear();
  zkerr_window(h, make_handlers);
  EXPECT_EQ(zkerr_throw(h, 4, "one\n"), 1);
  EXPECT_EQ(zkerr_throw(h, 4, "two\n"), 1);
  EXPECT_EQ(seen_by_callback, "WARNING one\nWARNING two\n");
}

TEST(HandlerTable, SuppressedHandlerNeitherWritesNorCalls) {
  captured_stream s;
  int h = new_handler();
  zkerr_file(h, s.f);
  seen_by_callback.clear();
  zkerr_window(h, record);
  zkerr_suppress_print(h);
  int state = -1;
  zkerr_print_state(h, &state);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(zkerr_throw(h, 5, "hidden"), 1);
  unsigned level = 0;
  zkerr_maxlevel(h, &level);
  EXPECT_EQ(level, 5u);
  zkerr_restore_print(h);
  zkerr_throw(h, 4, "shown");
  EXPECT_EQ(s.text(), "WARNING shown");
  EXPECT_EQ(seen_by_callback, "WARNING shown");
  zkerr_errclear(h);
  zkerr_maxlevel(h, &level);
  EXPECT_EQ(level, 1u);
}

TEST(HandlerTable, DeletingAFixedHandlerIsRefusedWithAWarning) {
  captured_stream s;
  zkerr_file(-1, s.f);
  zkerr_delete(-1);
  zkerr_delete(0);
  EXPECT_EQ(s.text(), "WARNING Default handler can not be deleted.\n"
                      "WARNING Default handler can not be deleted.\n");
  EXPECT_EQ(zkerr_throw(-1, 4, "still here"), 1);
}

TEST(ReturnCode, NamesLevelsInTenRotatingSlots) {
  struct { unsigned level; const char *text; } cases[] = {
      {0, "ZKERR_BUMMER"}, {4, "ZKERR_WARNING"}, {7, "ZKERR_LEVEL UNDEFINED"},
      {8, "(bogus ZKERR level)"}, {static_cast<unsigned>(-1), "(bogus ZKERR level)"},
  };
  for (const auto &c : cases) EXPECT_STREQ(zkerr_return_code(c.level), c.text);

  char *first = zkerr_return_code(1);
  for (int i = 0; i < 9; ++i) EXPECT_NE(zkerr_return_code(2), first);
  EXPECT_EQ(zkerr_return_code(3), first);
  EXPECT_STREQ(first, "ZKERR_INFO");
}

TEST(Assert, WritesOnlyWhenTheConditionFails) {
  testing::internal::CaptureStderr();
  zkerr_assert(1, "a.c", 1);
  zkerr_assert(0, "b.c", 42);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Assert failed.  File: b.c  Line: 42\n");
}

}  // namespace
