// The FATAL report of a C-callable or Fortran-callable function whose body
// threw: nothing of it may reach a C or Fortran caller.
#include <atomic>
#include <exception>
#include <new>

#include "errors/internal/boundary.hpp"
#include "zkerr.h"

namespace hestrel {
namespace {

std::atomic<unsigned long> failed_allocations{0};

}  // namespace

unsigned long allocation_failures() noexcept { return failed_allocations.load(std::memory_order_relaxed); }

void note_allocation_failure() noexcept { failed_allocations.fetch_add(1, std::memory_order_relaxed); }

void report_failure(const char *function) noexcept {
  // The raise formats into a buffer on the stack and allocates nothing unless
  // the handler collects, where a failed allocation only fails the raise.
  try {
    throw;
  } catch (const std::bad_alloc &) {
    note_allocation_failure();
    zkerr_throw(-1, ZKERR_FATAL, "%s(): out of memory\n", function);
  } catch (const std::exception &e) {
    zkerr_throw(-1, ZKERR_FATAL, "%s(): %s\n", function, e.what());
  } catch (...) {
    zkerr_throw(-1, ZKERR_FATAL, "%s(): unexpected failure\n", function);
  }
}

}  // namespace hestrel
