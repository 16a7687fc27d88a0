// Runs programs/zkpref_fault_driver in a child with the fault shim preloaded
// (and, on request, the shim that takes unnamed temporary files away, so the
// settings machinery writes a named copy): the test steps it from pause to
// pause, or from stall to stall, and reads what each command returned.
#ifndef HESTREL_TESTS_ZKPREF_FAULT_DRIVER_HPP
#define HESTREL_TESTS_ZKPREF_FAULT_DRIVER_HPP

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hestrel_test/files.hpp"

extern char **environ;

namespace zkpref_test {

// One command of a driver's script and what it must print for it.
struct Step {
  std::string command;
  std::string result;
};

// What the driver prints for steps that all went as expected.
inline std::string transcript(const std::vector<Step> &steps) {
  std::string text;
  for (const Step &s : steps) text += s.command + " => " + s.result + "\n";
  return text;
}

inline std::vector<std::string> commands(const std::vector<Step> &steps) {
  std::vector<std::string> list;
  for (const Step &s : steps) list.push_back(s.command);
  return list;
}

class Driver {
 public:
  // file: the preference file the faults aim at; output: a path prefix for
  // the child's standard output and error.
  Driver(const std::string &file, const std::string &output, const std::vector<std::string> &script,
         bool named_copies = false)
      : output_(output) {
    int announce[2], resume[2];
    if (pipe2(announce, O_CLOEXEC) != 0) return;
    if (pipe2(resume, O_CLOEXEC) != 0) {
      close(announce[0]);
      close(announce[1]);
      return;
    }
    std::vector<std::string> env = environment(file, named_copies, announce[1], resume[0]);
    std::vector<std::string> args{HESTREL_ZKPREF_FAULT_DRIVER};
    args.insert(args.end(), script.begin(), script.end());
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) start(args, env, announce[1], resume[0]);
    close(announce[1]);
    close(resume[0]);
    announce_ = announce[0];
    resume_ = resume[1];
  }
  Driver(const Driver &) = delete;
  Driver &operator=(const Driver &) = delete;
  ~Driver() {
    if (pid_ > 0) kill();
    if (announce_ >= 0) close(announce_);
    if (resume_ >= 0) close(resume_);
  }

  // Waits until the child pauses or stalls in a faulted call; false when it
  // ended first.
  bool stalled() {
    char byte;
    return announce_ >= 0 && read(announce_, &byte, 1) == 1;
  }
  void resume() {
    const char byte = 'r';
    if (resume_ >= 0) (void)!write(resume_, &byte, 1);
  }
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Waits for the end: the transcript, then a line on how the child ended
  // unless it exited with 0.
  std::string finish() {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
    std::string text = hestrel_test::read_file(output_ + ".out");
    if (WIFSIGNALED(status))
      text += "ended by signal " + std::to_string(WTERMSIG(status)) + "\n";
    else if (WEXITSTATUS(status) != 0)
      text += "exit " + std::to_string(WEXITSTATUS(status)) + "\n";
    return text;
  }
  // Its standard error, for the report of a failed check.
  std::string errors() const { return hestrel_test::read_file(output_ + ".err"); }

 private:
  static std::vector<std::string> environment(const std::string &file, bool named_copies, int announce, int resume) {
    const std::string shims = std::string(HESTREL_ZKPREF_FAULT_SHIM) +
                              (named_copies ? std::string(":") + HESTREL_ZKPREF_NO_TMPFILE_SHIM : "");
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("LD_PRELOAD=", 0) != 0 && entry.rfind("ASAN_OPTIONS=", 0) != 0) env.push_back(entry);
    }
    env.push_back("LD_PRELOAD=" + shims);
    // A sanitizer runtime otherwise insists on coming first.
    env.push_back("ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0");
    env.push_back("HESTREL_FAULT_FILE=" + file);
    env.push_back("HESTREL_FAULT_ANNOUNCE_FD=" + std::to_string(announce));
    env.push_back("HESTREL_FAULT_RESUME_FD=" + std::to_string(resume));
    return env;
  }

  [[noreturn]] void start(const std::vector<std::string> &args, const std::vector<std::string> &env, int announce,
                          int resume) {
    // Only its own two pipe ends reach the program.
    fcntl(announce, F_SETFD, 0);
    fcntl(resume, F_SETFD, 0);
    const int out = open((output_ + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((output_ + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    std::vector<char *> argv, envp;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    for (const std::string &e : env) envp.push_back(const_cast<char *>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }

  std::string output_;
  pid_t pid_ = -1;
  int announce_ = -1, resume_ = -1;
};

}  // namespace zkpref_test

#endif
