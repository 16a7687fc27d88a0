// What the library prints, caught for a test: a C stream into memory, the
// messages of one error handle, and the process's standard output.
#ifndef HESTREL_TEST_OUTPUT_CAPTURE_HPP
#define HESTREL_TEST_OUTPUT_CAPTURE_HPP

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "errors/internal/handler_table.hpp"
#include "hestrel_test/files.hpp"
#include "zkerr.h"

namespace hestrel_test {

// A real FILE* writing into memory.
class MemoryStream {
 public:
  MemoryStream() : stream_(open_memstream(&data_, &size_)) {}
  ~MemoryStream() {
    std::fclose(stream_);
    std::free(data_);
  }
  MemoryStream(const MemoryStream &) = delete;
  MemoryStream &operator=(const MemoryStream &) = delete;
  FILE *get() const { return stream_; }
  std::string text() {
    std::fflush(stream_);
    return std::string(data_, size_);
  }

 private:
  char *data_ = nullptr;
  std::size_t size_ = 0;
  FILE *stream_;
};

// Collects what an error handle prints while alive, then gives the handle
// back the route it had before.
class MessageCapture {
 public:
  explicit MessageCapture(int handle = -1) : handle_(handle) {
    if (const hestrel::errors::handler_tag *h = hestrel::errors::lookup(handle_)) {
      destination_ = h->destination;
      output_mode_ = h->output_mode;
    }
    zkerr_file(handle_, out_.get());
  }
  MessageCapture(const MessageCapture &) = delete;
  MessageCapture &operator=(const MessageCapture &) = delete;
  ~MessageCapture() {
    if (hestrel::errors::handler_tag *h = hestrel::errors::lookup(handle_)) {
      h->destination = destination_;
      h->output_mode = output_mode_;
    }
  }
  std::string text() { return out_.text(); }

 private:
  int handle_;
  MemoryStream out_;
  decltype(hestrel::errors::handler_tag::destination) destination_{stderr};
  int output_mode_ = 1;
};

// Collects what the process writes to standard output while alive.
class StdoutCapture {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
  }
  std::string text() {
    std::fflush(stdout);
    taken_ = true;
    return testing::internal::GetCapturedStdout();
  }
  ~StdoutCapture() {
    if (!taken_) text();
  }
  StdoutCapture(const StdoutCapture &) = delete;
  StdoutCapture &operator=(const StdoutCapture &) = delete;

 private:
  bool taken_ = false;
};

// Sends file descriptor 1 into a file while alive, for writers that bypass
// the C stream.
class StdoutToFile {
 public:
  explicit StdoutToFile(const std::string &path) : path_(path) {
    std::fflush(stdout);
    saved_ = dup(1);
    FILE *f = std::fopen(path.c_str(), "wb");
    dup2(fileno(f), 1);
    std::fclose(f);
  }
  ~StdoutToFile() { restore(); }
  StdoutToFile(const StdoutToFile &) = delete;
  StdoutToFile &operator=(const StdoutToFile &) = delete;
  std::string text() {
    restore();
    return read_file(path_);
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

}  // namespace hestrel_test

#endif
