// The process-wide table of error handlers and the functions that make,
// delete and configure them.
#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "errors/internal/handler_table.hpp"
#include "zkerr.h"

namespace hestrel::errors {
namespace {

// Static storage for the two fixed handlers: making them needs no memory.
handler_tag fixed_storage[2];
pthread_mutex_t fixed_making = PTHREAD_MUTEX_INITIALIZER;

}  // namespace

std::atomic<handler_tag *> fixed_handlers[2];
handler_table *handlers = nullptr;
int thrown_from_fortran = 0;

handler_tag *make_fixed_handler(int handle) {
  std::atomic<handler_tag *> &slot = fixed_handlers[handle + 1];
  pthread_mutex_lock(&fixed_making);
  handler_tag *h = slot.load(std::memory_order_relaxed);
  if (!h) {
    h = &fixed_storage[handle + 1];
    h->in_use = true;
    h->destination.stream = stderr;
    h->output_mode = 1;
    slot.store(h, std::memory_order_release);
  }
  pthread_mutex_unlock(&fixed_making);
  return h;
}

const char *level_name(unsigned int level) {
  static const char *const names[] = {"BUMMER", "OK", "DEBUG", "INFO", "WARNING", "FATAL", "OFF", "LEVEL UNDEFINED"};
  return names[level < 7 ? level : 7];
}

}  // namespace hestrel::errors

using hestrel::errors::handler_tag;
using hestrel::errors::lookup;
using hestrel::errors::no_handle;

namespace {

// A null output has nowhere to take the answer: refused with a WARNING on
// the default handler, as the other modules refuse theirs.
bool refuse_null_output(const void *out, const char *message) {
  if (out) return false;
  zkerr_throw(-1, 4, "%s", message);
  return true;
}

}  // namespace

extern "C" {

int zkerr_new(int *handle) {
  using hestrel::errors::handlers;
  if (refuse_null_output(handle, "zkerr_new(): null handle pointer\n")) return 0;
  *handle = -1;
  std::size_t slot = 0;
  try {
    if (!handlers) handlers = new hestrel::errors::handler_table();
    auto &t = *handlers;
    while (slot < t.size() && t[slot]->in_use) ++slot;
    if (slot == t.size()) {
      auto record = std::make_unique<handler_tag>();
      t.push_back(std::move(record));
    }
  } catch (...) {
    // No memory for another record. -1 would name the default handler,
    // so the caller gets a handle that names none, and every later call
    // on it fails cleanly.
    *handle = no_handle;
    zkerr_throw(-1, 5, "zkerr_new(): out of memory for another error handler.\n");
    return 0;
  }
  handler_tag &h = *(*handlers)[slot];
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
  if (refuse_null_output(level, "zkerr_get_level(): null level pointer\n")) return 0;
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
  if (refuse_null_output(level, "zkerr_maxlevel(): null level pointer\n")) return 0;
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
  if (refuse_null_output(state, "zkerr_print_state(): null state pointer\n")) return 0;
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
