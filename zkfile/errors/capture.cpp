// Scoped capture of one handler's messages: while a capture is active the
// handler collects instead of printing, and the holder reads the text.
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include "errors/internal/handler_table.hpp"
#include "zkerr.hpp"

namespace pelmoravine::vardel {

using hestrel::errors::handler_tag;
using hestrel::errors::lookup;

CaptureZKErr::CaptureZKErr(int handle_) : handle(handle_) {
  handler_tag *h = lookup(handle);
  if (!h) throw std::out_of_range("Invalid zkerr handle: " + std::to_string(handle));
  saved_save = h->save ? 1 : 0;
  h->save = true;
  std::swap(text, h->messages);
  saved_suppress = h->suppress_print;
  h->suppress_print = true;
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

// The target's own capture ends first, so its handler gets back its state
// and no text is lost or leaked before the source's capture moves in.
CaptureZKErr &CaptureZKErr::operator=(CaptureZKErr &&other) noexcept {
  if (this == &other) return *this;
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
  return *this;
}

CaptureZKErr::~CaptureZKErr() {
  restore();
  std::free(text);
}

void CaptureZKErr::restore() {
  if (restored) return;
  handler_tag *h = lookup(handle);
  // A deleted handle: try again at the next restore or in the destructor.
  if (!h) return;
  std::swap(text, h->messages);
  h->save = saved_save != 0;
  if (!saved_save) {
    std::free(h->messages);
    h->messages = nullptr;
  }
  if (!saved_suppress) h->suppress_print = false;
  restored = true;
}

std::string CaptureZKErr::getMessages() {
  if (restored) return text ? std::string(text) : std::string();
  handler_tag *h = lookup(handle);
  if (!h) return std::string();
  std::string out = h->messages ? std::string(h->messages) : std::string();
  zkerr_errclear(handle);
  return out;
}

std::string CaptureZKErr::getMessagesOrDefault(const std::string &fallback) {
  std::string messages = getMessages();
  return messages.empty() ? fallback : messages;
}

std::string CaptureZKErr::addMessagesAsDetails(const std::string &message) {
  std::string messages = getMessages();
  return messages.empty() ? message : message + ":\n " + messages;
}

}  // namespace pelmoravine::vardel
