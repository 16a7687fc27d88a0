// Termination and crash handlers: a report on stdout built without
// allocating, then the previous actions back and the signal raised again.
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <string>

#include "signal_handler.hpp"

namespace {

struct SignalHandler {
  std::string name;
  struct sigaction previous;
};

const int termination_signals[] = {SIGHUP, SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};
const int crash_signals[] = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGQUIT, SIGSEGV, SIGSYS};

// Built once at installation and only read afterwards, also in signal
// context; never destroyed, so a signal during exit still finds it.
std::map<int, SignalHandler> &handlers() {
  static auto *map = new std::map<int, SignalHandler>();
  return *map;
}

const char *signal_name(int signo) {
  auto &map = handlers();
  auto it = map.find(signo);
  return it == map.end() ? "" : it->second.name.c_str();
}

void reset_signal_handler(int signo) {
  auto &map = handlers();
  for (auto &entry : map) sigaction(entry.first, &entry.second.previous, nullptr);
  if (map.find(signo) == map.end()) signal(signo, SIG_DFL);
}

// Keeps a report inside its buffer whatever a description holds.
char *append(char *out, const char *end, const char *text) {
  while (*text && out < end) *out++ = *text++;
  return out;
}

char *append_number(char *out, const char *end, long long value) {
  char digits[24];
  char *stop = pelmoravine::safe_format(digits, value, 0);
  *stop = '\0';
  return append(out, end, digits);
}

// The time twice, the second time as the command that converts it.
char *append_timestamp(char *out, const char *end, long long now) {
  out = append_number(out, end, now);
  out = append(out, end, " (convert with date -d @");
  out = append_number(out, end, now);
  return append(out, end, ")\n");
}

void handle_termination(int signo, siginfo_t *info, void *) {
  char path[64];
  char *p = pelmoravine::safe_format(path, "/proc/");
  p = pelmoravine::safe_format(p, static_cast<long long>(info->si_pid), 0);
  p = pelmoravine::safe_format(p, "/comm");
  *p = '\0';
  char command[32] = "";
  int fd = open(path, O_RDONLY);
  if (fd >= 0) {
    ssize_t n = read(fd, command, sizeof command - 1);
    if (n > 0) {
      if (command[n - 1] == '\n') --n;
      command[n] = '\0';
    }
    close(fd);
  }
  long long now = static_cast<long long>(time(nullptr));

  char report[1024];
  const char *end = report + sizeof report;
  char *out = append(report, end, "Process ");
  out = append_number(out, end, getpid());
  out = append(out, end, " terminated by signal ");
  out = append_number(out, end, signo);
  out = append(out, end, " (");
  out = append(out, end, signal_name(signo));
  out = append(out, end, ") sent by process ");
  out = append_number(out, end, info->si_pid);
#ifndef __APPLE__
  out = append(out, end, " (");
  out = append(out, end, command);
  out = append(out, end, ")");
#endif
  out = append(out, end, " from user ");
  out = append_number(out, end, info->si_uid);
  out = append(out, end, ".\nTimestamp: ");
  out = append_timestamp(out, end, now);
  ssize_t ignored = write(1, report, out - report);
  (void)ignored;

  reset_signal_handler(signo);
  raise(signo);
}

void handle_crash(int signo, siginfo_t *, void *) {
  long long now = static_cast<long long>(time(nullptr));
  char report[1024];
  const char *end = report + sizeof report;
  char *out = append(report, end, "\nProcess ");
  out = append_number(out, end, getpid());
  out = append(out, end, " crashed with signal ");
  out = append_number(out, end, signo);
  out = append(out, end, " (");
  out = append(out, end, signal_name(signo));
  out = append(out, end, ")\nTimestamp: ");
  out = append_timestamp(out, end, now);
  ssize_t ignored = write(1, report, out - report);
  (void)ignored;
  pelmoravine::print_backtrace();
  reset_signal_handler(signo);
  raise(signo);
}

void install(const int *signals, std::size_t count, struct sigaction &action) {
  for (std::size_t i = 0; i < count; ++i) {
    struct sigaction previous;
    memset(&previous, 0, sizeof previous);
    sigaction(signals[i], &action, &previous);
    const char *name = strsignal(signals[i]);
    handlers()[signals[i]] = SignalHandler{name ? name : "", previous};
  }
}

}  // namespace

namespace pelmoravine {

void add_default_signal_handler() {
  if (!handlers().empty()) return;
  // The first backtrace loads the unwinder, which may allocate; do it now
  // rather than inside a crash handler.
  void *frames[100];
  backtrace(frames, 100);

  struct sigaction action;
  memset(&action, 0, sizeof action);
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO;
  action.sa_sigaction = handle_termination;
  install(termination_signals, sizeof termination_signals / sizeof *termination_signals, action);
  action.sa_sigaction = handle_crash;
  install(crash_signals, sizeof crash_signals / sizeof *crash_signals, action);
}

void print_backtrace() {
  void *frames[100];
  int count = backtrace(frames, 100);
  ssize_t ignored = write(1, "\nStack trace:\n", 14);
  backtrace_symbols_fd(frames, count, 1);
  ignored = write(1, "\n", 1);
  (void)ignored;
}

}  // namespace pelmoravine
