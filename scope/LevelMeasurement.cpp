#include "LevelMeasurement.h"

#include <cmath>
#include <cstdlib>

namespace {

// captureBuffer holds 44100 values, but the split of the start-up count 22100 reads
// 2 x 22100 of them; the entries past the end read as 0, like the never-written upper
// part of the buffer.
int32_t CaptureValue(const ScopeState& state, int index) {
  return index < kChannelLength ? state.captureBuffer[index] : 0;
}

}  // namespace

void MeasureChannelLevel(ScopeState& state, const ChannelFields& ch) {
  const int32_t count = ChannelCount(state);

  ch.probe[0] = 0;
  ch.probe[1] = 0;
  if (ch.channel == Channel::UR) state.traceOffset = 1;
  ch.peak = 0;
  ch.sumSquares[0] = 0;
  ch.sumSquares[1] = 0;

  for (int i = 0; i < count; ++i) ch.samples[i] = CaptureValue(state, 2 * i + ch.frameOffset);

  // Entry 0 takes part in neither the peak nor the sum of squares.
  for (int i = 1; i < count; ++i) {
    const int32_t magnitude = std::abs(ch.samples[i]);  // -32768 gives 32768, still a uint16
    if (magnitude >= ch.peak) ch.peak = static_cast<uint16_t>(magnitude);
  }

  // The sum runs up to the entry at the count itself, one past the split's output.
  for (int i = 1; i <= count; ++i) {
    const int32_t x = ch.samples[i];
    ch.sumSquares[i + 1] = ch.sumSquares[i] + static_cast<double>(x * x);
  }

  ch.rms = count > 0 ? std::sqrt(ch.sumSquares[count + 1] / count) * state.millivoltsPerCount : 0;
}
