// The process-wide table of error handlers and the functions that make,
// delete and configure them.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "internal/handler_table.hpp"
#include "zkerr.h"

namespace hestrel::errors {
namespace {

handler_tag make_fixed_handler() {
  handler_tag h;
  h.in_use = true;
  h.destination.stream = stderr;
  h.output_mode = 1;
  return h;
}

// Never destroyed: a message raised from another object's destructor at exit
// still finds its handler.
std::vector<std::unique_ptr<handler_tag>> &table() {
  static auto *t = new std::vector<std::unique_ptr<handler_tag>>();
  return *t;
}

handler_tag *default_handler() {
  static handler_tag *h = new handler_tag(make_fixed_handler());
  return h;
}

handler_tag *deprecation_handler() {
  static handler_tag *h = new handler_tag(make_fixed_handler());
  return h;
}

}  // namespace

int thrown_from_fortran = 0;

handler_tag *lookup(int handle) {
  if (handle == -1) return default_handler();
  if (handle == 0) return deprecation_handler();
  auto &t = table();
  if (handle < 1 || static_cast<std::size_t>(handle) > t.size()) return nullptr;
  handler_tag *h = t[handle - 1].get();
  return h->in_use ? h : nullptr;
}

const char *level_name(unsigned int level) {
  static const char *const names[] = {"BUMMER", "OK",  "DEBUG", "INFO",
                                      "WARNING", "FATAL", "OFF", "LEVEL UNDEFINED"};
  return names[level < 7 ? level : 7];
}

}  // namespace hestrel::errors

using hestrel::errors::handler_tag;
using hestrel::errors::lookup;
using hestrel::errors::no_handle;

extern "C" {

int zkerr_new(int *handle) {
  *handle = -1;
  auto &t = hestrel::errors::table();
  std::size_t slot = 0;
  while (slot < t.size() && t[slot]->in_use) ++slot;
  if (slot == t.size()) {
    try {
      t.push_back(std::make_unique<handler_tag>());
    } catch (...) {
      // No memory for another record. -1 would name the default handler,
      // so the caller gets a handle that names none, and every later call
      // on it fails cleanly.
      *handle = no_handle;
      return 0;
    }
  }
  handler_tag &h = *t[slot];
  h = handler_tag();
  h.in_use = true;
  *handle = static_cast<int>(slot + 1);
  return 1;
}

void zkerr_delete(int handle) {
  if (handle == -1 || handle == 0) {
    zkerr_throw(-1, 4, "Default handler can not be deleted.\n");
    return;
  }
  handler_tag *h = lookup(handle);
  if (!h) return;
  std::free(h->messages);
  std::free(h->prefix);
  *h = handler_tag();
}

int zkerr_level(int handle, unsigned int level) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  h->level = level;
  return 1;
}

int zkerr_get_level(int handle, unsigned int *level) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  *level = h->level;
  return 1;
}

int zkerr_file(int handle, FILE *stream) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  h->destination.stream = stream;
  h->output_mode = stream ? 1 : 0;
  return 1;
}

int zkerr_window(int handle, int (*callback)(char *)) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  h->window = callback;
  return 1;
}

int zkerr_maxlevel(int handle, unsigned int *level) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  *level = h->maxlevel;
  return 1;
}

int zkerr_errclear(int handle) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  h->maxlevel = 1;
  std::free(h->messages);
  h->messages = nullptr;
  return 1;
}

int zkerr_prefix(int handle, const char *prefix) {
  handler_tag *h = prefix ? lookup(handle) : nullptr;
  if (!h) return 0;
  std::free(h->prefix);
  h->prefix = nullptr;
  if (std::strlen(prefix) > hestrel::errors::max_prefix_length) return 0;
  h->prefix = strdup(prefix);
  return h->prefix ? 1 : 0;
}

int zkerr_suppress_print(int handle) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  h->suppress_print = true;
  return 1;
}

int zkerr_restore_print(int handle) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  h->suppress_print = false;
  return 1;
}

int zkerr_print_state(int handle, int *state) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  *state = h->suppress_print ? 0 : 1;
  return 1;
}

char *zkerr_return_code(unsigned int level) {
  static char slots[10][512];
  static unsigned int index = 0;
  index = (index + 1) % 10;
  if (level <= 7)
    std::snprintf(slots[index], sizeof slots[index], "ZKERR_%s", hestrel::errors::level_name(level));
  else
    std::snprintf(slots[index], sizeof slots[index], "(bogus ZKERR level)");
  return slots[index];
}

void zkerr_assert(int condition, const char *file, int line) {
  if (!condition) std::fprintf(stderr, "Assert failed.  File: %s  Line: %d\n", file ? file : "(null)", line);
}

}  // extern "C"
