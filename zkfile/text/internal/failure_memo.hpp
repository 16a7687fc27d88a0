// The matcher's memory of failed attempts: for a node entered at a subject
// position, whether that attempt already failed and how deep it reached.
#ifndef HESTREL_TEXT_FAILURE_MEMO_HPP
#define HESTREL_TEXT_FAILURE_MEMO_HPP

#include <cstddef>
#include <cstdint>

#include "regexp_engine.hpp"

namespace hestrel::text::regexp {

// The program has no back-references, so an attempt of one node at one
// position fails every time once it failed. Each entry keeps the nesting
// depth the failed attempt reached below itself, so a repeated attempt can
// still answer to the depth bound as a full walk would (exactly up to a
// nesting of 65534, which a search only passes on subjects of tens of
// thousands of characters).
//
// A node's entries are kept in pages of consecutive positions, made on the
// first failure recorded in them, so memory follows the attempts that
// failed. A page holds one byte per position relative to the page's first
// depth, and two bytes once a depth does not fit that. Without memory an
// attempt is simply not remembered.
class FailureMemo {
 public:
  struct Row;  // the pages of one node

  FailureMemo() = default;
  FailureMemo(const FailureMemo &) = delete;
  FailureMemo &operator=(const FailureMemo &) = delete;
  ~FailureMemo() {
    if (index_) release();
  }

  // Starts remembering for the program that begins at program and a
  // subject of length characters; false without memory.
  bool activate(const unsigned char *program, std::size_t length);
  bool active() const { return index_ != nullptr; }

  // The row of node, or null while nothing failed there.
  Row *row(const unsigned char *node) const {
    std::uintptr_t at = reinterpret_cast<std::uintptr_t>(node) - reinterpret_cast<std::uintptr_t>(program_);
    if (!index_ || at >= max_offset) return nullptr;
    const std::uint16_t *block = index_[at >> block_shift];
    if (!block) return nullptr;
    unsigned i = block[at & (block_offsets - 1)];
    return i ? rows_[i - 1] : nullptr;
  }
  // The row of node, made when missing; null without memory.
  Row *row_for(const unsigned char *node) {
    Row *found = row(node);
    return found ? found : make_row(node);
  }

  // 1 + the depth below a failed attempt at position, or 0 when none is known.
  static unsigned failed(const Row *row, std::size_t position);
  // Records a failed attempt at position and the depth it reached below.
  void store(Row *row, std::size_t position, unsigned height);
  void record(const unsigned char *node, std::size_t position, unsigned height) {
    if (position >= positions_) return;
    if (Row *r = row_for(node)) store(r, position, height);
  }

 private:
  // Nodes of a compiled program lie below this offset; nodes beyond (only
  // in hand-made programs) are not remembered.
  static constexpr std::size_t max_offset = max_program_size;

  // The index in blocks of consecutive program offsets, made when a node
  // there gets its row: starting to remember costs little whatever the
  // program's size.
  static constexpr std::size_t block_shift = 8;
  static constexpr std::size_t block_offsets = std::size_t{1} << block_shift;
  static constexpr std::size_t index_blocks = (max_offset + block_offsets - 1) / block_offsets;

  Row *make_row(const unsigned char *node);
  void release();

  const unsigned char *program_ = nullptr;
  std::size_t positions_ = 0;        // the subject's length + 1
  std::uint16_t **index_ = nullptr;  // per program byte: 1 + its row's number, or 0
  Row **rows_ = nullptr;
  std::size_t row_count_ = 0;
  std::size_t row_capacity_ = 0;
};

}  // namespace hestrel::text::regexp

#endif
