// Termination and crash reports, checked in real child processes whose
// standard output comes back through a pipe.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <string>

#include "signal_handler.hpp"

namespace {

struct child_result {
  std::string out;
  int status = 0;
};

// Runs body in a child with stdout on a pipe. before_wait runs in the parent
// with the child's pid once the child has said "ready".
child_result run_child(const std::function<void()> &body, const std::function<void(pid_t)> &before_wait = nullptr) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    dup2(fds[1], 1);
    close(fds[0]);
    body();
    _exit(0);
  }
  close(fds[1]);
  child_result r;
  char buf[4096];
  ssize_t n;
  bool signalled = false;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) {
    r.out.append(buf, n);
    if (!signalled && before_wait && r.out.find("ready\n") != std::string::npos) {
      signalled = true;
      before_wait(pid);
    }
  }
  close(fds[0]);
  waitpid(pid, &r.status, 0);
  return r;
}

std::string own_command() {
  std::ifstream f("/proc/self/comm");
  std::string name;
  std::getline(f, name);
  return name;
}

void announce_and_wait() {
  ssize_t ignored = write(1, "ready\n", 6);
  (void)ignored;
  for (int i = 0; i < 500; ++i) usleep(10000);
}

TEST(SignalHandler, TerminationReportNamesTheSender) {
  child_result r = run_child(
      [] {
        pelmoravine::add_default_signal_handler();
        announce_and_wait();
      },
      [](pid_t pid) { kill(pid, SIGTERM); });
  ASSERT_TRUE(WIFSIGNALED(r.status));
  EXPECT_EQ(WTERMSIG(r.status), SIGTERM);
  std::regex report("ready\nProcess [0-9]+ terminated by signal 15 \\(" + std::string(strsignal(SIGTERM)) +
                    "\\) sent by process " + std::to_string(getpid()) + " \\(" + own_command() + "\\) from user " +
                    std::to_string(getuid()) + "\\.\nTimestamp: ([0-9]+) \\(convert with date -d @\\1\\)\n");
  EXPECT_TRUE(std::regex_match(r.out, report)) << r.out;
}

void host_handler(int) {
  ssize_t ignored = write(1, "host handler\n", 13);
  (void)ignored;
}

TEST(SignalHandler, HostHandlerRunsAfterTheReportAndActionsAreRestored) {
  child_result r = run_child([] {
    signal(SIGINT, host_handler);
    signal(SIGUSR1, SIG_IGN);
    const int all[] = {SIGHUP,  SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ,
                       SIGABRT, SIGBUS, SIGFPE,  SIGILL,  SIGQUIT, SIGSEGV, SIGSYS};
    struct sigaction before[14];
    for (int i = 0; i < 14; ++i) sigaction(all[i], nullptr, &before[i]);
    pelmoravine::add_default_signal_handler();
    pelmoravine::add_default_signal_handler();
    raise(SIGINT);
    for (int i = 0; i < 14; ++i) {
      struct sigaction now;
      sigaction(all[i], nullptr, &now);
      if (now.sa_handler != before[i].sa_handler) {
        ssize_t ignored = write(1, "not restored\n", 13);
        (void)ignored;
      }
    }
    raise(SIGUSR1);  // ignored again: the program goes on
    ssize_t ignored = write(1, "went on\n", 8);
    (void)ignored;
  });
  ASSERT_TRUE(WIFEXITED(r.status)) << r.out;
  EXPECT_NE(r.out.find("terminated by signal 2 ("), std::string::npos) << r.out;
  EXPECT_LT(r.out.find("terminated by signal 2"), r.out.find("host handler\n"));
  EXPECT_EQ(r.out.find("not restored"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("went on\n"), std::string::npos) << r.out;
}

TEST(SignalHandler, CrashReportWithStackTraceThenDefaultAction) {
  child_result r = run_child([] {
    signal(SIGSEGV, SIG_DFL);
    pelmoravine::add_default_signal_handler();
    raise(SIGSEGV);
  });
  ASSERT_TRUE(WIFSIGNALED(r.status)) << r.out;
  EXPECT_EQ(WTERMSIG(r.status), SIGSEGV);
  std::regex head("\nProcess [0-9]+ crashed with signal 11 \\(" + std::string(strsignal(SIGSEGV)) +
                  "\\)\nTimestamp: ([0-9]+) \\(convert with date -d @\\1\\)\n\nStack trace:\n[^]*\n");
  EXPECT_TRUE(std::regex_match(r.out, head)) << r.out;
}

TEST(SignalHandler, BacktraceOutsideASignal) {
  child_result r = run_child([] { pelmoravine::print_backtrace(); });
  EXPECT_EQ(r.out.rfind("\nStack trace:\n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.back(), '\n');
}

}  // namespace
