// The error-handler records and their lookup, shared by the raise, the
// capture classes, the deprecation log and the Fortran-callable twins.
#ifndef HESTREL_ERRORS_HANDLER_TABLE_HPP
#define HESTREL_ERRORS_HANDLER_TABLE_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>

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

// The record a handle names, or null. -1 and 0 make the fixed handlers on
// their first lookup. Records never move, so a pointer stays valid while the
// handler lives, even when zkerr_new grows the table meanwhile.
handler_tag *lookup(int handle);

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
