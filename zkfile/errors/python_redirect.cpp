// Counting the open redirects of the default handler to Python's
// sys.stderr; the raise reads the count on every message on handle -1.
#include "zkerr.hpp"

namespace pelmoravine::vardel {

RedirectZkerrToPythonStderr::RedirectZkerrToPythonStderr() { ++m_count; }

RedirectZkerrToPythonStderr::~RedirectZkerrToPythonStderr() { close(); }

void RedirectZkerrToPythonStderr::close() {
  if (closed) return;
  --m_count;
  closed = true;
}

bool RedirectZkerrToPythonStderr::isActive() { return m_count != 0; }

}  // namespace pelmoravine::vardel
