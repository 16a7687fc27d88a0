// Sweeps a call sequence over allocation failures: for N = 1, 2, ... the Nth
// allocation fails (once, and then from N on), the sequence must end
// normally, and the same sequence run right after must give what it gives
// without failures.
#ifndef HESTREL_TESTS_ALLOCATION_SWEEP_HPP
#define HESTREL_TESTS_ALLOCATION_SWEEP_HPP

#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "failing_allocator.hpp"
#include "zkerr.h"

namespace alloc_test {

// What a sequence gives, in fixed storage: recording it allocates nothing.
struct outcome {
  long values[64] = {};
  char texts[8][256] = {};
  int n_values = 0;
  int n_texts = 0;
  void value(long v) {
    if (n_values < 64) values[n_values++] = v;
  }
  void text(const char *t) {
    if (n_texts < 8) std::snprintf(texts[n_texts++], sizeof texts[0], "%s", t ? t : "(null)");
  }
  // Writes where this outcome and the other differ to stderr.
  void print_differences(const outcome &o) const {
    for (int i = 0; i < n_values || i < o.n_values; ++i)
      if (i >= n_values || i >= o.n_values || values[i] != o.values[i])
        std::fprintf(stderr, "  value %d: %ld, clean %ld\n", i, i < n_values ? values[i] : -999,
                     i < o.n_values ? o.values[i] : -999);
    for (int i = 0; i < n_texts || i < o.n_texts; ++i)
      if (i >= n_texts || i >= o.n_texts || std::strcmp(texts[i], o.texts[i]) != 0)
        std::fprintf(stderr, "  text %d: '%s', clean '%s'\n", i, i < n_texts ? texts[i] : "",
                     i < o.n_texts ? o.texts[i] : "");
  }
  bool operator==(const outcome &o) const {
    if (n_values != o.n_values || n_texts != o.n_texts) return false;
    if (std::memcmp(values, o.values, sizeof(long) * n_values) != 0) return false;
    for (int i = 0; i < n_texts; ++i)
      if (std::strcmp(texts[i], o.texts[i]) != 0) return false;
    return true;
  }
};

// The library's reports of the failures go to /dev/null meanwhile.
class QuietDefaultHandler {
 public:
  QuietDefaultHandler() : null_(std::fopen("/dev/null", "w")) { zkerr_file(-1, null_); }
  ~QuietDefaultHandler() {
    zkerr_file(-1, stderr);
    std::fclose(null_);
  }
  QuietDefaultHandler(const QuietDefaultHandler &) = delete;
  QuietDefaultHandler &operator=(const QuietDefaultHandler &) = delete;

 private:
  FILE *null_;
};

// What a child run ends with besides fn's own status.
constexpr int kEscaped = 3;    // an exception left the C interface
constexpr int kAbnormal = -1;  // an abort or a crash

// Runs fn in a child process of its own; its exit status, kEscaped, or
// kAbnormal. The child never returns into the test program.
template <typename Fn>
int in_child(Fn fn) {
  pid_t pid = fork();
  if (pid == 0) {
    try {
      _exit(fn());
    } catch (...) {
      _exit(kEscaped);
    }
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : kAbnormal;
}

// Runs sequence(outcome&) with a failure injected at every allocation it
// makes, each position in a fresh child process, so that what is set up on
// first use fails at every point of its set-up too. A position passes when
// the run ends normally and the same sequence run right after in the same
// process gives what it gives without failures. Returns the number of
// positions (allocations of a clean run).
template <typename Sequence>
long sweep(Sequence sequence) {
  outcome reference;
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) {
    ADD_FAILURE() << "pipe";
    return 0;
  }
  int clean = in_child([&] {
    QuietDefaultHandler quiet;
    // The second of two clean runs: the one a run after a failed one is
    // compared with.
    outcome first, second;
    sequence(first);
    sequence(second);
    bool written = write(pipe_ends[1], &second, sizeof second) == static_cast<ssize_t>(sizeof second);
    return written ? 0 : 1;
  });
  close(pipe_ends[1]);
  bool read_back = read(pipe_ends[0], &reference, sizeof reference) == static_cast<ssize_t>(sizeof reference);
  close(pipe_ends[0]);
  if (clean != 0 || !read_back) {
    ADD_FAILURE() << "the sequence fails without any failed allocation";
    return 0;
  }
  enum { kPassed = 0, kDiffers = 1, kEnd = 2 };
  long positions = 0;
  for (bool persistent : {false, true}) {
    for (long n = 1; n <= 100000; ++n) {
      int status = in_child([&] {
        QuietDefaultHandler quiet;
        outcome failed_run, again;
        arm(n, persistent);
        sequence(failed_run);
        disarm();
        if (failures() == 0) return int{kEnd};
        sequence(again);
        if (again == reference) return int{kPassed};
        again.print_differences(reference);
        return int{kDiffers};
      });
      if (status == kEnd) break;
      if (n > positions) positions = n;
      const char *which = persistent ? " and every later one" : " alone";
      EXPECT_NE(status, kAbnormal) << "the run ended abnormally with allocation " << n << which << " failing";
      EXPECT_NE(status, kEscaped) << "an exception left the C interface with allocation " << n << which << " failing";
      EXPECT_NE(status, int{kDiffers}) << "the run after allocation " << n << which
                                       << " failed differs from a clean run";
    }
  }
  return positions;
}

}  // namespace alloc_test

#endif
