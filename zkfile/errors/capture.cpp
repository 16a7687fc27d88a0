// Scoped capture of one handler's messages, the redirect count for Python's
// sys.stderr, scoped silencing of deprecation reports, and errno as text.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "internal/handler_table.hpp"
#include "zkerr.hpp"

using hestrel::errors::handler_tag;
using hestrel::errors::lookup;

namespace pelmoravine {

std::string get_last_error() {
  int code = errno;
  errno = 0;
  if (code == 0) return std::string();
  return std::string(std::strerror(code)) + " (Error " + std::to_string(code) + ")";
}

namespace vardel {

CaptureZKErr::CaptureZKErr(int h) : handle(h) {
  handler_tag *record = lookup(h);
  if (!record) throw std::out_of_range("Invalid zkerr handle: " + std::to_string(h));
  saved_save = record->save ? 1 : 0;
  record->save = true;
  std::swap(record->messages, text);
  saved_suppress = record->suppress_print;
  record->suppress_print = true;
}

CaptureZKErr::CaptureZKErr(CaptureZKErr &&other) noexcept
    : saved_suppress(other.saved_suppress),
      restored(other.restored),
      handle(other.handle),
      saved_save(other.saved_save),
      text(other.text) {
  other.saved_suppress = false;
  other.restored = true;
  other.handle = 0;
  other.saved_save = 0;
  other.text = nullptr;
}

CaptureZKErr &CaptureZKErr::operator=(CaptureZKErr &&other) noexcept {
  if (this != &other) {
    // The target's own capture ends first, so its handler is not left
    // suppressed and collecting with nobody to restore it.
    restore();
    std::free(text);
    saved_suppress = other.saved_suppress;
    restored = other.restored;
    handle = other.handle;
    saved_save = other.saved_save;
    text = other.text;
    other.saved_suppress = false;
    other.restored = true;
    other.handle = 0;
    other.saved_save = 0;
    other.text = nullptr;
  }
  return *this;
}

CaptureZKErr::~CaptureZKErr() {
  restore();
  std::free(text);
}

void CaptureZKErr::restore() {
  if (restored) return;
  handler_tag *record = lookup(handle);
  if (!record) return;
  std::swap(record->messages, text);
  record->save = saved_save != 0;
  if (!saved_save) {
    std::free(record->messages);
    record->messages = nullptr;
  }
  if (!saved_suppress) record->suppress_print = false;
  restored = true;
}

std::string CaptureZKErr::getMessages() {
  if (restored) return text ? std::string(text) : std::string();
  handler_tag *record = lookup(handle);
  if (!record) return std::string();
  std::string out = record->messages ? record->messages : "";
  record->maxlevel = 1;
  std::free(record->messages);
  record->messages = nullptr;
  return out;
}

std::string CaptureZKErr::getMessagesOrDefault(const std::string &fallback) {
  std::string m = getMessages();
  return m.empty() ? fallback : m;
}

std::string CaptureZKErr::addMessagesAsDetails(const std::string &message) {
  std::string m = getMessages();
  return m.empty() ? message : message + ":\n " + m;
}

RedirectZkerrToPythonStderr::RedirectZkerrToPythonStderr() { ++m_count; }

RedirectZkerrToPythonStderr::~RedirectZkerrToPythonStderr() {
  if (!closed) --m_count;
}

void RedirectZkerrToPythonStderr::close() {
  if (closed) return;
  --m_count;
  closed = true;
}

bool RedirectZkerrToPythonStderr::isActive() { return m_count != 0; }

}  // namespace vardel
}  // namespace pelmoravine

ZkerrSuppressDeprecation::ZkerrSuppressDeprecation() {
  handler_tag *record = lookup(0);
  saved_mode = record->output_mode;
  record->output_mode = 0;
}

ZkerrSuppressDeprecation::~ZkerrSuppressDeprecation() {
  lookup(0)->output_mode = static_cast<int>(saved_mode);
}
