#pragma once

// A fixed-capacity queue between exactly one producer thread and one consumer thread.
// Neither side blocks, allocates or takes a lock, so the audio callback may use it. The
// storage is part of the object; tryPush refuses when the queue is full.

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>

template <typename T, std::size_t Capacity>
class SpscQueue {
  static_assert(Capacity > 0);

 public:
  // Producer side.
  bool tryPush(const T& value) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
    slots_[tail % Capacity] = value;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer side.
  std::optional<T> tryPop() {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return std::nullopt;
    T value = slots_[head % Capacity];
    head_.store(head + 1, std::memory_order_release);
    return value;
  }

 private:
  std::array<T, Capacity> slots_{};
  // Free-running counters; their difference is the fill level, also after wrapping.
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
};
