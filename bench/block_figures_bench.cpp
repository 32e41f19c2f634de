// The figures of one captured block (frequency, RMS, phase, ratio of both channels) as a
// report computes them once per block: 11025 frames of two sines 45 degrees apart with white
// noise 40 dB below them, a low tone, noise alone (no fit runs), and four blocks at once.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "BlockFigures.h"

using namespace osciloskop;

namespace {

std::vector<int16_t> Block(int frames, double hz, double amplitude, double noiseRms) {
  std::mt19937_64 random(1);
  std::normal_distribution<double> gauss(0, noiseRms);
  std::vector<int16_t> block(2 * static_cast<size_t>(frames));
  for (int n = 0; n < frames; ++n) {
    const double phase = 2 * std::numbers::pi * hz * n / 44100;
    block[2 * static_cast<size_t>(n)] =
        static_cast<int16_t>(std::lround(amplitude * std::sin(phase + 0.785) + gauss(random)));
    block[2 * static_cast<size_t>(n) + 1] =
        static_cast<int16_t>(std::lround(amplitude * std::sin(phase) + gauss(random)));
  }
  return block;
}

void BM_BlockFigures(benchmark::State& bench, int frames, double hz, double amplitude,
                     double noiseRms) {
  const std::vector<int16_t> block = Block(frames, hz, amplitude, noiseRms);
  BlockFigureMeter meter;
  for (auto _ : bench) benchmark::DoNotOptimize(meter.Measure(block, 44100));
}
BENCHMARK_CAPTURE(BM_BlockFigures, sine_1kHz, 11025, 1000.0, 10000.0, 70.7)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BlockFigures, sine_20Hz, 11025, 20.3, 10000.0, 70.7)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BlockFigures, noise_alone, 11025, 1000.0, 0.0, 1000.0)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BlockFigures, four_blocks_1kHz, 4 * 11025, 1000.0, 10000.0, 70.7)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
