// Scoped silencing of deprecation reports: the deprecation handler's output
// mode is 0 for the object's lifetime, and the log records no site then.
#include "errors/internal/handler_table.hpp"
#include "zkerr.hpp"

ZkerrSuppressDeprecation::ZkerrSuppressDeprecation() {
  hestrel::errors::handler_tag *h = hestrel::errors::lookup(0);
  saved_mode = h->output_mode;
  h->output_mode = 0;
}

// A route given to the handler meanwhile (zkerr_file, zkerrf_file_) is newer
// than the saved mode and stays; putting the old mode back over it could
// pair output mode 1 with a unit number or a null stream.
ZkerrSuppressDeprecation::~ZkerrSuppressDeprecation() {
  hestrel::errors::handler_tag *h = hestrel::errors::lookup(0);
  if (h->output_mode == 0) h->output_mode = static_cast<int>(saved_mode);
}
