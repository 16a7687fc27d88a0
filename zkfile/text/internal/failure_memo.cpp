// The matcher's memory of failed attempts: a table from a node's place in
// the program to its pages of per-position entries, all from calloc.
#include "text/internal/failure_memo.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace hestrel::text::regexp {

namespace {

constexpr std::size_t page_shift = 6;
constexpr std::size_t page_positions = std::size_t{1} << page_shift;
// The deepest nesting a wide entry holds (1 + it in two bytes).
constexpr unsigned max_kept_height = 0xFFFE;

// A page of entries, from malloc: a header, then one byte per position
// (0 for none, else 1 + the depth less base) or, once wide, two bytes
// (0, or 1 + the depth).
struct Page {
  unsigned base;
  bool wide;
  std::uint8_t *entries() { return reinterpret_cast<std::uint8_t *>(this + 1); }
  const std::uint8_t *entries() const { return reinterpret_cast<const std::uint8_t *>(this + 1); }
  unsigned wide_entry(std::size_t i) const {
    std::uint16_t value;
    std::memcpy(&value, entries() + 2 * i, sizeof value);
    return value;
  }
  void set_wide_entry(std::size_t i, unsigned value) {
    auto v = static_cast<std::uint16_t>(value);
    std::memcpy(entries() + 2 * i, &v, sizeof v);
  }
};

}  // namespace

struct FailureMemo::Row {
  Page **pages;  // one per page_positions positions, null until needed
};

bool FailureMemo::activate(const unsigned char *program, std::size_t length) {
  index_ = static_cast<std::uint16_t **>(std::calloc(index_blocks, sizeof(std::uint16_t *)));
  program_ = program;
  positions_ = length + 1;
  return index_ != nullptr;
}

void FailureMemo::release() {
  std::size_t pages = (positions_ + page_positions - 1) >> page_shift;
  for (std::size_t i = 0; i < row_count_; ++i) {
    for (std::size_t p = 0; p < pages; ++p) std::free(rows_[i]->pages[p]);
    std::free(rows_[i]->pages);
    std::free(rows_[i]);
  }
  std::free(rows_);
  for (std::size_t b = 0; b < index_blocks; ++b)
    if (index_[b]) std::free(index_[b]);
  std::free(index_);
}

FailureMemo::Row *FailureMemo::make_row(const unsigned char *node) {
  std::uintptr_t at = reinterpret_cast<std::uintptr_t>(node) - reinterpret_cast<std::uintptr_t>(program_);
  if (!index_ || at >= max_offset) return nullptr;
  std::uint16_t *&block = index_[at >> block_shift];
  if (!block) block = static_cast<std::uint16_t *>(std::calloc(block_offsets, sizeof(std::uint16_t)));
  if (!block) return nullptr;
  if (row_count_ == row_capacity_) {
    std::size_t capacity = row_capacity_ ? 2 * row_capacity_ : 16;
    void *grown = std::realloc(rows_, capacity * sizeof(Row *));
    if (!grown) return nullptr;
    rows_ = static_cast<Row **>(grown);
    row_capacity_ = capacity;
  }
  auto *row = static_cast<Row *>(std::malloc(sizeof(Row)));
  if (!row) return nullptr;
  std::size_t pages = (positions_ + page_positions - 1) >> page_shift;
  row->pages = static_cast<Page **>(std::calloc(pages, sizeof(Page *)));
  if (!row->pages) {
    std::free(row);
    return nullptr;
  }
  rows_[row_count_++] = row;
  block[at & (block_offsets - 1)] = static_cast<std::uint16_t>(row_count_);
  return row;
}

unsigned FailureMemo::failed(const Row *row, std::size_t position) {
  const Page *page = row->pages[position >> page_shift];
  if (!page) return 0;
  std::size_t i = position & (page_positions - 1);
  if (page->wide) return page->wide_entry(i);
  unsigned stored = page->entries()[i];
  return stored ? stored + page->base : 0;
}

void FailureMemo::store(Row *row, std::size_t position, unsigned height) {
  if (position >= positions_) return;
  // A deeper failure is kept as this deep: met again, it fails as it did,
  // only the bound may then be found later than a full walk would find it.
  if (height > max_kept_height) height = max_kept_height;
  Page *&page = row->pages[position >> page_shift];
  std::size_t i = position & (page_positions - 1);
  if (!page) {
    page = static_cast<Page *>(std::calloc(1, sizeof(Page) + page_positions));
    if (!page) return;
    page->base = height > 127 ? height - 127 : 0;
  }
  if (!page->wide && (height < page->base || height - page->base > 253)) {
    // A depth outside the narrow range: the page takes two bytes an entry.
    auto *wide = static_cast<Page *>(std::calloc(1, sizeof(Page) + 2 * page_positions));
    if (!wide) return;
    wide->wide = true;
    for (std::size_t k = 0; k < page_positions; ++k)
      if (unsigned stored = page->entries()[k]) wide->set_wide_entry(k, stored + page->base);
    std::free(page);
    page = wide;
  }
  if (page->wide)
    page->set_wide_entry(i, height + 1);
  else
    page->entries()[i] = static_cast<std::uint8_t>(height - page->base + 1);
}

}  // namespace hestrel::text::regexp
