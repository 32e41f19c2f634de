// One measurement pass of both channels, as a display frame runs it, on the Qt-free
// functions: levels, ranges, both frequency passes and the time base, on a standard block
// of two 1 kHz sines. "same_block": the block measured before, as in the frames between two
// block arrivals; "new_block": every pass counts as a new capture and splits it again.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "ChannelFields.h"
#include "FrequencyMeasurement.h"
#include "LevelMeasurement.h"
#include "RangeSelection.h"
#include "ScopeState.h"
#include "TimeBase.h"

using namespace osciloskop;

namespace {

std::unique_ptr<ScopeState> BlockOfTwoSines() {
  auto state = std::make_unique<ScopeState>();
  state->sampleCount = 22050;
  state->millivoltsPerCount = 0.066424;
  state->ulGain = state->urGain = 1.0;
  state->ulAutoRange = state->urAutoRange = 1;
  state->autoTimeBase = 1;
  for (int k = 0; k < 11025; ++k) {
    const double phase = 2 * std::numbers::pi * 1000 * k / 44100;
    state->captureBuffer[2 * k] = static_cast<int32_t>(std::nearbyint(8000 * std::sin(phase)));
    state->captureBuffer[2 * k + 1] = static_cast<int32_t>(std::nearbyint(10000 * std::cos(phase)));
  }
  return state;
}

void BM_MeasureBothChannels(benchmark::State& bench, bool newBlock) {
  auto state = BlockOfTwoSines();
  for (auto _ : bench) {
    if (newBlock) ++state->captureGeneration;
    for (const ChannelFields& ch : {UlFields(*state), UrFields(*state)}) {
      MeasureChannelLevel(*state, ch);
      SelectRange(ch, 0);
      benchmark::DoNotOptimize(MeasureChannelFrequency(*state, ch, 100));
    }
    SelectTimeBase(*state, 0);
    benchmark::DoNotOptimize(state->urFrequency);
  }
}
BENCHMARK_CAPTURE(BM_MeasureBothChannels, same_block, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MeasureBothChannels, new_block, true)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
