#include "LevelMeasurement.h"

#include <cmath>
#include <cstdlib>

#include "FrequencyMeasurement.h"

namespace {

// captureBuffer holds 44100 values, but the split of the start-up count 22100
// reads 2 x 22100 of them; the entries past the end read as 0, like the
// never-written upper part of the buffer.
int32_t CaptureValue(const ScopeState& state, int index) {
  return index < kChannelLength ? state.captureBuffer[index] : 0;
}

}  // namespace

void MeasureChannelLevel(ScopeState& state, const ChannelFields& ch) {
  const int32_t count = ChannelCount(state);

  // The split changes the values unless they come from the same capture and
  // count again; the follower's backlog is computed from the values its run was
  // started on.
  FollowerBacklog& backlog = ch.backlog;
  if (backlog.valuesGeneration != state.captureGeneration || backlog.valuesCount != count) {
    SettleBacklog(FollowerArraysOf(ch));
    backlog.valuesGeneration = state.captureGeneration;
    backlog.valuesCount = count;
  }

  ch.probe[0] = 0;
  ch.probe[1] = 0;
  if (ch.channel == Channel::UR) state.traceOffset = 1;
  ch.sumSquares[0] = 0;
  ch.sumSquares[1] = 0;

  // One pass splits the values and accumulates the peak and the sums of
  // squares; entry 0 takes part in neither. The values are 16-bit: a square is
  // at most 2^30 and the sum of 44099 of them stays below 2^53, so the integer
  // running sum converted on each store equals the sum accumulated in double.
  uint16_t peak = 0;
  int64_t sum = 0;
  if (count > 0) ch.samples[0] = CaptureValue(state, ch.frameOffset);
  for (int i = 1; i < count; ++i) {
    const int32_t x = CaptureValue(state, 2 * i + ch.frameOffset);
    ch.samples[i] = x;
    const int32_t magnitude = std::abs(x);  // -32768 gives 32768, still a uint16
    if (magnitude >= peak) peak = static_cast<uint16_t>(magnitude);
    sum += int64_t{x} * x;
    ch.sumSquares[i + 1] = static_cast<double>(sum);
  }
  // The sum runs up to the entry at the count itself, one past the split's
  // output.
  if (count >= 1) {
    const int32_t x = ch.samples[count];
    sum += int64_t{x} * x;
    ch.sumSquares[count + 1] = static_cast<double>(sum);
  }
  ch.peak = peak;

  ch.rms = count > 0 ? std::sqrt(ch.sumSquares[count + 1] / count) * state.millivoltsPerCount : 0;
}
