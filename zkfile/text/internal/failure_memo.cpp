// The matcher's memory of failed attempts: a table from a node's place in
// the program to its row of per-position entries, all from calloc.
#include "internal/failure_memo.hpp"

#include <cstdint>
#include <cstdlib>

namespace hestrel::text::regexp {

bool FailureMemo::activate(const unsigned char *program, std::size_t length) {
  index_ = static_cast<std::uint16_t *>(std::calloc(max_offset, sizeof(std::uint16_t)));
  program_ = program;
  positions_ = length + 1;
  return index_ != nullptr;
}

void FailureMemo::release() {
  for (std::size_t i = 0; i < row_count_; ++i) std::free(rows_[i]);
  std::free(rows_);
  std::free(index_);
}

std::uint16_t *FailureMemo::make_row(const unsigned char *node) {
  std::uintptr_t at = reinterpret_cast<std::uintptr_t>(node) - reinterpret_cast<std::uintptr_t>(program_);
  if (!index_ || at >= max_offset) return nullptr;
  if (row_count_ == row_capacity_) {
    std::size_t capacity = row_capacity_ ? 2 * row_capacity_ : 16;
    void *grown = std::realloc(rows_, capacity * sizeof(std::uint16_t *));
    if (!grown) return nullptr;
    rows_ = static_cast<std::uint16_t **>(grown);
    row_capacity_ = capacity;
  }
  auto *entries = static_cast<std::uint16_t *>(std::calloc(positions_, sizeof(std::uint16_t)));
  if (!entries) return nullptr;
  rows_[row_count_++] = entries;
  index_[at] = static_cast<std::uint16_t>(row_count_);
  return entries;
}

}  // namespace hestrel::text::regexp
