// Record writers for Fortran units: one formatted write of "(A)" through the
// Fortran runtime, bound at run time so that only Fortran hosts carry it.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zkerr.h"

namespace hestrel::errors {
namespace {

// The parameter block of one data transfer statement, as gfortran's code
// fills it for `write (unit, '(A)')`: the common part (flags, unit, source
// file and line), then the format and its length. The runtime keeps its own
// state of the statement in the rest of the block, so the block is given
// room well beyond what the compiler reserves for it.
struct transfer_block {
  std::int32_t flags;
  std::int32_t unit;
  const char *filename;
  std::int32_t line;
  char common_rest[80 - 20];
  const char *format;
  std::size_t format_length;
  char runtime_area[1024];
};
static_assert(offsetof(transfer_block, filename) == 8, "filename follows flags and unit");
static_assert(offsetof(transfer_block, line) == 16, "line follows the filename");
static_assert(offsetof(transfer_block, format) == 80, "the format follows the common part");
static_assert(offsetof(transfer_block, format_length) == 88, "its length follows the format");

// The block carries a format.
constexpr std::int32_t has_format = 1 << 12;

struct runtime_entries {
  void (*begin)(transfer_block *);
  void (*transfer_text)(transfer_block *, const char *, std::size_t);
  void (*finish)(transfer_block *);
};

bool resolve(void *scope, runtime_entries &out) {
  out.begin = reinterpret_cast<void (*)(transfer_block *)>(dlsym(scope, "_gfortran_st_write"));
  out.transfer_text = reinterpret_cast<void (*)(transfer_block *, const char *, std::size_t)>(
      dlsym(scope, "_gfortran_transfer_character_write"));
  out.finish = reinterpret_cast<void (*)(transfer_block *)>(dlsym(scope, "_gfortran_st_write_done"));
  return out.begin && out.transfer_text && out.finish;
}

// The runtime the process already has (a Fortran program carries it, with
// its units open), else the installed one loaded now. Looked for again on
// the next write when neither is there.
const runtime_entries *runtime() {
  static runtime_entries entries;
  static std::atomic<bool> bound{false};
  static pthread_mutex_t binding = PTHREAD_MUTEX_INITIALIZER;
  if (bound.load(std::memory_order_acquire)) return &entries;
  pthread_mutex_lock(&binding);
  if (!bound.load(std::memory_order_relaxed)) {
    runtime_entries found{};
    bool ok = resolve(RTLD_DEFAULT, found);
    if (!ok) {
      void *library = dlopen("libgfortran.so.5", RTLD_NOW | RTLD_GLOBAL);
      ok = library && resolve(library, found);
    }
    if (ok) {
      entries = found;
      bound.store(true, std::memory_order_release);
    }
  }
  pthread_mutex_unlock(&binding);
  return bound.load(std::memory_order_acquire) ? &entries : nullptr;
}

// One record of the given characters to the unit; with no text, an empty
// record. Without a Fortran runtime to be had there is no unit to write to.
void write_record(int unit, const char *text, std::size_t length, bool with_item) {
  const runtime_entries *rt = runtime();
  if (!rt) return;
  static const char format[] = "(A)";
  transfer_block block;
  std::memset(&block, 0, sizeof block);
  block.flags = has_format;
  block.unit = unit;
  block.filename = __FILE__;
  block.line = __LINE__;
  block.format = format;
  block.format_length = sizeof format - 1;
  rt->begin(&block);
  if (with_item) rt->transfer_text(&block, text, length);
  rt->finish(&block);
}

}  // namespace
}  // namespace hestrel::errors

extern "C" {

// The explicit length decides, not the hidden one.
void fprint_line_(int *unit, const char *text, int *length, std::size_t) {
  std::size_t n = *length > 0 ? static_cast<std::size_t>(*length) : 0;
  hestrel::errors::write_record(*unit, n ? text : "", n, true);
}

void fskip_line_(int *unit) { hestrel::errors::write_record(*unit, nullptr, 0, false); }

}  // extern "C"
