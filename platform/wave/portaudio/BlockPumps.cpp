#include "wave/portaudio/BlockPumps.h"

#include <algorithm>
#include <cmath>

#include "wave/PcmSamples.h"

namespace osciloskop {

namespace {

// Room in the scratch buffers for what the converter may give for one chunk: its output
// for the chunk plus what it held back before.
constexpr std::size_t kConverterSlackFrames = 1024;

std::unique_ptr<RateConverter> converterFor(double from, double to, unsigned channels) {
  if (from == to) return nullptr;
  std::string error;
  auto converter =
      std::make_unique<RateConverter>(from, to, channels, RateConverter::Input::Int16, &error);
  return converter->valid() ? std::move(converter) : nullptr;
}

std::size_t scratchFrames(const RateConverter* converter) {
  return converter ? converter->outputFramesFor(kPumpChunkFrames) + kConverterSlackFrames
                   : kPumpChunkFrames;
}

// Frame i, channel c of `to` is channel min(c, last) of frame i of `from`.
void mapChannels(const int16_t* from, unsigned fromChannels, int16_t* to, unsigned toChannels,
                 std::size_t frames) {
  for (std::size_t i = 0; i < frames; ++i)
    for (unsigned c = 0; c < toChannels; ++c)
      to[i * toChannels + c] = from[i * fromChannels + std::min(c, fromChannels - 1)];
}

std::size_t bytesPerSample(const WAVEFORMATEX& format) {
  return format.wBitsPerSample / 8u;
}

// Runs `convert(input, frames, output, capacity)` over `frames` frames of `input` until the
// converter has taken them all, handing each piece of output to `take(output, frames)`.
template <typename Take>
void convertAll(RateConverter& converter, const int16_t* input, std::size_t frames,
                std::vector<int16_t>& output, unsigned channels, Take take) {
  const std::size_t capacity = output.size() / channels;
  while (frames > 0) {
    const auto moved = converter.process(input, frames, output.data(), capacity);
    take(output.data(), moved.outputFrames);
    input += moved.inputFrames * channels;
    frames -= moved.inputFrames;
    if (moved.inputFrames == 0 && moved.outputFrames == 0) break;
  }
}

}  // namespace

// ---- capture ----

CapturePump::CapturePump(const WAVEFORMATEX& format, DeviceShape device)
    : format_(format),
      device_(device),
      converter_(converterFor(device.rate, format.nSamplesPerSec, format.nChannels)),
      deviceFrames_(kPumpChunkFrames * device.channels),
      blockFrames_(kPumpChunkFrames * format.nChannels),
      converted_(scratchFrames(converter_.get()) * format.nChannels) {}

void CapturePump::discard(StreamLink& link) {
  while (link.ring().pop(deviceFrames_.data(), kPumpChunkFrames) > 0) {
  }
  if (converter_) converter_->clear();
}

void CapturePump::pump(StreamLink& link, WaveDeviceQueue& queue) {
  const unsigned channels = format_.nChannels;
  for (;;) {
    while (const std::size_t n = link.ring().pop(deviceFrames_.data(), kPumpChunkFrames)) {
      if (!queue.running()) continue;
      // A device with the blocks' channel count gives frames that go on as they are.
      const int16_t* recorded = deviceFrames_.data();
      if (device_.channels != channels) {
        mapChannels(recorded, device_.channels, blockFrames_.data(), channels, n);
        recorded = blockFrames_.data();
      }
      if (!converter_) {
        deliver(recorded, n, queue);
        continue;
      }
      convertAll(*converter_, recorded, n, converted_, channels,
                 [&](const int16_t* frames, std::size_t count) { deliver(frames, count, queue); });
    }
    // A block longer than half the ring is taken in parts, before the ring overflows.
    const uint64_t due =
        std::min<uint64_t>(framesDueFromDevice(queue, link.ring()), link.ring().capacity() / 2);
    link.wakeAt(due);
    // The callback may have passed the level before it was set.
    if (link.ring().size() < due) return;
  }
}

void CapturePump::deliver(const int16_t* frames, std::size_t count, WaveDeviceQueue& queue) {
  const std::size_t sampleBytes = bytesPerSample(format_);
  const std::size_t frameSamples = format_.nChannels;
  while (count > 0 && queue.queued() > 0) {
    const std::size_t room = queue.remaining() / format_.nBlockAlign;
    const std::size_t n = std::min(count, room);
    char* out = queue.cursor();
    for (std::size_t i = 0; i < n * frameSamples; ++i)
      writePcmSample(out + i * sampleBytes, format_.wBitsPerSample, frames[i]);
    queue.advance(static_cast<uint32_t>(n * format_.nBlockAlign));
    frames += n * frameSamples;
    count -= n;
  }
}

// Device frames that complete the front block, with what the converter holds back. With no
// block queued, a whole ring: the frames are dropped then.
uint64_t CapturePump::framesDueFromDevice(const WaveDeviceQueue& queue,
                                          const SampleRing& ring) const {
  if (queue.queued() == 0 || !queue.running()) return ring.capacity();
  const double blockFrames = queue.remaining() / format_.nBlockAlign;
  if (!converter_) return static_cast<uint64_t>(blockFrames);
  const double ratio = static_cast<double>(device_.rate) / format_.nSamplesPerSec;
  return static_cast<uint64_t>(std::ceil((blockFrames + converter_->delayFrames()) * ratio)) + 1;
}

// ---- playback ----

PlaybackPump::PlaybackPump(const WAVEFORMATEX& format, DeviceShape device)
    : format_(format),
      device_(device),
      converter_(converterFor(format.nSamplesPerSec, device.rate, format.nChannels)),
      blockFrames_(kPumpChunkFrames * format.nChannels),
      converted_(scratchFrames(converter_.get()) * format.nChannels),
      deviceFrames_(scratchFrames(converter_.get()) * device.channels) {}

void PlaybackPump::restart(const StreamLink& link) {
  if (converter_) converter_->clear();
  inRing_ = 0;
  offset_ = 0;
  pushed_ = link.played();
}

void PlaybackPump::pump(StreamLink& link, WaveDeviceQueue& queue) {
  for (;;) {
    const uint64_t played = link.played();
    while (inRing_ > 0 && ends_[0] <= played) {
      queue.returnOldest();
      std::shift_left(ends_.begin(), ends_.begin() + inRing_, 1);
      --inRing_;
    }
    while (inRing_ < queue.queued() && convertBlock(*queue.at(inRing_), link.ring())) {
      ends_[static_cast<std::size_t>(inRing_++)] = pushed_;
      offset_ = 0;
    }
    armWake(link);
    if (inRing_ == 0 || link.played() < ends_[0]) return;
  }
}

bool PlaybackPump::convertBlock(const WAVEHDR& header, SampleRing& ring) {
  const uint32_t align = format_.nBlockAlign;
  const uint32_t whole = header.dwBufferLength - header.dwBufferLength % align;
  const std::size_t sampleBytes = bytesPerSample(format_);
  const unsigned channels = format_.nChannels;
  while (offset_ < whole) {
    // As many frames as surely fit into the ring once converted.
    const std::size_t room = ring.capacity() - ring.size();
    const std::size_t fitting =
        converter_
            ? (room > kConverterSlackFrames
                   ? static_cast<std::size_t>((room - kConverterSlackFrames) *
                                              converter_->inputRate() / converter_->outputRate())
                   : 0)
            : room;
    const std::size_t frames =
        std::min({static_cast<std::size_t>((whole - offset_) / align), kPumpChunkFrames, fitting});
    if (frames == 0) return false;
    const char* in = header.lpData + offset_;
    for (std::size_t i = 0; i < frames * channels; ++i)
      blockFrames_[i] = readPcmSample(in + i * sampleBytes, format_.wBitsPerSample);
    auto push = [&](const int16_t* values, std::size_t count) {
      if (device_.channels != channels) {
        mapChannels(values, channels, deviceFrames_.data(), device_.channels, count);
        values = deviceFrames_.data();
      }
      pushed_ += ring.push(values, count);
    };
    if (converter_)
      convertAll(*converter_, blockFrames_.data(), frames, converted_, channels, push);
    else
      push(blockFrames_.data(), frames);
    offset_ += static_cast<uint32_t>(frames * align);
  }
  return true;
}

// When the oldest block in the ring has played; while a block is only partly in a full
// ring, when half of what the ring holds has played.
void PlaybackPump::armWake(StreamLink& link) const {
  if (inRing_ > 0) {
    link.wakeAt(ends_[0]);
  } else if (offset_ > 0) {
    link.wakeAt(pushed_ - link.ring().size() / 2);
  } else {
    link.wakeAt(StreamLink::kNever);
  }
}

}  // namespace osciloskop
