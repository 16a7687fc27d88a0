// The matcher's memory of failed attempts: a small open-addressing table
// from node to a row of per-position entries, both from calloc.
#include "internal/failure_memo.hpp"

#include <cstdint>
#include <cstdlib>

namespace hestrel::text::regexp {

void FailureMemo::release() {
  for (std::size_t i = 0; i < capacity_; ++i) std::free(slots_[i].row);
  std::free(slots_);
}

void FailureMemo::activate(std::size_t length) { positions_ = length + 1; }

std::size_t FailureMemo::slot_of(const unsigned char *node) const {
  std::size_t mask = capacity_ - 1;
  std::size_t i = (reinterpret_cast<std::uintptr_t>(node) * 0x9E3779B97F4A7C15ull >> 20) & mask;
  while (slots_[i].node && slots_[i].node != node) i = (i + 1) & mask;
  return i;
}

std::uint16_t *FailureMemo::row(const unsigned char *node) const {
  if (used_ == 0) return nullptr;
  return slots_[slot_of(node)].row;
}

bool FailureMemo::grow() {
  std::size_t capacity = capacity_ ? 2 * capacity_ : 16;
  auto *slots = static_cast<Slot *>(std::calloc(capacity, sizeof(Slot)));
  if (!slots) return false;
  Slot *old = slots_;
  std::size_t old_capacity = capacity_;
  slots_ = slots;
  capacity_ = capacity;
  for (std::size_t i = 0; i < old_capacity; ++i)
    if (old[i].node) slots_[slot_of(old[i].node)] = old[i];
  std::free(old);
  return true;
}

void FailureMemo::record(const unsigned char *node, std::size_t position, unsigned height) {
  if (!active() || position >= positions_) return;
  if (2 * (used_ + 1) > capacity_ && !grow()) return;
  Slot &slot = slots_[slot_of(node)];
  if (!slot.row) {
    slot.row = static_cast<std::uint16_t *>(std::calloc(positions_, sizeof(std::uint16_t)));
    if (!slot.row) return;
    slot.node = node;
    ++used_;
  }
  slot.row[position] = static_cast<std::uint16_t>(height + 1);
}

}  // namespace hestrel::text::regexp
