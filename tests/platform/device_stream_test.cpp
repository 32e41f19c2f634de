// The path of frames between a real card's audio callback and the queued blocks: the ring
// between the threads, the callback's side of it (drops, silence, wake-ups), and the pumps
// that fill and empty the blocks, converting the rate where the device needs another one.

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "ToneTestSupport.h"
#include "WaveTestSupport.h"
#include "wave/PcmSamples.h"
#include "wave/portaudio/BlockPumps.h"
#include "wave/portaudio/SampleRing.h"
#include "wave/portaudio/StreamLink.h"

using namespace osciloskop;

namespace {

std::vector<int16_t> Counting(std::size_t values, int from = 0) {
  std::vector<int16_t> counted(values);
  std::iota(counted.begin(), counted.end(), static_cast<int16_t>(from));
  return counted;
}

TEST(SampleRing, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
  SampleRing ring(4, 2);
  const std::vector<int16_t> frames = Counting(12);
  EXPECT_EQ(ring.push(frames.data(), 3), 3u);
  std::vector<int16_t> out(8);
  EXPECT_EQ(ring.pop(out.data(), 2), 2u);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 4), Counting(4));
  EXPECT_EQ(ring.push(frames.data() + 6, 4), 3u) << "one frame was still in the ring";
  EXPECT_EQ(ring.size(), 4u);
  EXPECT_EQ(ring.pop(out.data(), 8), 4u);
  EXPECT_EQ(out, std::vector<int16_t>(frames.begin() + 4, frames.begin() + 12));
  EXPECT_EQ(ring.pop(out.data(), 1), 0u);
}

TEST(SampleRing, TwoThreadsLoseNothingAndKeepOrder) {
  constexpr int kFrames = 200000;
  SampleRing ring(64, 1);
  std::thread producer([&] {
    std::vector<int16_t> chunk(17);
    for (int next = 0; next < kFrames;) {
      const int n = std::min<int>(17, kFrames - next);
      for (int i = 0; i < n; ++i)
        chunk[static_cast<std::size_t>(i)] = static_cast<int16_t>(next + i);
      next += static_cast<int>(ring.push(chunk.data(), static_cast<std::size_t>(n)));
    }
  });
  std::vector<int16_t> out(23);
  int expected = 0;
  bool inOrder = true;
  while (expected < kFrames) {
    const std::size_t n = ring.pop(out.data(), out.size());
    for (std::size_t i = 0; i < n; ++i) inOrder &= out[i] == static_cast<int16_t>(expected++);
  }
  producer.join();
  EXPECT_TRUE(inOrder);
}

TEST(StreamLink, CaptureDropsWhatDoesNotFitAndWakesOnceAtTheLevelAskedFor) {
  WakeSignal wake;
  StreamLink link(8, 1, wake);
  uint64_t wakeups = 0;
  const auto pending = [&] {
    uint64_t count = 0;
    if (read(wake.fd(), &count, sizeof count) > 0) wakeups += count;
    return wakeups;
  };
  const std::vector<int16_t> frames = Counting(12);
  link.wakeAt(5);
  link.capture(frames.data(), 4, false);
  EXPECT_EQ(pending(), 0u);
  link.capture(frames.data(), 2, false);
  EXPECT_EQ(pending(), 1u);
  link.capture(frames.data(), 1, false);
  EXPECT_EQ(pending(), 1u) << "one wake-up per level asked for";
  EXPECT_EQ(link.xruns(), 0u);
  link.capture(frames.data(), 3, false);  // 7 + 3 > 8: two frames dropped
  EXPECT_EQ(link.ring().size(), 8u);
  EXPECT_EQ(link.xruns(), 1u);
  link.capture(frames.data(), 0, true);  // the device's own report
  EXPECT_EQ(link.xruns(), 2u);
  EXPECT_EQ(link.callbacks(), 5u);
  link.finish();
  EXPECT_TRUE(link.finished());
  EXPECT_EQ(pending(), 2u) << "a stopped stream wakes the UI thread";
}

TEST(StreamLink, PlayTakesFromTheRingAndPlaysSilenceWhenPausedOrDry) {
  WakeSignal wake;
  StreamLink link(8, 2, wake);
  const std::vector<int16_t> frames = Counting(8, 1);
  link.ring().push(frames.data(), 4);
  std::vector<int16_t> out(6, 99);
  link.play(out.data(), 3, false);
  EXPECT_EQ(out, (std::vector<int16_t>{1, 2, 3, 4, 5, 6}));
  link.setPaused(true);
  link.play(out.data(), 3, false);
  EXPECT_EQ(out, std::vector<int16_t>(6, 0));
  link.setPaused(false);
  link.play(out.data(), 3, false);
  EXPECT_EQ(out, (std::vector<int16_t>{7, 8, 0, 0, 0, 0})) << "the place was kept, then silence";
  EXPECT_EQ(link.played(), 4u);
  EXPECT_EQ(link.xruns(), 0u);
}

// Headers over blocks of the given lengths, queued on an open device queue.
struct QueuedBlocks {
  QueuedBlocks(WaveDirection direction, const WAVEFORMATEX& format,
               const std::vector<DWORD>& lengths)
      : queue(direction), data(lengths.size()), headers(lengths.size()) {
    queue.open(format, nullptr);
    queue.setRunning(true);  // input records from the start
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      data[i].assign(lengths[i], '\x55');
      headers[i].lpData = data[i].data();
      headers[i].dwBufferLength = lengths[i];
      queue.prepare(&headers[i]);
      queue.add(&headers[i]);
    }
  }
  bool done(std::size_t i) const { return (headers[i].dwFlags & WHDR_DONE) != 0; }

  WaveDeviceQueue queue;
  std::vector<std::vector<char>> data;
  std::vector<WAVEHDR> headers;
};

TEST(CapturePump, FillsBlocksInQueueOrderWithWholeFrames) {
  struct CaptureCase {
    const char* what;
    WAVEFORMATEX format;
    unsigned deviceChannels;
    std::vector<DWORD> blockLengths;
    std::vector<std::size_t> callbackFrames;  // frames per callback, pumped after each
    std::vector<DWORD> recorded;              // bytes recorded per block, in order
    std::vector<bool> done;
  };
  const CaptureCase cases[] = {
      {"exact blocks", pcmFormat(2, 16, 44100), 2, {8, 8}, {2, 2}, {8, 8}, {true, true}},
      {"callback spans blocks",
       pcmFormat(2, 16, 44100),
       2,
       {8, 8, 8},
       {3, 1},
       {8, 8, 0},
       {true, true, false}},
      {"partial block", pcmFormat(2, 16, 44100), 2, {8, 8}, {3}, {8, 4}, {true, false}},
      {"lengths rounded down to frames",
       pcmFormat(2, 16, 44100),
       2,
       {10, 9},
       {2, 2},
       {8, 8},
       {true, true}},
      {"a block shorter than a frame comes back empty",
       pcmFormat(2, 16, 44100),
       2,
       {3, 4},
       {1},
       {0, 4},
       {true, true}},
      {"frames beyond the blocks are dropped", pcmFormat(1, 16, 44100), 1, {4}, {10}, {4}, {true}},
      {"8-bit mono", pcmFormat(1, 8, 44100), 1, {5, 5}, {7}, {5, 2}, {true, false}},
      {"a mono device feeds both channels", pcmFormat(2, 16, 44100), 1, {8}, {2}, {8}, {true}},
  };
  for (const CaptureCase& c : cases) {
    SCOPED_TRACE(c.what);
    QueuedBlocks blocks(WaveDirection::In, c.format, c.blockLengths);
    WakeSignal wake;
    StreamLink link(64, c.deviceChannels, wake);
    CapturePump pump(c.format, {c.format.nSamplesPerSec, c.deviceChannels});
    std::vector<int16_t> recorded;  // as the device delivered it
    for (std::size_t frames : c.callbackFrames) {
      const std::vector<int16_t> chunk =
          Counting(frames * c.deviceChannels, static_cast<int>(recorded.size()) * 300);
      recorded.insert(recorded.end(), chunk.begin(), chunk.end());
      link.capture(chunk.data(), frames, false);
      pump.pump(link, blocks.queue);
    }

    // What the blocks should hold: the frames in order, each channel from the device's
    // channel of that number or its last one, as 16-bit or 8-bit samples.
    std::vector<char> expected;
    const unsigned channels = c.format.nChannels;
    for (std::size_t frame = 0; frame * c.deviceChannels < recorded.size(); ++frame) {
      for (unsigned ch = 0; ch < channels; ++ch) {
        const int16_t value =
            recorded[frame * c.deviceChannels + std::min(ch, c.deviceChannels - 1)];
        char bytes[2];
        writePcmSample(bytes, c.format.wBitsPerSample, value);
        expected.insert(expected.end(), bytes, bytes + c.format.wBitsPerSample / 8);
      }
    }
    std::size_t at = 0;
    for (std::size_t i = 0; i < c.recorded.size(); ++i) {
      EXPECT_EQ(blocks.headers[i].dwBytesRecorded, c.recorded[i]) << "block " << i;
      EXPECT_EQ(blocks.done(i), c.done[i]) << "block " << i;
      ASSERT_LE(at + c.recorded[i], expected.size());
      EXPECT_EQ(std::memcmp(blocks.data[i].data(), expected.data() + at, c.recorded[i]), 0)
          << "block " << i;
      at += c.recorded[i];
    }
  }
}

TEST(PlaybackPump, BlocksComeBackInOrderOnceTheirFramesHavePlayed) {
  const WAVEFORMATEX format = pcmFormat(1, 16, 44100);
  QueuedBlocks blocks(WaveDirection::Out, format, {4, 6, 3});
  for (std::size_t i = 0; i < blocks.data.size(); ++i) {
    const std::vector<int16_t> values =
        Counting(blocks.data[i].size() / 2, 10 * static_cast<int>(i + 1));
    std::memcpy(blocks.data[i].data(), values.data(), values.size() * 2);
  }
  WakeSignal wake;
  StreamLink link(64, 2, wake);  // a stereo device: the mono blocks play on both channels
  PlaybackPump pump(format, {44100, 2});
  pump.pump(link, blocks.queue);
  EXPECT_FALSE(blocks.done(0)) << "converted is not played";

  std::vector<int16_t> out(2 * 3);
  link.play(out.data(), 3, false);
  EXPECT_EQ(out, (std::vector<int16_t>{10, 10, 11, 11, 20, 20}));
  pump.pump(link, blocks.queue);
  EXPECT_TRUE(blocks.done(0));
  EXPECT_FALSE(blocks.done(1));
  link.play(out.data(), 3, false);
  EXPECT_EQ(out, (std::vector<int16_t>{21, 21, 22, 22, 30, 30})) << "block 3's one whole frame";
  pump.pump(link, blocks.queue);
  EXPECT_TRUE(blocks.done(1));
  EXPECT_TRUE(blocks.done(2)) << "its one frame has played";
  EXPECT_EQ(blocks.queue.queued(), 0);
  link.play(out.data(), 3, false);
  EXPECT_EQ(out, std::vector<int16_t>(6, 0)) << "then silence";
}

// Device rates other than the blocks' 44100 Hz: a 1 kHz tone crosses the pump in both
// directions with its pitch and level, and every capture block holds its 11025 frames.
TEST(BlockPumps, ConvertTheRateBothWaysKeepingPitchAndLevel) {
  for (const uint32_t deviceRate : {48000u, 96000u, 22050u}) {
    SCOPED_TRACE(deviceRate);
    // Capture: one second recorded at the device rate in 10 ms callbacks.
    const WAVEFORMATEX in = pcmFormat(2, 16, 44100);
    QueuedBlocks capture(WaveDirection::In, in, std::vector<DWORD>(4, 44100));
    WakeSignal wake;
    StreamLink link(deviceRate, 2, wake);
    CapturePump capturePump(in, {deviceRate, 2});
    const std::vector<int16_t> recorded = ToneFrames(deviceRate, 1000, 10000, deviceRate + 4000, 2);
    const std::size_t step = deviceRate / 100;
    for (std::size_t at = 0; at < recorded.size() / 2; at += step) {
      link.capture(recorded.data() + at * 2, std::min(step, recorded.size() / 2 - at), false);
      capturePump.pump(link, capture.queue);
    }
    std::vector<int16_t> blocksUr;
    for (std::size_t i = 0; i < 4; ++i) {
      ASSERT_TRUE(capture.done(i)) << "block " << i;
      EXPECT_EQ(capture.headers[i].dwBytesRecorded, 44100u) << "11025 frames in block " << i;
      const auto* values = reinterpret_cast<const int16_t*>(capture.data[i].data());
      for (std::size_t k = 0; k < 11025; ++k) blocksUr.push_back(values[2 * k]);
    }
    EXPECT_NEAR(ToneFrequency(blocksUr, 2000, 42000, 44100), 1000, 0.1);
    const double rms = ToneRms(recorded, 0, recorded.size());
    EXPECT_NEAR(ToneRms(blocksUr, 2000, 42000), rms, rms * 1e-3);

    // Playback: four generator blocks of 11000 samples out to the device.
    const WAVEFORMATEX out = pcmFormat(1, 16, 44100);
    QueuedBlocks playback(WaveDirection::Out, out, std::vector<DWORD>(4, 22000));
    const std::vector<int16_t> tone = ToneFrames(44100, 1000, 10000, 44000);
    for (std::size_t i = 0; i < 4; ++i)
      std::memcpy(playback.data[i].data(), tone.data() + i * 11000, 22000);
    StreamLink outLink(2 * deviceRate, 1, wake);
    PlaybackPump playbackPump(out, {deviceRate, 1});
    playbackPump.pump(outLink, playback.queue);
    std::vector<int16_t> played(deviceRate);
    outLink.play(played.data(), played.size(), false);
    playbackPump.pump(outLink, playback.queue);
    EXPECT_EQ(playback.queue.queued(), 0) << "a second of device frames plays all four blocks";
    EXPECT_NEAR(ToneFrequency(played, deviceRate / 20, deviceRate * 19 / 20, deviceRate), 1000,
                0.1);
    EXPECT_NEAR(ToneRms(played, deviceRate / 20, deviceRate * 19 / 20), rms, rms * 1e-3);
  }
}

// The audio thread records a running count in chunks of varying size while the UI thread
// pumps and keeps four blocks queued: every block comes back in order holding consecutive
// values.
TEST(CapturePump, AcrossThreadsKeepsEveryFrameOfABlock) {
  constexpr DWORD kBlockBytes = 4000;
  constexpr int kBlocksWanted = 300;
  const WAVEFORMATEX format = pcmFormat(1, 16, 44100);
  QueuedBlocks blocks(WaveDirection::In, format, std::vector<DWORD>(4, kBlockBytes));
  WakeSignal wake;
  StreamLink link(1 << 16, 1, wake);
  CapturePump pump(format, {44100, 1});

  std::jthread audio([&](std::stop_token stop) {
    std::vector<int16_t> chunk(997);
    int16_t next = 0;
    std::size_t frames = 1;
    while (!stop.stop_requested()) {
      frames = frames % 997 + 1;
      for (std::size_t i = 0; i < frames; ++i) chunk[i] = next++;
      link.capture(chunk.data(), frames, false);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  // Frames dropped while the ring was full break the count between blocks, so each block
  // is checked on its own.
  int received = 0;
  std::size_t expectedBlock = 0;
  while (received < kBlocksWanted) {
    pump.pump(link, blocks.queue);
    if (!blocks.done(expectedBlock)) continue;
    WAVEHDR& header = blocks.headers[expectedBlock];
    ASSERT_EQ(header.dwBytesRecorded, kBlockBytes);
    const auto* values = reinterpret_cast<const int16_t*>(header.lpData);
    for (std::size_t i = 1; i < kBlockBytes / 2; ++i)
      ASSERT_EQ(values[i], static_cast<int16_t>(values[i - 1] + 1)) << "block " << received;
    header.dwFlags = WHDR_PREPARED;
    blocks.queue.add(&header);
    expectedBlock = (expectedBlock + 1) % blocks.headers.size();
    ++received;
  }
}

}  // namespace
