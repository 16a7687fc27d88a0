// Runs part of a preference test in a child process, under an alarm, so a
// limit, a mount or a hang of the code under test stays in the child.
#ifndef HESTREL_TESTS_ZKPREF_CHILD_PROCESS_HPP
#define HESTREL_TESTS_ZKPREF_CHILD_PROCESS_HPP

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace zkpref_test {

// What the body reported (empty when everything held), followed by how the
// child ended when it did not exit normally (an alarm shows as signal 14).
inline std::string in_child(const std::function<std::string()> &body, unsigned seconds = 60) {
  int report[2];
  if (pipe(report) != 0) return "no pipe";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return "no fork";
  if (pid == 0) {
    close(report[0]);
    alarm(seconds);
    const std::string text = body();
    ssize_t written = 0;
    while (written < static_cast<ssize_t>(text.size())) {
      const ssize_t n = write(report[1], text.data() + written, text.size() - written);
      if (n <= 0) break;
      written += n;
    }
    _exit(0);
  }
  close(report[1]);
  std::string text;
  char buffer[512];
  ssize_t n;
  while ((n = read(report[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  close(report[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) text += "child ended by signal " + std::to_string(WTERMSIG(status));
  return text;
}

// Collects the checks that failed in a child, one line each.
class ChildChecks {
 public:
  void operator()(bool held, const std::string &what) {
    if (!held) failed_ += what + "\n";
  }
  const std::string &failed() const { return failed_; }

 private:
  std::string failed_;
};

}  // namespace zkpref_test

#endif
