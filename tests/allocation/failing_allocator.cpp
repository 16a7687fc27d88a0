// The allocation-failure hook: the program's own malloc family, which hands
// every call to the C library's allocator unless the hook says it fails.
// operator new and the C library's own users (strdup, fopen, ...) come here.
#include "failing_allocator.hpp"

#include <cerrno>
#include <cstddef>

extern "C" {
void *__libc_malloc(std::size_t);
void *__libc_calloc(std::size_t, std::size_t);
void *__libc_realloc(void *, std::size_t);
void *__libc_memalign(std::size_t, std::size_t);
void __libc_free(void *);
}

namespace alloc_test {
namespace {

// Plain variables: the sweeps run on one thread, and the hook must work
// before any constructor has run.
long countdown = -1;
bool keep_failing = false;
long failed = 0;

bool fail_now() {
  if (countdown < 0) return false;
  if (countdown > 0) {
    --countdown;
    return false;
  }
  if (!keep_failing) countdown = -1;
  ++failed;
  errno = ENOMEM;
  return true;
}

}  // namespace

void arm(long n, bool persistent) {
  failed = 0;
  keep_failing = persistent;
  countdown = n - 1;
}

void disarm() { countdown = -1; }

long failures() { return failed; }

}  // namespace alloc_test

extern "C" {

void *malloc(std::size_t size) { return alloc_test::fail_now() ? nullptr : __libc_malloc(size); }

void *calloc(std::size_t count, std::size_t size) {
  return alloc_test::fail_now() ? nullptr : __libc_calloc(count, size);
}

void *realloc(void *block, std::size_t size) {
  if (block != nullptr && size == 0) return __libc_realloc(block, 0);
  return alloc_test::fail_now() ? nullptr : __libc_realloc(block, size);
}

void free(void *block) { __libc_free(block); }

void *memalign(std::size_t alignment, std::size_t size) {
  return alloc_test::fail_now() ? nullptr : __libc_memalign(alignment, size);
}

void *aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }

int posix_memalign(void **out, std::size_t alignment, std::size_t size) {
  void *block = memalign(alignment, size);
  if (block == nullptr) return ENOMEM;
  *out = block;
  return 0;
}

}  // extern "C"
