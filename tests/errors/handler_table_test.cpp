// The handler table and the raise: handles, thresholds, routes, the message
// buffer's cut, callbacks and the level texts.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "errors/internal/handler_table.hpp"
#include "hestrel_test/temp_home.hpp"
#include "zkerr.h"

using hestrel_test::MemoryStream;

namespace {

// Each test puts back the handlers it changed.
using ZkerrTable = hestrel_test::ProcessStateTest;
using ZkerrPrefix = hestrel_test::ProcessStateTest;
using ZkerrReturnCode = hestrel_test::ProcessStateTest;
using ZkerrAssert = hestrel_test::ProcessStateTest;

// What the callbacks below were handed, emptied before each test.
std::vector<std::string> seen;
struct ZkerrRaise : hestrel_test::ProcessStateTest {
  void SetUp() override { seen.clear(); }
};

int new_handler(FILE *stream) {
  int h = 0;
  EXPECT_EQ(zkerr_new(&h), 1);
  zkerr_file(h, stream);
  return h;
}

TEST_F(ZkerrRaise, ThresholdLevelNamesAndHighestLevel) {
  const unsigned int minus_one = static_cast<unsigned int>(-1);
  struct Case {
    unsigned int threshold, level;
    const char *printed;  // null: dropped
    unsigned int maxlevel_after;
  } cases[] = {
      {4, 3, nullptr, 3},  // dropped, still counted
      {4, 4, "WARNING m", 4},
      {4, 5, "FATAL m", 5},
      {0, 0, "BUMMER m", 1},  // 0 never raises the highest level
      {0, 1, "OK m", 1},
      {0, 2, "DEBUG m", 2},
      {6, 6, "OFF m", 6},
      {7, 7, "LEVEL UNDEFINED m", 1},  // 7 and up leave it unchanged
      {7, 8, "LEVEL UNDEFINED m", 1},
      {7, minus_one, "LEVEL UNDEFINED m", 1},  // a negative level passes all
      {8, 7, nullptr, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "threshold " << c.threshold << " level " << c.level);
    MemoryStream out;
    int h = new_handler(out.get());
    ASSERT_EQ(zkerr_level(h, c.threshold), 1);
    EXPECT_EQ(zkerr_throw(h, c.level, "%s", "m"), 1);
    EXPECT_EQ(out.text(), c.printed ? c.printed : "");
    unsigned int maxlevel = 0;
    ASSERT_EQ(zkerr_maxlevel(h, &maxlevel), 1);
    EXPECT_EQ(maxlevel, c.maxlevel_after);
    zkerr_delete(h);
  }
}

TEST_F(ZkerrRaise, FreshDefaultHandlerDropsInfoAndCountsIt) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(zkerr_throw(-1, 3, "quiet\n"), 1);
  EXPECT_EQ(zkerr_throw(-1, 4, "loud %d\n", 7), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING loud 7\n");
  unsigned int maxlevel = 0, threshold = 0;
  zkerr_maxlevel(-1, &maxlevel);
  zkerr_get_level(-1, &threshold);
  EXPECT_EQ(maxlevel, 4u);
  EXPECT_EQ(threshold, 4u);
}

TEST_F(ZkerrRaise, LongTextIsCutToTheBuffer) {
  const std::string long_text(3 * hestrel::errors::message_buffer_size, 'x');
  const std::string prefix_511(511, 'p');
  for (const std::string &prefix : {std::string(), prefix_511}) {
    MemoryStream out;
    int h = new_handler(out.get());
    ASSERT_EQ(zkerr_prefix(h, prefix.c_str()), 1);
    EXPECT_EQ(zkerr_throw(h, 5, "%s", long_text.c_str()), 1);
    std::string header = prefix + "FATAL ";
    EXPECT_EQ(out.text(), header + long_text.substr(0, 10239 - header.size()));
    zkerr_delete(h);
  }
}

TEST_F(ZkerrTable, LowestFreeHandleIsReused) {
  int a, b, c, d, e;
  zkerr_new(&a);
  zkerr_new(&b);
  zkerr_new(&c);
  EXPECT_EQ(std::vector<int>({a, b, c}), std::vector<int>({1, 2, 3}));
  zkerr_delete(b);
  zkerr_new(&d);
  zkerr_new(&e);
  EXPECT_EQ(d, 2);
  EXPECT_EQ(e, 4);
}

TEST_F(ZkerrTable, HandlesThatNameNoHandlerChangeNothing) {
  int made = 0;
  zkerr_new(&made);
  zkerr_delete(made);  // entry 1 exists but is free
  unsigned int level = 99;
  int state = 99;
  for (int handle : {made, 2, 7, -2, -1000}) {
    SCOPED_TRACE(handle);
    EXPECT_EQ(zkerr_throw(handle, 5, "x"), 0);
    EXPECT_EQ(zkerr_level(handle, 1), 0);
    EXPECT_EQ(zkerr_get_level(handle, &level), 0);
    EXPECT_EQ(zkerr_file(handle, stderr), 0);
    EXPECT_EQ(zkerr_window(handle, nullptr), 0);
    EXPECT_EQ(zkerr_maxlevel(handle, &level), 0);
    EXPECT_EQ(zkerr_errclear(handle), 0);
    EXPECT_EQ(zkerr_prefix(handle, "p"), 0);
    EXPECT_EQ(zkerr_suppress_print(handle), 0);
    EXPECT_EQ(zkerr_restore_print(handle), 0);
    EXPECT_EQ(zkerr_print_state(handle, &state), 0);
    zkerr_delete(handle);
  }
  EXPECT_EQ(level, 99u);
  EXPECT_EQ(state, 99);
}

// A null output is refused with the function's failure result and a
// WARNING, whether the handle names a handler or not, and nothing changes:
// the call with an output answers as before (only handle -1 counts the
// WARNING in its highest level) and no handler is made.
TEST_F(ZkerrTable, NullOutputsFailWithAWarning) {
  int made = 0;
  ASSERT_EQ(zkerr_new(&made), 1);
  struct Case {
    const char *warning;
    int (*refused)(int handle);
    long (*answer)(int handle);  // the value stored, or -1 for a result of 0
  } cases[] = {
      {"WARNING zkerr_new(): null handle pointer\n", [](int) { return zkerr_new(nullptr); },
       [](int) -> long {
         int handle = 0;
         if (zkerr_new(&handle) != 1) return -1;
         zkerr_delete(handle);
         return 1;
       }},
      {"WARNING zkerr_get_level(): null level pointer\n", [](int handle) { return zkerr_get_level(handle, nullptr); },
       [](int handle) -> long {
         unsigned int level = 0;
         return zkerr_get_level(handle, &level) == 1 ? level : -1;
       }},
      {"WARNING zkerr_maxlevel(): null level pointer\n", [](int handle) { return zkerr_maxlevel(handle, nullptr); },
       [](int handle) -> long {
         unsigned int level = 0;
         return zkerr_maxlevel(handle, &level) == 1 ? level : -1;
       }},
      {"WARNING zkerr_print_state(): null state pointer\n",
       [](int handle) { return zkerr_print_state(handle, nullptr); },
       [](int handle) -> long {
         int state = 0;
         return zkerr_print_state(handle, &state) == 1 ? state : -1;
       }},
  };
  const bool counts_warning[] = {false, false, true, false};
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    const Case &c = cases[row];
    for (int handle : {-1, 0, made, 7}) {
      SCOPED_TRACE(testing::Message() << c.warning << "on handle " << handle);
      const long before = c.answer(handle);
      const std::size_t table_size = hestrel::errors::handlers->size();
      testing::internal::CaptureStderr();
      EXPECT_EQ(c.refused(handle), 0);
      EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning);
      EXPECT_EQ(hestrel::errors::handlers->size(), table_size);
      EXPECT_EQ(c.answer(handle), counts_warning[row] && handle == -1 ? std::max(before, 4L) : before);
    }
  }
}

TEST_F(ZkerrTable, NewHandlerWritesNothingButCountsLevels) {
  int h = 0;
  ASSERT_EQ(zkerr_new(&h), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(zkerr_throw(h, 5, "unseen\n"), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  unsigned int maxlevel = 0;
  zkerr_maxlevel(h, &maxlevel);
  EXPECT_EQ(maxlevel, 5u);
  EXPECT_EQ(zkerr_errclear(h), 1);
  zkerr_maxlevel(h, &maxlevel);
  EXPECT_EQ(maxlevel, 1u);
}

TEST_F(ZkerrTable, NullStreamSilencesUntilAStreamIsGiven) {
  MemoryStream out;
  int h = new_handler(out.get());
  EXPECT_EQ(zkerr_file(h, nullptr), 1);
  zkerr_throw(h, 4, "a");
  EXPECT_EQ(zkerr_file(h, out.get()), 1);
  zkerr_throw(h, 4, "b");
  EXPECT_EQ(out.text(), "WARNING b");
}

TEST_F(ZkerrTable, DefaultHandlersCannotBeDeleted) {
  testing::internal::CaptureStderr();
  zkerr_delete(-1);
  zkerr_delete(0);
  EXPECT_EQ(zkerr_throw(-1, 5, "still here\n"), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "WARNING Default handler can not be deleted.\n"
            "WARNING Default handler can not be deleted.\n"
            "FATAL still here\n");
}

TEST_F(ZkerrPrefix, LengthLimitAndRelease) {
  struct Case {
    std::size_t length;
    int result;
    bool prefixed;
  } cases[] = {{0, 1, false}, {3, 1, true}, {511, 1, true}, {512, 0, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.length);
    MemoryStream out;
    int h = new_handler(out.get());
    ASSERT_EQ(zkerr_prefix(h, "old: "), 1);
    std::string prefix(c.length, 'q');
    EXPECT_EQ(zkerr_prefix(h, prefix.c_str()), c.result);
    zkerr_throw(h, 4, "m");
    EXPECT_EQ(out.text(), (c.prefixed ? prefix : std::string()) + "WARNING m");
    zkerr_delete(h);
  }
  EXPECT_EQ(zkerr_prefix(-1, nullptr), 0);
}

int record_message(char *message) {
  seen.emplace_back(message);
  return 0;
}
int refuse_message(char *message) {
  seen.emplace_back(message);
  return -1;
}

TEST_F(ZkerrRaise, SuppressedHandlerCountsAndCollectsOnly) {
  MemoryStream out;
  int h = new_handler(out.get());
  zkerr_window(h, record_message);
  hestrel::errors::lookup(h)->save = true;
  ASSERT_EQ(zkerr_suppress_print(h), 1);
  int state = -1;
  zkerr_print_state(h, &state);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(zkerr_throw(h, 5, "one;"), 1);
  EXPECT_EQ(zkerr_throw(h, 4, "two;"), 1);
  EXPECT_EQ(out.text(), "");
  EXPECT_TRUE(seen.empty());
  EXPECT_STREQ(hestrel::errors::lookup(h)->messages, "FATAL one;WARNING two;");
  unsigned int maxlevel = 0;
  zkerr_maxlevel(h, &maxlevel);
  EXPECT_EQ(maxlevel, 5u);
  zkerr_restore_print(h);
  zkerr_print_state(h, &state);
  EXPECT_EQ(state, 1);
  zkerr_throw(h, 4, "three");
  EXPECT_EQ(out.text(), "WARNING three");
  EXPECT_EQ(seen, std::vector<std::string>({"WARNING three"}));
}

TEST_F(ZkerrRaise, RefusingCallbackFailsTheRaiseAfterWriting) {
  MemoryStream out;
  int h = new_handler(out.get());
  hestrel::errors::lookup(h)->save = true;
  zkerr_window(h, refuse_message);
  EXPECT_EQ(zkerr_throw(h, 4, "x%d", 1), 0);
  EXPECT_EQ(out.text(), "WARNING x1");
  EXPECT_EQ(seen, std::vector<std::string>({"WARNING x1"}));
  EXPECT_EQ(hestrel::errors::lookup(h)->messages, nullptr);
  zkerr_window(h, nullptr);
  EXPECT_EQ(zkerr_throw(h, 4, "y"), 1);
  EXPECT_STREQ(hestrel::errors::lookup(h)->messages, "WARNING y");
}

TEST_F(ZkerrRaise, FailedStreamWriteStopsBeforeCallbackAndCollecting) {
  FILE *full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  std::setvbuf(full, nullptr, _IONBF, 0);
  int h = new_handler(full);
  hestrel::errors::lookup(h)->save = true;
  zkerr_window(h, record_message);
  EXPECT_EQ(zkerr_throw(h, 4, "lost"), 0);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(hestrel::errors::lookup(h)->messages, nullptr);
  zkerr_file(h, nullptr);
  std::fclose(full);
}

// Handlers made or deleted by a callback while a raise runs.
int made_in_callback[64];
int grow_table(char *) {
  for (int &handle : made_in_callback) zkerr_new(&handle);
  return 0;
}
int delete_own_handler(char *) {
  zkerr_delete(1);
  return 0;
}

TEST_F(ZkerrRaise, CallbackMayMakeAndDeleteHandlers) {
  MemoryStream out;
  int h = new_handler(out.get());
  hestrel::errors::lookup(h)->save = true;
  zkerr_window(h, grow_table);
  EXPECT_EQ(zkerr_throw(h, 4, "kept"), 1);
  EXPECT_STREQ(hestrel::errors::lookup(h)->messages, "WARNING kept");
  EXPECT_EQ(made_in_callback[0], 2);
  EXPECT_EQ(made_in_callback[63], 65);

  ASSERT_EQ(h, 1);
  zkerr_window(h, delete_own_handler);
  EXPECT_EQ(zkerr_throw(h, 4, "last"), 1);
  EXPECT_EQ(hestrel::errors::lookup(h), nullptr);
  EXPECT_EQ(out.text(), "WARNING keptWARNING last");
}

TEST_F(ZkerrReturnCode, TextsAndRotatingSlots) {
  const char *expected[] = {"ZKERR_BUMMER",  "ZKERR_OK",    "ZKERR_DEBUG", "ZKERR_INFO",
                            "ZKERR_WARNING", "ZKERR_FATAL", "ZKERR_OFF",   "ZKERR_LEVEL UNDEFINED"};
  for (unsigned int level = 0; level < 8; ++level) EXPECT_STREQ(zkerr_return_code(level), expected[level]);
  EXPECT_STREQ(zkerr_return_code(8), "(bogus ZKERR level)");
  EXPECT_STREQ(zkerr_return_code(static_cast<unsigned int>(-1)), "(bogus ZKERR level)");

  std::vector<char *> slots;
  for (int i = 0; i < 11; ++i) slots.push_back(zkerr_return_code(4));
  for (int i = 1; i < 10; ++i) EXPECT_NE(slots[i], slots[0]);
  EXPECT_EQ(slots[10], slots[0]);
}

TEST_F(ZkerrAssert, WritesOnlyWhenTheConditionFails) {
  testing::internal::CaptureStderr();
  zkerr_assert(1, "a.c", 3);
  zkerr_assert(0, "b.c", 12);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Assert failed.  File: b.c  Line: 12\n");
}

}  // namespace
