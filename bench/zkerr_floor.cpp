// The floor a dropped raise is measured against, in a shared object of its
// own so that the benchmark reaches it the way it reaches the library.
#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace {

// Records and a table shaped like the library's: the fixed record of -1,
// made on first use, else an entry of a growable table.
struct floor_record {
  bool in_use = true;
  unsigned level = 4;
  unsigned maxlevel = 1;
};
floor_record floor_storage;
std::atomic<floor_record *> floor_fixed{nullptr};
std::vector<std::unique_ptr<floor_record>> *floor_table = nullptr;

__attribute__((noinline)) floor_record *floor_make_fixed() {
  floor_fixed.store(&floor_storage, std::memory_order_release);
  return &floor_storage;
}

}  // namespace

extern "C" {

// Gives the table one record, for handle 1.
__attribute__((visibility("default"))) void zkerr_floor_setup() {
  if (floor_table) return;
  floor_table = new std::vector<std::unique_ptr<floor_record>>();
  floor_table->push_back(std::make_unique<floor_record>());
}

// Only what a dropped raise must do: the lookup, the highest-level count
// and the compare; the arguments after the format are never read.
__attribute__((visibility("default"))) int zkerr_floor_raise(int handle, unsigned level, const char *, ...) {
  floor_record *h = nullptr;
  if (static_cast<unsigned>(handle) + 1u < 2u) {
    h = floor_fixed.load(std::memory_order_acquire);
    if (!h) h = floor_make_fixed();
  } else if (floor_table && handle >= 1 && static_cast<std::size_t>(handle) <= floor_table->size()) {
    h = (*floor_table)[handle - 1].get();
    if (!h->in_use) h = nullptr;
  }
  if (!h) return 0;
  if (level <= 6 && level > h->maxlevel) h->maxlevel = level;
  if (level < h->level) return 1;
  return 2;
}

}  // extern "C"
