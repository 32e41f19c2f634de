// One output block of the generator's tone: 11000 samples, one extended-precision sine
// each, computed on the UI thread about every 0.25 s.

#include <benchmark/benchmark.h>

#include <array>

#include "ToneSynthesis.h"

using namespace osciloskop;

static void BM_ToneBlock(benchmark::State& state) {
  std::array<unsigned char, 22000> block{};
  int64_t firstSample = 0;
  for (auto _ : state) {
    SynthesizeToneBlock(block.data(), 11000, firstSample, 44100, 1000, 10000);
    firstSample += 11000;
    benchmark::DoNotOptimize(block.data());
  }
}
BENCHMARK(BM_ToneBlock)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
