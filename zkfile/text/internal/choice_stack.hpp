// The matcher's stack of choice points: a few in place, the rest on the
// heap, grown as needed and released with the stack.
#ifndef HESTREL_TEXT_CHOICE_STACK_HPP
#define HESTREL_TEXT_CHOICE_STACK_HPP

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace hestrel::text::regexp {

// A stack of trivially copyable frames that holds its first in_place frames
// inside itself, so shallow searches allocate nothing, and never more than
// limit in all. push throws std::bad_alloc when the heap has no room.
template <typename Frame, std::size_t in_place, std::size_t limit>
class ChoiceStack {
  static_assert(std::is_trivially_copyable_v<Frame>, "frames move with memcpy");

 public:
  ChoiceStack() = default;
  ChoiceStack(const ChoiceStack &) = delete;
  ChoiceStack &operator=(const ChoiceStack &) = delete;
  ~ChoiceStack() {
    if (frames_ != local_) std::free(frames_);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Frame &top() { return frames_[size_ - 1]; }
  void pop() { --size_; }
  void clear() { size_ = 0; }
  // A new frame on top, its contents undefined; references to frames taken
  // before are invalid afterwards.
  Frame &push() {
    if (size_ == capacity_) grow();
    return frames_[size_++];
  }

 private:
  void grow() {
    std::size_t capacity = capacity_ * 4 < limit ? capacity_ * 4 : limit;
    if (capacity <= capacity_) throw std::bad_alloc();  // the caller's bound keeps it below limit
    auto *grown = static_cast<Frame *>(std::malloc(capacity * sizeof(Frame)));
    if (!grown) throw std::bad_alloc();
    std::memcpy(static_cast<void *>(grown), frames_, size_ * sizeof(Frame));
    if (frames_ != local_) std::free(frames_);
    frames_ = grown;
    capacity_ = capacity;
  }

  Frame local_[in_place];
  Frame *frames_ = local_;
  std::size_t size_ = 0;
  std::size_t capacity_ = in_place;
};

}  // namespace hestrel::text::regexp

#endif
