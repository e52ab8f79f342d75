// Hand-over of the newest coefficient set from the thread that changes parameters to the audio
// thread, without locks on either side.
//
// Three slots: the writer fills its own slot and swaps it into the middle; the reader, at the
// start of a block, swaps the middle into its own slot if something new arrived. Neither side
// ever waits, and the reader always gets the newest complete set (intermediate sets the reader
// never saw are skipped, which is why a set must describe the whole state, never a change).
//
// One writer at a time (the engine serialises its writers) and one reader (the audio thread).
#pragma once

#include <atomic>
#include <cstdint>

namespace kestrane {

template <typename T>
class LatestValueExchange {
 public:
  // Writer: the slot to fill before publish(). Its contents are whatever an earlier set left.
  T& writeSlot() noexcept { return slots_[writeIndex_]; }

  // Writer: makes the filled slot the newest set.
  void publish() noexcept {
    const uint32_t previous = middle_.exchange(writeIndex_ | kFresh, std::memory_order_acq_rel);
    writeIndex_ = previous & kIndexMask;
  }

  // Reader: takes the newest set if one arrived since the last call; answers whether it did.
  bool adopt() noexcept {
    if ((middle_.load(std::memory_order_relaxed) & kFresh) == 0) return false;
    const uint32_t previous = middle_.exchange(readIndex_, std::memory_order_acq_rel);
    readIndex_ = previous & kIndexMask;
    return true;
  }

  // Reader: the set adopted last.
  const T& current() const noexcept { return slots_[readIndex_]; }

 private:
  static constexpr uint32_t kFresh = 4;
  static constexpr uint32_t kIndexMask = 3;

  T slots_[3]{};
  std::atomic<uint32_t> middle_{1};
  uint32_t writeIndex_ = 0;  // writer's own
  uint32_t readIndex_ = 2;   // reader's own
};

}  // namespace kestrane
