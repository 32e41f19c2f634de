#pragma once

// The UI thread's side of a device stream: moves frames between the ring the audio callback
// fills or empties (StreamLink) and the blocks queued on the device (WaveDeviceQueue),
// converting on the way what the device and the blocks do not share: the frame rate (with
// the rate converter), the channel count (missing channels repeat the last one, extra ones
// are left out) and the sample size (the ring always holds 16-bit samples).
//
// Both pumps ask the link for a wake-up at the moment their next block is due, so the UI
// thread runs only when there is something to hand back.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "rate/RateConverter.h"
#include "wave/WaveDeviceQueue.h"
#include "wave/portaudio/AudioDeviceList.h"
#include "wave/portaudio/StreamLink.h"

namespace osciloskop {

class CapturePump {
 public:
  CapturePump(const WAVEFORMATEX& format, DeviceShape device);

  // Moves every frame the ring holds into the queued blocks, which come back as they fill
  // (frames with no block to take them, or recorded while the device is stopped, are
  // dropped, as a card drops them); then asks for a wake-up once the ring holds what
  // completes the block now at the front.
  void pump(StreamLink& link, WaveDeviceQueue& queue);
  // Recording starts: what the ring and the converter hold was recorded before, and goes.
  void discard(StreamLink& link);

 private:
  void deliver(const int16_t* frames, std::size_t count, WaveDeviceQueue& queue);
  uint64_t framesDueFromDevice(const WaveDeviceQueue& queue, const SampleRing& ring) const;

  const WAVEFORMATEX format_;
  const DeviceShape device_;
  std::unique_ptr<RateConverter> converter_;  // none when the rates agree
  std::vector<int16_t> deviceFrames_;
  std::vector<int16_t> blockFrames_;
  std::vector<int16_t> converted_;
};

class PlaybackPump {
 public:
  PlaybackPump(const WAVEFORMATEX& format, DeviceShape device);

  // Hands back the blocks the callback has played, converts the queued blocks into the
  // ring as far as it has room, and asks for a wake-up when the oldest block will have
  // played.
  void pump(StreamLink& link, WaveDeviceQueue& queue);
  // The ring was emptied and the queue handed back (a reset): start afresh.
  void restart(const StreamLink& link);

 private:
  // Converts the rest of `header` into the ring; false when the ring ran out of room.
  bool convertBlock(const WAVEHDR& header, SampleRing& ring);
  void armWake(StreamLink& link) const;

  const WAVEFORMATEX format_;
  const DeviceShape device_;
  std::unique_ptr<RateConverter> converter_;
  std::vector<int16_t> blockFrames_;
  std::vector<int16_t> converted_;
  std::vector<int16_t> deviceFrames_;
  // Queued blocks (from the oldest) wholly in the ring, and where each ends in the count of
  // frames pushed; bytes of the next block already converted.
  std::array<uint64_t, WaveDeviceQueue::kCapacity> ends_{};
  int inRing_ = 0;
  uint32_t offset_ = 0;
  uint64_t pushed_ = 0;
};

// Frames per conversion step: small enough to keep the scratch buffers small.
inline constexpr std::size_t kPumpChunkFrames = 4096;

}  // namespace osciloskop
