// How long the simulated card takes to record one second of 44100 Hz stereo from its default
// sources (loopback and the RC phase shifter) while it plays one second of mono output.

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "BenchFormats.h"
#include "wave/SimulatedCard.h"

using namespace osciloskop;

namespace {

void BM_OneSecondOfLoopback(benchmark::State& state) {
  SimulatedCard card(SimulatedCard::ClockMode::Manual);
  installWaveBackend(&card);
  const WAVEFORMATEX in = pcm16(2), out = pcm16(1);
  HWAVEIN input = nullptr;
  HWAVEOUT output = nullptr;
  waveInOpen(&input, WAVE_MAPPER, &in, nullptr, 0, 0);
  waveOutOpen(&output, WAVE_MAPPER, &out, nullptr, 0, 0);
  std::vector<int16_t> recorded(2 * 44100), played(44100, 1000);
  WAVEHDR rh{reinterpret_cast<char*>(recorded.data()), 4 * 44100, 0, 0, 0, 0, nullptr, 0};
  WAVEHDR ph{reinterpret_cast<char*>(played.data()), 2 * 44100, 0, 0, 0, 0, nullptr, 0};
  waveInPrepareHeader(input, &rh, sizeof rh);
  waveOutPrepareHeader(output, &ph, sizeof ph);
  waveInStart(input);
  for (auto _ : state) {
    waveOutWrite(output, &ph, sizeof ph);
    waveInAddBuffer(input, &rh, sizeof rh);
    card.advance(std::chrono::seconds(1));
    benchmark::DoNotOptimize(recorded.data());
  }
  waveInReset(input);
  waveInClose(input);
  waveOutClose(output);
  installWaveBackend(nullptr);
}
BENCHMARK(BM_OneSecondOfLoopback)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
