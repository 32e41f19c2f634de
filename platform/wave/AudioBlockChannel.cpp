#include "AudioBlockChannel.h"

#include <algorithm>
#include <cstring>

void AudioBlockChannel::configure(DWORD frameBytes, unsigned char silence) {
  frameBytes_ = std::max<DWORD>(frameBytes, 1);
  silence_ = silence;
  paused_.store(false, std::memory_order_relaxed);
}

DWORD AudioBlockChannel::reclaim() {
  const DWORD bytes = current_ ? offset_ : 0;
  current_ = nullptr;
  while (toDevice_.tryPop()) {
  }
  return bytes;
}

bool AudioBlockChannel::takeNextBlock() {
  const auto header = toDevice_.tryPop();
  if (!header) return false;
  current_ = *header;
  offset_ = 0;
  capacity_ = current_->dwBufferLength - current_->dwBufferLength % frameBytes_;
  return true;
}

void AudioBlockChannel::finishCurrentIfFull() {
  if (offset_ < capacity_) return;
  // Cannot be full: no more blocks are out than the UI side gave.
  fromDevice_.tryPush({current_, offset_});
  current_ = nullptr;
}

void AudioBlockChannel::capture(const char* samples, std::size_t frames) {
  std::size_t bytes = frames * frameBytes_;
  while (bytes > 0 && (current_ || takeNextBlock())) {
    const std::size_t n = std::min<std::size_t>(bytes, capacity_ - offset_);
    std::memcpy(current_->lpData + offset_, samples, n);
    offset_ += n;
    samples += n;
    bytes -= n;
    finishCurrentIfFull();
  }
}

void AudioBlockChannel::play(char* samples, std::size_t frames) {
  std::size_t bytes = frames * frameBytes_;
  while (bytes > 0 && !paused_.load(std::memory_order_relaxed) && (current_ || takeNextBlock())) {
    const std::size_t n = std::min<std::size_t>(bytes, capacity_ - offset_);
    std::memcpy(samples, current_->lpData + offset_, n);
    offset_ += n;
    samples += n;
    bytes -= n;
    finishCurrentIfFull();
  }
  std::memset(samples, silence_, bytes);
}
