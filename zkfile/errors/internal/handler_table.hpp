// The error-handler records and their lookup, shared by the raise, the
// capture classes, the deprecation log and the Fortran-callable twins.
#ifndef HESTREL_ERRORS_HANDLER_TABLE_HPP
#define HESTREL_ERRORS_HANDLER_TABLE_HPP

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace hestrel::errors {

struct handler_tag {
  bool in_use = false;
  std::uint32_t level = 4;
  union {
    FILE *stream;
    int unit;
  } destination{nullptr};
  int (*window)(char *) = nullptr;
  std::uint32_t maxlevel = 1;
  bool save = false;
  char *messages = nullptr;
  char *prefix = nullptr;
  int output_mode = 0;
  bool suppress_print = false;
};

// The fixed handlers of handles -1 and 0, once made (index handle + 1), and
// the one-time making itself, which allocates nothing and cannot fail.
extern std::atomic<handler_tag *> fixed_handlers[2];
handler_tag *make_fixed_handler(int handle);

// The table behind handles from 1 up; null until zkerr_new first grows it.
// Never destroyed: a message raised from another object's destructor at
// exit still finds its handler.
using handler_table = std::vector<std::unique_ptr<handler_tag>>;
extern handler_table *handlers;

// The record a handle names, or null. -1 and 0 make the fixed handlers on
// their first lookup. Records never move, so a pointer stays valid while the
// handler lives, even when zkerr_new grows the table meanwhile. Inline: every
// raise starts here, and a dropped one ends soon after.
inline handler_tag *lookup(int handle) {
  if (static_cast<unsigned>(handle) + 1u < 2u) {
    handler_tag *h = fixed_handlers[handle + 1].load(std::memory_order_acquire);
    // Made once per process: the making stays out of a raise's way.
    return __builtin_expect(h != nullptr, 1) ? h : make_fixed_handler(handle);
  }
  const handler_table *t = handlers;
  if (!t || handle < 1 || static_cast<std::size_t>(handle) > t->size()) return nullptr;
  handler_tag *h = (*t)[handle - 1].get();
  return h->in_use ? h : nullptr;
}

// Set while the Fortran-callable raise runs: stream output then gets a
// newline after the message.
extern int thrown_from_fortran;

// What zkerr_new stores when no record can be made: names no handler.
constexpr int no_handle = -2;

// Longest prefix zkerr_prefix accepts.
constexpr std::size_t max_prefix_length = 511;
// Bytes of the message buffer of one raise, the terminating NUL included.
constexpr std::size_t message_buffer_size = 10240;

const char *level_name(unsigned int level);

}  // namespace hestrel::errors

#endif
