// Cost of moving a real card's frames: the audio callback's side (into or out of the ring)
// per callback, and the UI thread's pump per 0.25 s block, at the blocks' own 44100 Hz and
// with rate conversion for a 48000 Hz device.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "BenchFormats.h"
#include "wave/portaudio/BlockPumps.h"
#include "wave/portaudio/StreamLink.h"

using namespace osciloskop;

namespace {

// Four blocks on an open device queue; returned blocks are queued again at once.
struct Blocks {
  Blocks(WaveDirection direction, const WAVEFORMATEX& format, DWORD bytes) : queue(direction) {
    queue.open(format, nullptr);
    queue.setRunning(true);  // input records from the start
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i].assign(bytes, 1);
      headers[i].lpData = data[i].data();
      headers[i].dwBufferLength = bytes;
      queue.prepare(&headers[i]);
      queue.add(&headers[i]);
    }
  }
  void recycle() {
    for (WAVEHDR& header : headers)
      if ((header.dwFlags & WHDR_INQUEUE) == 0) queue.add(&header);
  }
  WaveDeviceQueue queue;
  std::array<std::vector<char>, 4> data;
  std::array<WAVEHDR, 4> headers{};
};

void BM_CallbackCapture(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  WakeSignal wake;
  StreamLink link(1 << 16, 2, wake);
  const std::vector<int16_t> input(frames * 2, 1);
  std::vector<int16_t> drained(frames * 2);
  for (auto _ : state) {
    link.capture(input.data(), frames, false);
    link.ring().pop(drained.data(), frames);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames));
}
BENCHMARK(BM_CallbackCapture)->Arg(512)->Arg(4096);

void BM_CallbackPlay(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  WakeSignal wake;
  StreamLink link(1 << 16, 1, wake);
  const std::vector<int16_t> filled(frames, 1);
  std::vector<int16_t> output(frames);
  for (auto _ : state) {
    link.ring().push(filled.data(), frames);
    link.play(output.data(), frames, false);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames));
}
BENCHMARK(BM_CallbackPlay)->Arg(512)->Arg(4096);

// One input block of 11025 frames through the pump, from a device at range(0) Hz.
void BM_CapturePumpBlock(benchmark::State& state) {
  const auto rate = static_cast<uint32_t>(state.range(0));
  const WAVEFORMATEX format = pcm16(2);
  Blocks blocks(WaveDirection::In, format, 44100);
  WakeSignal wake;
  StreamLink link(1 << 17, 2, wake);
  CapturePump pump(format, {rate, 2});
  const std::size_t deviceFrames = 11025ull * rate / 44100;
  const std::vector<int16_t> recorded(deviceFrames * 2, 100);
  for (auto _ : state) {
    link.capture(recorded.data(), deviceFrames, false);
    pump.pump(link, blocks.queue);
    blocks.recycle();
  }
}
BENCHMARK(BM_CapturePumpBlock)->Arg(44100)->Arg(48000)->Unit(benchmark::kMicrosecond);

// One output block of 11000 samples through the pump, to a device at range(0) Hz.
void BM_PlaybackPumpBlock(benchmark::State& state) {
  const auto rate = static_cast<uint32_t>(state.range(0));
  const WAVEFORMATEX format = pcm16(1);
  Blocks blocks(WaveDirection::Out, format, 22000);
  WakeSignal wake;
  StreamLink link(1 << 18, 1, wake);
  PlaybackPump pump(format, {rate, 1});
  pump.pump(link, blocks.queue);
  std::vector<int16_t> played(11000ull * rate / 44100 + 1);
  for (auto _ : state) {
    link.play(played.data(), played.size(), false);
    pump.pump(link, blocks.queue);
    blocks.recycle();
    pump.pump(link, blocks.queue);
  }
}
BENCHMARK(BM_PlaybackPumpBlock)->Arg(44100)->Arg(48000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
