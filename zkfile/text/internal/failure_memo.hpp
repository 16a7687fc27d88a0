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
// full walk would. Rows of one entry per position are made per node on the
// first failure recorded for it; without memory an attempt is simply not
// remembered.
class FailureMemo {
 public:
  FailureMemo() = default;
  FailureMemo(const FailureMemo &) = delete;
  FailureMemo &operator=(const FailureMemo &) = delete;
  ~FailureMemo() {
    if (slots_) release();
  }

  // Starts remembering for a subject of length positions past its start.
  void activate(std::size_t length);
  bool active() const { return positions_ != 0; }

  // The row of node, or null while nothing failed there.
  std::uint16_t *row(const unsigned char *node) const;
  // Records that node failed at position with the given height below it.
  void record(const unsigned char *node, std::size_t position, unsigned height);

 private:
  struct Slot {
    const unsigned char *node;
    std::uint16_t *row;
  };
  std::size_t slot_of(const unsigned char *node) const;
  bool grow();
  void release();

  std::size_t positions_ = 0;  // entries per row: the subject's length + 1
  Slot *slots_ = nullptr;      // open addressing on the node's address
  std::size_t capacity_ = 0;   // a power of two
  std::size_t used_ = 0;
};

}  // namespace hestrel::text::regexp

#endif
