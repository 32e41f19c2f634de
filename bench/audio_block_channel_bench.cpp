// Cost of the audio callback's work: moving one callback's frames between the device buffer
// and the queued blocks (stereo 16-bit input, mono 16-bit output, 0.25 s blocks as the
// oscilloscope uses them). The UI side gives every finished block straight back.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "wave/AudioBlockChannel.h"

namespace {

struct Ring {
  Ring(AudioBlockChannel& channel, DWORD blockBytes) : channel(channel) {
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i].assign(blockBytes, 0);
      headers[i].lpData = data[i].data();
      headers[i].dwBufferLength = blockBytes;
      channel.give(&headers[i]);
    }
  }
  void recycle() {
    while (const auto finished = channel.takeFinished()) channel.give(finished->header);
  }
  AudioBlockChannel& channel;
  std::array<std::vector<char>, 4> data;
  std::array<WAVEHDR, 4> headers{};
};

void BM_Capture(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  AudioBlockChannel channel;
  channel.configure(4, 0);
  Ring ring(channel, 44100);
  const std::vector<char> input(frames * 4, 1);
  for (auto _ : state) {
    channel.capture(input.data(), frames);
    ring.recycle();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames));
}
BENCHMARK(BM_Capture)->Arg(64)->Arg(512)->Arg(4096);

void BM_Play(benchmark::State& state) {
  const auto frames = static_cast<std::size_t>(state.range(0));
  AudioBlockChannel channel;
  channel.configure(2, 0);
  Ring ring(channel, 22000);
  std::vector<char> output(frames * 2);
  for (auto _ : state) {
    channel.play(output.data(), frames);
    benchmark::DoNotOptimize(output.data());
    ring.recycle();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames));
}
BENCHMARK(BM_Play)->Arg(64)->Arg(512)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();
