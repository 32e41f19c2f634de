#pragma once

// One direction of one wave device as the wave functions keep it for every backend: open or
// closed, the object that receives the notifications, the format, whether it runs, and the
// headers given to it in the order they were given. With the checks of the wave functions
// this is where the device contract lives (header flags, blocks returned in order, reset
// returns everything, notifications posted), so that each backend only moves samples.
//
// No locks and no allocation after construction: a backend that runs the device on another
// thread guards the calls itself. Notifications are posted with QCoreApplication::postEvent,
// which is safe from any thread.

#include <array>
#include <cstdint>

#include "wave/WaveApi.h"

namespace osciloskop {

enum class WaveDirection { In, Out };

class WaveDeviceQueue {
 public:
  // More than any stream queues at once (a stream uses at most four blocks).
  static constexpr int kCapacity = 32;

  explicit WaveDeviceQueue(WaveDirection direction) : direction_(direction) {}

  // The handle the wave functions see for this device.
  void* handle() { return this; }
  const void* handle() const { return this; }

  bool isOpen() const { return open_; }
  const WAVEFORMATEX& format() const { return format_; }
  // Input: recording (after start, until reset). Output: not paused.
  bool running() const { return running_; }
  void setRunning(bool running) { running_ = running; }

  // Opens (output running, input stopped) and posts the open notification. The wave
  // functions have checked that the device is closed and the format is one it can move.
  void open(const WAVEFORMATEX& format, QObject* callback);
  // Closes and posts the close notification. The wave functions have checked that nothing
  // is queued.
  void close();

  // Header bookkeeping; the wave functions have already refused wrong headers
  // (unprepared add, unprepare of a queued header).
  void prepare(WAVEHDR* header) { header->dwFlags |= WHDR_PREPARED; }
  void unprepare(WAVEHDR* header) { header->dwFlags &= ~WHDR_PREPARED; }
  // Queues a prepared header: clears done, sets in-queue, no bytes recorded yet.
  // MMSYSERR_NOMEM when the queue is full.
  MMRESULT add(WAVEHDR* header);

  int queued() const { return count_; }
  // Queued header `index`, counted from the oldest (0 ... queued() - 1).
  WAVEHDR* at(int index) const { return ring_[(head_ + index) % kCapacity]; }
  // The part of the oldest queued block not yet played or recorded; null/0 when empty.
  char* cursor() const;
  uint32_t remaining() const;
  // Marks `bytes` of the oldest block as moved (input: counted in dwBytesRecorded; more than
  // remaining() counts as remaining()). A block with less than one frame left comes back:
  // done set, in-queue cleared, notification posted; then the same holds for the next one
  // (so empty blocks come back at once).
  void advance(uint32_t bytes);
  // Returns the oldest queued block as it stands.
  void returnOldest();
  // Returns every queued block at once, oldest first (reset).
  void returnAll();
  // The device has gone away: every queued block comes back as at a reset, and the device
  // takes no more (MMSYSERR_NODRIVER) until it is closed; the close is announced as usual.
  void lose();
  bool lost() const { return lost_; }

 private:
  void post(UINT message, WAVEHDR* header);

  const WaveDirection direction_;
  bool open_ = false;
  bool running_ = false;
  bool lost_ = false;
  QObject* callback_ = nullptr;
  WAVEFORMATEX format_{};
  std::array<WAVEHDR*, kCapacity> ring_{};
  int head_ = 0;
  int count_ = 0;
  uint32_t offset_ = 0;  // bytes of the oldest block already moved
};

}  // namespace osciloskop
