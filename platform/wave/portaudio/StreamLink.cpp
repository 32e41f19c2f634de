#include "wave/portaudio/StreamLink.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace osciloskop {

WakeSignal::WakeSignal() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeSignal::~WakeSignal() {
  if (fd_ >= 0) close(fd_);
}

void WakeSignal::signal() const {
  const uint64_t one = 1;
  // A full counter (never reached in practice) still leaves the descriptor readable.
  [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

void WakeSignal::drain() const {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(fd_, &count, sizeof count);
}

StreamLink::StreamLink(std::size_t ringFrames, unsigned channels, const WakeSignal& wake)
    : ring_(ringFrames, channels), wake_(wake) {}

void StreamLink::capture(const int16_t* frames, std::size_t count, bool deviceXrun) {
  const bool dropped = ring_.push(frames, count) < count;
  if (deviceXrun || dropped) xruns_.fetch_add(1, std::memory_order_relaxed);
  called();
  wakeIfReached(ring_.size());
}

void StreamLink::play(int16_t* frames, std::size_t count, bool deviceXrun) {
  std::size_t taken = 0;
  if (!paused_.load(std::memory_order_relaxed)) taken = ring_.pop(frames, count);
  std::memset(frames + taken * ring_.channels(), 0,
              (count - taken) * ring_.channels() * sizeof(int16_t));
  if (deviceXrun) xruns_.fetch_add(1, std::memory_order_relaxed);
  const uint64_t played = played_.fetch_add(taken, std::memory_order_release) + taken;
  called();
  wakeIfReached(played);
}

void StreamLink::called() {
  lastCallback_.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                      std::memory_order_release);
  callbacks_.fetch_add(1, std::memory_order_release);
}

void StreamLink::finish() {
  finished_.store(true, std::memory_order_release);
  wake_.signal();
}

void StreamLink::wakeIfReached(uint64_t reached) {
  uint64_t level = wakeAt_.load(std::memory_order_acquire);
  if (reached < level) return;
  if (wakeAt_.compare_exchange_strong(level, kNever, std::memory_order_acq_rel)) wake_.signal();
}

}  // namespace osciloskop
