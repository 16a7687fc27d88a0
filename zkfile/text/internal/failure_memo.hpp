// The matcher's memory of failed attempts: for a node entered at a subject
// position, whether that attempt already failed and how deep it reached.
#ifndef HESTREL_TEXT_FAILURE_MEMO_HPP
#define HESTREL_TEXT_FAILURE_MEMO_HPP

#include <cstddef>
#include <cstdint>

namespace hestrel::text::regexp {

// The program has no back-references, so an attempt of one node at one
// position fails every time once it failed. Each entry keeps one more than
// the nesting depth the failed attempt reached below itself (0: not known),
// so a repeated attempt can still answer to the depth bound exactly as a
// full walk would. A row of one entry per position is made per node on the
// first failure recorded for it, so the memory grows with the nodes that
// backtrack; without memory an attempt is simply not remembered.
class FailureMemo {
 public:
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
  std::uint16_t *row(const unsigned char *node) const {
    std::uintptr_t at = reinterpret_cast<std::uintptr_t>(node) - reinterpret_cast<std::uintptr_t>(program_);
    if (!index_ || at >= max_offset) return nullptr;
    unsigned i = index_[at];
    return i ? rows_[i - 1] : nullptr;
  }
  // The row of node, made when missing; null without memory.
  std::uint16_t *row_for(const unsigned char *node) {
    std::uint16_t *found = row(node);
    return found ? found : make_row(node);
  }
  // Records that node failed at position with the given height below it.
  void record(const unsigned char *node, std::size_t position, unsigned height) {
    if (position >= positions_) return;
    if (std::uint16_t *entries = row_for(node)) entries[position] = static_cast<std::uint16_t>(height + 1);
  }

 private:
  // Compiled programs stay below this many bytes; nodes beyond are not
  // remembered.
  static constexpr std::size_t max_offset = 32768;

  std::uint16_t *make_row(const unsigned char *node);
  void release();

  const unsigned char *program_ = nullptr;
  std::size_t positions_ = 0;         // entries per row: the subject's length + 1
  std::uint16_t *index_ = nullptr;    // per program byte: 1 + its row's number, or 0
  std::uint16_t **rows_ = nullptr;
  std::size_t row_count_ = 0;
  std::size_t row_capacity_ = 0;
};

}  // namespace hestrel::text::regexp

#endif
