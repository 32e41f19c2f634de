#pragma once

// A ring of interleaved 16-bit frames between exactly one producer thread and one consumer
// thread (an audio callback and the UI thread). Neither side blocks, allocates or takes a
// lock; the storage is made once, at construction.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace osciloskop {

class SampleRing {
 public:
  SampleRing(std::size_t capacityFrames, unsigned channels)
      : channels_(channels), capacity_(capacityFrames), values_(capacityFrames * channels) {}

  unsigned channels() const { return channels_; }
  std::size_t capacity() const { return capacity_; }

  // Either side: the frames held now (the other side may change it at once).
  std::size_t size() const {
    return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire);
  }

  // Producer: appends up to `count` frames; returns how many fitted.
  std::size_t push(const int16_t* frames, std::size_t count) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t n =
        std::min(count, capacity_ - (tail - head_.load(std::memory_order_acquire)));
    forEachRun(tail, n, [&](int16_t* cells, std::size_t done, std::size_t run) {
      std::memcpy(cells, frames + done * channels_, run * channels_ * sizeof(int16_t));
    });
    tail_.store(tail + n, std::memory_order_release);
    return n;
  }

  // Consumer: takes up to `count` frames into `frames`; returns how many there were.
  std::size_t pop(int16_t* frames, std::size_t count) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t n = std::min(count, tail_.load(std::memory_order_acquire) - head);
    forEachRun(head, n, [&](const int16_t* cells, std::size_t done, std::size_t run) {
      std::memcpy(frames + done * channels_, cells, run * channels_ * sizeof(int16_t));
    });
    head_.store(head + n, std::memory_order_release);
    return n;
  }

  // While the producer is stopped: empties the ring.
  void clear() { head_.store(tail_.load(std::memory_order_acquire), std::memory_order_release); }

 private:
  // Calls action(cells, framesDone, runFrames) for the one or two contiguous runs of
  // `count` frames from counter position `from`.
  template <typename Action>
  void forEachRun(std::size_t from, std::size_t count, Action action) {
    for (std::size_t done = 0; done < count;) {
      const std::size_t at = (from + done) % capacity_;
      const std::size_t run = std::min(count - done, capacity_ - at);
      action(&values_[at * channels_], done, run);
      done += run;
    }
  }

  const unsigned channels_;
  const std::size_t capacity_;
  std::vector<int16_t> values_;
  // Free-running frame counters; their difference is the fill level, also after wrapping.
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace osciloskop
