#pragma once

// Moves samples between an audio callback thread and the queued blocks of one device
// direction. The UI thread hands blocks over in queue order (give) and takes back the
// finished ones (takeFinished); the callback thread copies recorded samples into the blocks
// (capture) or plays them (play). The two threads share only two lock-free queues and the
// pause flag: the callback side never blocks, allocates or calls Qt.
//
// A block holds whole frames only (its length rounded down to the frame size), so a frame
// never straddles two blocks and a block shorter than one frame comes back at once, empty.
//
// Once the callback thread has stopped (its stream stopped and joined), the UI thread may
// take back the block it was working on with reclaim().

#include <atomic>
#include <cstddef>
#include <optional>

#include "SpscQueue.h"
#include "WaveApi.h"

class AudioBlockChannel {
 public:
  // More than any device queues: the wave layer refuses further blocks first.
  static constexpr std::size_t kCapacity = 32;

  struct FinishedBlock {
    WAVEHDR* header;
    DWORD bytes;  // bytes recorded or played
  };

  // UI thread, while nothing runs on the callback side: the frame size in bytes and the
  // byte value of silence (0x80 for unsigned 8-bit samples, else 0).
  void configure(DWORD frameBytes, unsigned char silence);

  // UI thread.
  bool give(WAVEHDR* header) { return toDevice_.tryPush(header); }
  std::optional<FinishedBlock> takeFinished() { return fromDevice_.tryPop(); }
  void setPaused(bool paused) { paused_.store(paused, std::memory_order_relaxed); }
  // After the callback thread stopped: the bytes moved into the block it was working on
  // (0 when none), and forgets every block not yet finished.
  DWORD reclaim();

  // Callback thread, with interleaved frames. Recorded frames with no block to take them
  // are dropped, as a card does.
  void capture(const char* samples, std::size_t frames);
  // Fills `frames` from the queued blocks; silence when paused or when the blocks run out.
  void play(char* samples, std::size_t frames);

 private:
  bool takeNextBlock();
  void finishCurrentIfFull();

  DWORD frameBytes_ = 1;
  unsigned char silence_ = 0;
  SpscQueue<WAVEHDR*, kCapacity> toDevice_;
  SpscQueue<FinishedBlock, kCapacity> fromDevice_;
  std::atomic<bool> paused_{false};

  // The callback thread's block.
  WAVEHDR* current_ = nullptr;
  DWORD offset_ = 0;
  DWORD capacity_ = 0;
};
