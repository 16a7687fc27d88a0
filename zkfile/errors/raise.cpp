// Raising a message: count the level, filter by the threshold, format behind
// the prefix and level name, and send it along the handler's routes.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "internal/handler_table.hpp"
#include "internal/python_stderr.hpp"
#include "zkerr.h"
#include "zkerr.hpp"

namespace hestrel::errors {
namespace {

bool write_to_stream(handler_tag &h, int handle, const char *message) {
  FILE *stream = h.destination.stream;
  // Output mode 1 without a stream writes nothing rather than crash.
  if (!stream) return true;
  if (handle == -1 && stream == stderr &&
      pelmoravine::vardel::RedirectZkerrToPythonStderr::m_count != 0 && python_is_initialized()) {
    python_write_stderr(message, thrown_from_fortran != 0);
    return true;
  }
  if (std::fputs(message, stream) == EOF) return false;
  if (thrown_from_fortran && std::fputs("\n", stream) == EOF) return false;
  return true;
}

bool collect(handler_tag &h, const char *message, std::size_t length) {
  std::size_t held = h.messages ? std::strlen(h.messages) : 0;
  char *grown = static_cast<char *>(std::realloc(h.messages, held + length + 1));
  if (!grown) {
    std::free(h.messages);
    h.messages = nullptr;
    return false;
  }
  std::memcpy(grown + held, message, length + 1);
  h.messages = grown;
  return true;
}

}  // namespace
}  // namespace hestrel::errors

namespace pelmoravine::vardel {
std::int64_t RedirectZkerrToPythonStderr::m_count = 0;
}

namespace hestrel::errors {
namespace {

// A raise that passed the threshold: format behind the prefix and the
// level's name, then send it along the handler's routes. Out of line, so
// that a dropped raise never pays for the message buffer.
__attribute__((noinline)) int emit(handler_tag *h, int handle, unsigned int level, const char *format,
                                   va_list args) {
  char message[message_buffer_size];
  int header = std::snprintf(message, sizeof message, "%s%s ", h->prefix ? h->prefix : "", level_name(level));
  std::size_t used = header < 0 ? 0 : static_cast<std::size_t>(header);
  if (used >= sizeof message) used = sizeof message - 1;
  if (format) std::vsnprintf(message + used, sizeof message - used, format, args);
  std::size_t length = std::strlen(message);

  if (!h->suppress_print) {
    if (h->output_mode == 1) {
      if (!write_to_stream(*h, handle, message)) return 0;
    } else if (h->output_mode == 2) {
      int unit = h->destination.unit;
      int count = static_cast<int>(length);
      fprint_line_(&unit, message, &count, length);
    }
    // The callback may make or delete handlers; look the record up again
    // afterwards rather than trusting it across the call.
    if (h->window && h->window(message) == -1) return 0;
    h = lookup(handle);
    if (!h) return 1;
  }
  if (h->save && !collect(*h, message, length)) return 0;
  return 1;
}

// The rest of a raise that the inline part did not finish: the lookup that
// makes a fixed handler, counting and filtering, then the message.
__attribute__((noinline)) int raise_rest(int handle, unsigned int level, const char *format, va_list args,
                                         bool counted) {
  handler_tag *h = lookup(handle);
  if (!h) return 0;
  if (!counted) {
    if (level <= 6 && level > h->maxlevel) h->maxlevel = level;
    if (level < h->level) return 1;
  }
  return emit(h, handle, level, format, args);
}

// What a raise decides before any formatting, for a handler that exists
// already: the highest level and the threshold. True when the raise is
// dropped (its result is then 1); counted tells whether the level is counted.
inline bool dropped(int handle, unsigned int level, bool &counted) {
  handler_tag *h = find(handle);
  counted = h != nullptr;
  if (!counted) return false;
  if (level <= 6 && level > h->maxlevel) h->maxlevel = level;
  return level < h->level;
}

}  // namespace
}  // namespace hestrel::errors

extern "C" {

int zkerr_vthrow(int handle, unsigned int level, const char *format, va_list args) {
  bool counted;
  if (hestrel::errors::dropped(handle, level, counted)) return 1;
  return hestrel::errors::raise_rest(handle, level, format, args, counted);
}

// Decides before anything is formatted, and keeps the message buffer and
// the routes out of line, so a dropped raise costs a lookup and a compare.
// On x86-64 the entry for the fixed handlers is a few instructions that
// touch neither the stack nor an argument register: a raise they drop
// returns at once, and any other goes on, its arguments as they came, in
// the variadic function below.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__)
#define HESTREL_RAISE_ENTRY_IN_ASSEMBLY 1
__attribute__((visibility("hidden"))) int hestrel_raise_variadic(int handle, unsigned int level,
                                                                  const char *format, ...);
#else
#define hestrel_raise_variadic zkerr_throw
#endif

int hestrel_raise_variadic(int handle, unsigned int level, const char *format, ...) {
  bool counted;
  if (hestrel::errors::dropped(handle, level, counted)) return 1;
  va_list args;
  va_start(args, format);
  int result = hestrel::errors::raise_rest(handle, level, format, args, counted);
  va_end(args);
  return result;
}

}  // extern "C"

#ifdef HESTREL_RAISE_ENTRY_IN_ASSEMBLY
// The fields the entry reads, at the offsets it uses.
static_assert(offsetof(hestrel::errors::handler_tag, level) == 4, "threshold at 4");
static_assert(offsetof(hestrel::errors::handler_tag, maxlevel) == 24, "highest level at 24");
static_assert(sizeof(std::atomic<hestrel::errors::handler_tag *>) == 8, "one pointer per fixed handler");

static_assert(offsetof(hestrel::errors::handler_tag, in_use) == 0, "in use at 0");
static_assert(sizeof(hestrel::errors::handler_tag::in_use) == 1, "in use is one byte");

// zkerr_throw(handle, level, format, ...): a handle that names a record is
// decided here (edi handle, esi level; r10, r11 scratch): count the level
// when it is 6 or less, and return 1 below the threshold. Everything else
// (a fixed handler not made yet, no handler, a raise that passes) jumps to
// the variadic function with the registers and the stack untouched.
asm(R"(
  .text
  .globl zkerr_throw
  .type zkerr_throw, @function
  .p2align 4
zkerr_throw:
  .cfi_startproc
  leal 1(%rdi), %r10d
  cmpl $1, %r10d
  ja 2f
  leaq _ZN7hestrel6errors14fixed_handlersE(%rip), %r11
  movq (%r11,%r10,8), %r11
  testq %r11, %r11
  je hestrel_raise_variadic
  jmp 3f
2:
  leal -1(%rdi), %r10d
  cmpq _ZN7hestrel6errors12table_lengthE(%rip), %r10
  jae hestrel_raise_variadic
  movq _ZN7hestrel6errors13table_recordsE(%rip), %r11
  movq (%r11,%r10,8), %r11
  cmpb $0, (%r11)
  je hestrel_raise_variadic
3:
  cmpl $6, %esi
  ja 1f
  cmpl %esi, 24(%r11)
  jae 1f
  movl %esi, 24(%r11)
1:
  cmpl 4(%r11), %esi
  jae hestrel_raise_variadic
  movl $1, %eax
  ret
  .cfi_endproc
  .size zkerr_throw, .-zkerr_throw
)");
#endif
