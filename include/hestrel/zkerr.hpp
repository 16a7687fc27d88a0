// C++ side of the error handlers: scoped capture of a handler's messages,
// the redirect of the default handler to Python's sys.stderr, scoped
// silencing of deprecation reports, and errno as text.
#ifndef HESTREL_ZKERR_HPP
#define HESTREL_ZKERR_HPP

#include "hestrel_export.h"

#include <cstdint>
#include <string>

#include "zkerr.h"

namespace pelmoravine {

// strerror(errno), " (Error N)"; empty when errno is 0. Clears errno.
HESTREL_API std::string get_last_error();

namespace vardel {

// While alive, the handler collects what passes its threshold instead of
// printing it. Throws std::out_of_range for a handle that names no handler.
class HESTREL_API CaptureZKErr {
 public:
  explicit CaptureZKErr(int handle);
  CaptureZKErr(CaptureZKErr &&other) noexcept;
  CaptureZKErr &operator=(CaptureZKErr &&other) noexcept;
  CaptureZKErr(const CaptureZKErr &) = delete;
  CaptureZKErr &operator=(const CaptureZKErr &) = delete;
  ~CaptureZKErr();

  // Ends the capture; a second call does nothing.
  void restore();
  // What was captured. While the capture is active this takes the text: the
  // handler's collected text is cleared (and its highest level set back to
  // 1), so a second call returns only what was raised after the first, ""
  // when nothing was. After restore() it returns the same text every time.
  std::string getMessages();
  // The two below call getMessages() and take the text the same way: after
  // one of them during the capture, getMessagesOrDefault gives the fallback.
  std::string getMessagesOrDefault(const std::string &fallback);
  // message alone when nothing was captured, else message, ":\n " and the text.
  std::string addMessagesAsDetails(const std::string &message);

 private:
  bool saved_suppress = false;
  bool restored = false;
  int handle = 0;
  int saved_save = 0;
  char *text = nullptr;
};

// While at least one is open, the default handler's stderr output goes to
// Python's sys.stderr (when an interpreter is initialised in the process).
class HESTREL_API RedirectZkerrToPythonStderr {
 public:
  RedirectZkerrToPythonStderr();
  ~RedirectZkerrToPythonStderr();
  RedirectZkerrToPythonStderr(const RedirectZkerrToPythonStderr &) = delete;
  RedirectZkerrToPythonStderr &operator=(const RedirectZkerrToPythonStderr &) = delete;

  void close();
  static bool isActive();

  static std::int64_t m_count;

 private:
  bool closed = false;
};

}  // namespace vardel
}  // namespace pelmoravine

// Silences deprecation reports (handle 0) for its lifetime.
class HESTREL_API ZkerrSuppressDeprecation {
 public:
  ZkerrSuppressDeprecation();
  ~ZkerrSuppressDeprecation();
  ZkerrSuppressDeprecation(const ZkerrSuppressDeprecation &) = delete;
  ZkerrSuppressDeprecation &operator=(const ZkerrSuppressDeprecation &) = delete;

 private:
  std::int64_t saved_mode;
};

#endif
