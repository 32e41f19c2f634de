#pragma once

// What one running device stream shares between its audio callback thread and the UI
// thread: a ring of device frames, the device's progress and over- and underrun counts, the
// pause flag, and the wake-up by which the callback tells the UI thread that there is work
// (a block's worth of recorded frames, a block played, the stream stopped). The callback
// side never blocks, allocates or takes a lock: it writes to an eventfd at most.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "wave/portaudio/SampleRing.h"

namespace osciloskop {

// An eventfd the callback thread signals and the UI thread watches. Made once per backend.
class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  int fd() const { return fd_; }
  // Any thread; async-signal-safe.
  void signal() const;
  // UI thread: takes the pending signals, so that the descriptor stops being readable.
  void drain() const;

 private:
  int fd_;
};

class StreamLink {
 public:
  static constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

  StreamLink(std::size_t ringFrames, unsigned channels, const WakeSignal& wake);

  // --- Audio callback thread ---
  // Recorded frames into the ring; frames that do not fit are dropped, which counts as an
  // overrun, as does a device that reports one.
  void capture(const int16_t* frames, std::size_t count, bool deviceXrun);
  // Frames to play, taken from the ring; silence while paused or where the ring runs dry.
  void play(int16_t* frames, std::size_t count, bool deviceXrun);
  // The stream has stopped, asked to or not.
  void finish();

  // --- UI thread ---
  SampleRing& ring() { return ring_; }
  // Callbacks so far: the device's sign of life.
  uint64_t callbacks() const { return callbacks_.load(std::memory_order_acquire); }
  // When the latest of them ran (steady clock), so that a device that stops is timed from
  // its last callback, not from when the UI thread happened to look.
  std::chrono::steady_clock::time_point lastCallback() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(lastCallback_.load(std::memory_order_acquire)));
  }
  // Frames play() has taken from the ring so far.
  uint64_t played() const { return played_.load(std::memory_order_acquire); }
  uint64_t xruns() const { return xruns_.load(std::memory_order_relaxed); }
  bool finished() const { return finished_.load(std::memory_order_acquire); }
  void setPaused(bool paused) { paused_.store(paused, std::memory_order_relaxed); }
  // Before the stream starts again: forgets that it stopped.
  void rearm() { finished_.store(false, std::memory_order_release); }
  // Asks for one wake-up: when the ring holds at least `level` frames (capture), or once
  // played() reaches `level` (play). kNever asks for none.
  void wakeAt(uint64_t level) { wakeAt_.store(level, std::memory_order_release); }

 private:
  // Signals once for the level asked for, however many callbacks reach it.
  void wakeIfReached(uint64_t reached);
  // Counts a callback, and notes its time.
  void called();

  SampleRing ring_;
  const WakeSignal& wake_;
  std::atomic<uint64_t> callbacks_{0};
  std::atomic<std::chrono::steady_clock::rep> lastCallback_{0};
  std::atomic<uint64_t> played_{0};
  std::atomic<uint64_t> xruns_{0};
  std::atomic<uint64_t> wakeAt_{kNever};
  std::atomic<bool> paused_{false};
  std::atomic<bool> finished_{false};
};

}  // namespace osciloskop
